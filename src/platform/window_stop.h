#pragma once

#include <QWidget>

namespace kr4720::platform {

// Ctrl+C, SIGTERM or SIGHUP closes `window` as its close box does, and keeps
// at it until the window is gone: a write under way ends first, and a
// message box or file dialog open then or later (a write that loses its line
// says so) is closed (OK, or cancel), so nothing waits for a click that will
// not come. Call it once start-up is done, when the next event loop to run
// is the main one.
void closeOnStopSignal(QWidget* window);

// Drops the keys and clicks still waiting to be handled. Made while a
// command kept the thread, they were aimed at what the window showed then, and
// would otherwise act on whatever it shows now: digits typed into the row the
// command left current, a menu command run after it.
void dropWaitingInput();

} // namespace kr4720::platform
