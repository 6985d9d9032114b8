#pragma once

#include <functional>

// Lets the end of the session (SIGTERM), a hang-up of the terminal the
// program was started from (SIGHUP) and Ctrl+C there (SIGINT) close the
// windows the regular way, so the window's shutdown still runs and the
// chosen port is kept; by default these signals end the program on the spot.
// A signal that was ignored when the program started (nohup) stays ignored.
// Call once the window is up: a signal before that still ends the program.
// `beforeClosing` runs first, for what must not wait for the windows'
// questions (a transfer that runs is stopped without asking).
// Does nothing on systems without these signals.
void closeWindowsOnTerminationSignals(std::function<void()> beforeClosing);
