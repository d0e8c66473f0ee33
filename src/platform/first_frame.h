#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace kr4720::platform {

// With KR4720_QUIT_AFTER_FIRST_FRAME set, the window prints "first frame" once
// it has painted for the first time and the program ends: the start-up
// benchmark times a real start this way. Header-only, so the benchmark's bare
// Qt window uses the very same measure without linking the program.
inline void quitAfterFirstFrameIfAsked(QWidget* window) {
    if (qEnvironmentVariableIsEmpty("KR4720_QUIT_AFTER_FIRST_FRAME")) {
        return;
    }
    class Watcher : public QObject {
    public:
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint && !done_) {
                done_ = true;
                // Report once this paint has finished.
                QTimer::singleShot(0, [] {
                    std::fputs("first frame\n", stdout);
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
            return QObject::eventFilter(watched, event);
        }

    private:
        bool done_ = false;
    };
    window->installEventFilter(new Watcher(window));
}

} // namespace kr4720::platform
