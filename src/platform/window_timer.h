#pragma once

#include "radio_link/transfer_parts.h"

#include <QTimer>

#include <thread>

namespace kr4720::platform {

// A window's QTimer as the transfers see it.
class WindowTimer : public radio_link::Timer {
public:
    // A tick that comes late does not bring the next one forward, as Qt's
    // timers do: the next comes a whole interval after it, so that a starved
    // computer never sends two records closer than their spacing.
    explicit WindowTimer(QTimer& timer) : timer_(timer) {
        QObject::connect(&timer, &QTimer::timeout, &timer, [&timer] {
            if (timer.isActive() && !timer.isSingleShot()) {
                timer.start();
            }
        });
    }
    void start() override { timer_.start(); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer& timer_;
};

class SteadyClock : public radio_link::Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void sleepFor(std::chrono::microseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

} // namespace kr4720::platform
