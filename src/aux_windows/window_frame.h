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

// Brings the open instance to the front as it is, or makes a new one with
// `make` and shows it: one window of a kind at a time.
template <typename Window, typename Make> Window* openOrRaise(QPointer<Window>& slot, Make make) {
    Window* window = openInstance(slot);
    if (window == nullptr) {
        window = make();
        slot = window;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace kr4720::aux_windows
