#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace kr4720::platform {

// Runs work once the window has painted for the first time, just after that
// paint, in the order it was asked for: what the first frame does not show
// waits until the user sees the window. A window closed in the moment between
// (its close box, a stop signal) does none of it: a message would come with
// no window under it. Header-only, so the benchmark's reference windows use
// the very same measure without linking the program.
inline void afterFirstFrame(QWidget* window, std::function<void()> work,
                            bool beforeTheRest = false) {
    class Watcher : public QObject {
    public:
        using QObject::QObject;
        std::vector<std::function<void()>> work;
        bool ran = false;

        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint && !painted_) {
                painted_ = true;
                QTimer::singleShot(0, this, [this] {
                    ran = true;
                    const auto steps = std::exchange(work, {});
                    const auto* shown = static_cast<QWidget*>(parent());
                    for (const auto& step : steps) {
                        if (!shown->isVisible()) {
                            break;
                        }
                        step();
                    }
                });
            }
            return QObject::eventFilter(watched, event);
        }

    private:
        bool painted_ = false;
    };
    static const QString kName = QStringLiteral("kr4720_first_frame");
    auto* watcher =
        dynamic_cast<Watcher*>(window->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
    if (watcher == nullptr) {
        watcher = new Watcher(window);
        watcher->setObjectName(kName);
        window->installEventFilter(watcher);
    }
    if (watcher->ran) {
        work();
    } else {
        watcher->work.insert(beforeTheRest ? watcher->work.begin() : watcher->work.end(),
                             std::move(work));
    }
}

// With KR4720_QUIT_AFTER_FIRST_FRAME set, the window prints "first frame" once
// it has painted for the first time and the program ends: the start-up
// benchmark times a real start this way, up to the first frame; the window is
// then hidden, so the work that waits for that frame is left undone.
inline void quitAfterFirstFrameIfAsked(QWidget* window) {
    if (qEnvironmentVariableIsEmpty("KR4720_QUIT_AFTER_FIRST_FRAME")) {
        return;
    }
    afterFirstFrame(
        window,
        [window] {
            std::fputs("first frame\n", stdout);
            std::fflush(stdout);
            window->hide();
            QCoreApplication::exit(0);
            // When this frame came in a start-up message box's loop, the
            // main loop starts only afterwards: it ends at its first turn.
            QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
        },
        true);
}

} // namespace kr4720::platform
