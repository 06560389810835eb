// What Start does: the whole update, from the lookup to the closing message,
// with the window kept alive while the work runs.
#ifndef SHELL_UPDATE_RUN_H
#define SHELL_UPDATE_RUN_H

#include <windows.h>

// Where the run is: idle, working (the worker thread runs; the wait cursor
// shows), or reporting (the outcome's box is up).
enum RunPhase { RunIdle, RunWorking, RunReporting };

// The phase, for the dialog procedure: while it is not RunIdle the dialog
// ignores Start, Exit and close requests and refuses to let Windows end the
// session.
RunPhase CurrentRunPhase();

// Disables Start and Exit, runs the lookup, the installation, the settings
// and the data move on a worker thread while this thread keeps the window
// answering, shows the outcome's box (owned by `dialog`), sets
// RestartPending after a complete installation, and enables both buttons
// again, whatever happened. Does nothing while a run is under way.
void RunStartSequence(HWND dialog);

#endif
