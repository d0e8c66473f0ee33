#include "platform/stop_signals.h"

#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kr4720::platform {
namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> suspendHolds{0};
std::atomic<bool> suspendWaiting{false};
// The handler wakes the event loop through this pipe.
int wake[2] = {-1, -1};

void onSignal(int number) {
    int none = 0;
    received.compare_exchange_strong(none, number);
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(wake[1], &byte, 1);
    errno = saved;
}

// Ctrl+Z while a radio is being written is kept until the write ends. Of a
// stop asked for and a hold ending at the same moment, one stops the program.
void stopNow() {
    ::kill(::getpid(), SIGSTOP);
}

void onSuspend(int) {
    if (suspendHolds.load() > 0) {
        suspendWaiting.store(true);
        if (suspendHolds.load() > 0 || !suspendWaiting.exchange(false)) {
            return;
        }
    }
    stopNow();
}

} // namespace

void catchStopSignals() {
    if (wake[0] >= 0) {
        return;
    }
    // A standard descriptor the caller closed (`2>&-`) would be taken by the
    // pipe or the next file opened (a trace, a backup), and messages written
    // into it. /dev/null opened for reading makes such writes fail instead.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1) {
            ::open("/dev/null", O_RDONLY);
        }
    }
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    struct sigaction suspend = action;
    suspend.sa_handler = onSuspend;
    // Ctrl+\ too: pressed when Ctrl+C seems to do nothing while a radio gets
    // the rest of its set, it would end the program in the middle of it.
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP}) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            sigaction(number, number == SIGTSTP ? &suspend : &action, nullptr);
        }
    }
}

void onStopSignal(QObject* context, std::function<void()> then) {
    catchStopSignals();
    if (stopSignal() != 0) {
        QTimer::singleShot(0, context, std::move(then));
        return;
    }
    auto* notifier = new QSocketNotifier(wake[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [notifier, then = std::move(then)] {
                         char bytes[16];
                         while (::read(wake[0], bytes, sizeof bytes) > 0) {
                         }
                         notifier->setEnabled(false);
                         then();
                     });
}

int stopSignal() {
    return received.load();
}

SuspendHold::SuspendHold() {
    suspendHolds.fetch_add(1);
}

SuspendHold::~SuspendHold() {
    if (suspendHolds.fetch_sub(1) == 1 && suspendWaiting.exchange(false)) {
        stopNow();
    }
}

} // namespace kr4720::platform
