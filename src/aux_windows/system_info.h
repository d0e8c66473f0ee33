#pragma once

#include <QtGlobal>

#include <string>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

class QWidget;

namespace kr4720::aux_windows {

// Starts the operating system's system-information tool without waiting for
// it, or tells the user that it is not available.
void StartSysInfo(QWidget* parent);

#ifdef Q_OS_WIN
struct KeyValue {
    std::string text; // in the system's ANSI code page
    bool found = false;
};

// A string value from the registry; anything else, or a key or value that
// cannot be read, is not found.
KeyValue GetKeyValue(HKEY root, const std::string& keyName, const std::string& valueName);
#else
// The tools looked for on the PATH, in order; the first one found is started.
const char* const* systemInfoToolNames();
#endif

} // namespace kr4720::aux_windows
