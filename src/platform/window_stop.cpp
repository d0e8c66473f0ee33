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

class InputDropper : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

void dropWaitingInput() {
    InputDropper dropper;
    QCoreApplication::instance()->installEventFilter(&dropper);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&dropper);
}

void closeOnStopSignal(QWidget* window) {
    onStopSignal(window, [window] { closeWhenFree(window); });
}

} // namespace kr4720::platform
