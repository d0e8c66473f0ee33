#include "aux_windows/system_info.h"

#include "platform/message_box.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <utility>

namespace kr4720::aux_windows {
namespace {

void reportUnavailable(QWidget* parent) {
    platform::showMessage(parent, {QStringLiteral("此时系统信息不可用"), QStringLiteral("KR4720"),
                                   platform::MessageIcon::None});
}

#ifdef Q_OS_WIN

// Query and set value, create and enumerate sub-keys, notify, create link,
// read control.
constexpr REGSAM kKeyAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                              KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK | READ_CONTROL;
static_assert(kKeyAccess == 0x2003F);

QString systemInfoProgram() {
    const KeyValue path =
        GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH");
    if (path.found) {
        return QString::fromLocal8Bit(path.text.c_str());
    }
    const KeyValue folder =
        GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO");
    if (folder.found) {
        const QString program =
            QString::fromLocal8Bit(folder.text.c_str()) + QStringLiteral("\\MSINFO32.EXE");
        if (QFileInfo::exists(program)) {
            return program;
        }
    }
    return {};
}

#else

QString systemInfoProgram() {
    for (const char* const* name = systemInfoToolNames(); *name != nullptr; ++name) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(*name));
        if (!program.isEmpty()) {
            return program;
        }
    }
    return {};
}

#endif

} // namespace

#ifdef Q_OS_WIN

KeyValue GetKeyValue(HKEY root, const std::string& keyName, const std::string& valueName) {
    KeyValue result;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyName.c_str(), 0, kKeyAccess, &key) != ERROR_SUCCESS) {
        return result;
    }
    char buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer),
                         &size) == ERROR_SUCCESS) {
        std::string text(buffer, size);
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        if (type == REG_SZ) {
            result.text = std::move(text);
            result.found = true;
        }
    }
    RegCloseKey(key);
    return result;
}

#else

const char* const* systemInfoToolNames() {
    // Desktop system-information viewers of the common Linux desktops.
    static const char* const names[] = {"hardinfo2", "hardinfo", "kinfocenter", "cpu-x", nullptr};
    return names;
}

#endif

void StartSysInfo(QWidget* parent) {
    const QString program = systemInfoProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {})) {
        reportUnavailable(parent);
    }
}

} // namespace kr4720::aux_windows
