#pragma once

#include <QObject>

#include <functional>

namespace kr4720::platform {

// Ctrl+C, SIGTERM and SIGHUP do not end the program at once: they become a
// request to stop, which the program meets at its next safe point, so that a
// radio that has been sent "A" receives its whole set (about two seconds) and
// nothing typed is lost. A signal ignored when the program started (nohup, a
// background job) stays ignored.
//
// From the first call on, the signals are caught; `then` runs in the event
// loop of `context`'s thread once one has come (soon, when one came before).
void onStopSignal(QObject* context, std::function<void()> then);

// The signal that asked the program to stop, 0 while none has.
int stopSignal();

} // namespace kr4720::platform
