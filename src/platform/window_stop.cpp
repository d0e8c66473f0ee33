#include "platform/window_stop.h"

#include "platform/stop_signals.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

namespace kr4720::platform {
namespace {

void closeWhenFree(QWidget* window) {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->close();
    } else if (QThread::currentThread()->loopLevel() <= 1) {
        window->close();
    }
    if (window->isVisible()) {
        QTimer::singleShot(50, window, [window] { closeWhenFree(window); });
    }
}

} // namespace

void closeOnStopSignal(QWidget* window) {
    onStopSignal(window, [window] { closeWhenFree(window); });
}

} // namespace kr4720::platform
