#pragma once

#include "aux_windows/help_window_parts.h"

#include <QPointer>

namespace kr4720::aux_windows {

// frmAbout: the program's name, version and purpose, and a button that starts
// the system-information tool. cmdOK is the default and the cancel button.
class AboutWindow : public HelpWindow {
    Q_OBJECT
public:
    // Shows the window without an owner, or brings the open one to the front.
    static AboutWindow* open();
    static AboutWindow* instance();

private:
    AboutWindow();
    static QPointer<AboutWindow>& slot();
};

} // namespace kr4720::aux_windows
