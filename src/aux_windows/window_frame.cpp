#include "aux_windows/window_frame.h"

#include "platform/look.h"

namespace kr4720::aux_windows {

void makeFixedDialog(QWidget* window, int widthTwips, int heightTwips) {
    window->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(platform::twips(widthTwips), platform::twips(heightTwips));
    window->setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace kr4720::aux_windows
