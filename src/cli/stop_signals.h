#pragma once

namespace kr4720::cli {

// Ctrl+C, SIGTERM and SIGHUP while radios are on the line do not end the
// program at once: every port stops at its next safe point. A radio that has
// been sent "A" receives its whole set first (about two seconds), so no radio
// is left holding part of one. A signal ignored when the program started
// (nohup, a background job) stays ignored.
void catchStopSignals();

// The signal that asked the program to stop, 0 while none has.
int stopSignal();

} // namespace kr4720::cli
