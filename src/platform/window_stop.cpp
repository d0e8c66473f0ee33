#include "platform/window_stop.h"

#include "platform/stop_signals.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

namespace kr4720::platform {
namespace {

void closeWhenFree(QWidget* window) {
    if (!window->isVisible()) {
        return;
    }
    // The next try is set first: the close itself may open a message box (a
    // row that cannot be stored), and that try closes it.
    QTimer::singleShot(50, window, [window] { closeWhenFree(window); });
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->close();
    } else if (QThread::currentThread()->loopLevel() <= 1) {
        window->close();
    }
}

} // namespace

void closeOnStopSignal(QWidget* window) {
    onStopSignal(window, [window] { closeWhenFree(window); });
}

} // namespace kr4720::platform
