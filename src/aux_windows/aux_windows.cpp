#include "aux_windows/aux_windows.h"

#include "aux_windows/about_window.h"
#include "aux_windows/instructions_window.h"
#include "aux_windows/port_dialog.h"

namespace kr4720::aux_windows {

void closeAuxWindows() {
    if (PortDialog* dialog = PortDialog::instance()) {
        dialog->close();
    }
    if (AboutWindow* about = AboutWindow::instance()) {
        about->close();
    }
    if (InstructionsWindow* instructions = InstructionsWindow::instance()) {
        instructions->close();
    }
}

} // namespace kr4720::aux_windows
