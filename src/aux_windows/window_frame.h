#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

namespace kr4720::aux_windows {

// A top-level window with a fixed dialog border: no resizing and no minimise
// or maximise button, client area given in twips.
void makeFixedDialog(QWidget* window, int widthTwips, int heightTwips);

// The one open instance of a secondary window. A window that has been closed
// is hidden until its deferred deletion runs; it no longer counts as open.
template <typename Window> Window* openInstance(QPointer<Window>& slot) {
    return slot && slot->isVisible() ? slot.data() : nullptr;
}

// Shows a window created afresh, or brings the open one to the front.
template <typename Window> void present(Window* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace kr4720::aux_windows
