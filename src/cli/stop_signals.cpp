#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>

namespace kr4720::cli {
namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int number) {
    int none = 0;
    received.compare_exchange_strong(none, number);
}

} // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            sigaction(number, &action, nullptr);
        }
    }
}

int stopSignal() {
    return received.load();
}

} // namespace kr4720::cli
