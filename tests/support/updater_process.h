// Starting the real updater executable as a user would, and watching it end.
#ifndef TESTS_SUPPORT_UPDATER_PROCESS_H
#define TESTS_SUPPORT_UPDATER_PROCESS_H

#include <windows.h>
#include <string>

// The updater built beside the tests (i686 or x86_64, as the tests are).
std::string BuiltUpdaterPath();

class UpdaterProcess {
public:
    UpdaterProcess() = default;
    ~UpdaterProcess();  // ends the process if the test left it running
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;

    // Starts `exePath` in `currentFolder` (default: the exe's own folder)
    // and, unless `waitForDialog` is false, waits for its main dialog; false
    // on timeout.
    bool Start(const std::string& exePath, const std::string& currentFolder = std::string(),
               bool waitForDialog = true);
    // Wine only: starts `exePath` from a Unix shell with Wine's relay trace
    // (with process ids), which Wine writes to the program's Unix standard
    // error, into `traceFile`; then waits for its dialog and opens its
    // process as Start does. Every call of a function of a system module is
    // traced, save those of `excluded` (";" between them).
    bool StartTraced(const std::string& exePath, const std::string& traceFile, const std::string& excluded);
    // Exit code once the process ended within `timeoutMs`, or STILL_ACTIVE.
    DWORD WaitForExit(DWORD timeoutMs);
    bool Running();
    // Ends the process if it still runs, and lets go of it.
    void Forget();

    HWND dialog = nullptr;
    HANDLE process = nullptr;
    DWORD processId = 0;
    DWORD threadId = 0;
};

// Removes what StartTraced left in Wine's debug settings, which keep the
// processes that a traced one started from tracing.
void EndRelayTracing();

// Control of the dialog that has the keyboard focus (another thread's too).
HWND FocusedControl(DWORD threadId);
// Sends a key press to the focused control, as typing it would.
void PressKey(DWORD threadId, WORD key);
// Presses a dialog button by its id, as a click would.
void PressButton(HWND dialog, int id);

#endif
