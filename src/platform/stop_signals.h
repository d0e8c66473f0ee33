#pragma once

#include <QObject>

#include <functional>

namespace kr4720::platform {

// Ctrl+C, Ctrl+\, SIGTERM and SIGHUP do not end the program at once: they become a
// request to stop, which the program meets at its next safe point, so that a
// radio that has been sent "A" receives its whole set (about two seconds) and
// nothing typed is lost. A signal ignored when the program started (nohup, a
// background job) stays ignored.
//
// Catches the signals from here on, before anything asks to be told of them:
// a stop during start-up then waits for the program's first safe point
// instead of ending it half-way through making its databases. First thing in
// main: it also fills the standard descriptors the caller closed.
void catchStopSignals();

// From the first call on, the signals are caught; `then` runs in the event
// loop of `context`'s thread once one has come (soon, when one came before).
void onStopSignal(QObject* context, std::function<void()> then);

// The signal that asked the program to stop, 0 while none has.
int stopSignal();

// While one of these lives (a radio is being written, from "A" to its last
// record) Ctrl+Z waits: a radio whose records pause for seconds may drop the
// set. The program stops as soon as the last hold ends. Works once
// onStopSignal has been called.
class SuspendHold {
public:
    SuspendHold();
    ~SuspendHold();
    SuspendHold(const SuspendHold&) = delete;
    SuspendHold& operator=(const SuspendHold&) = delete;
};

} // namespace kr4720::platform
