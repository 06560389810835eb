// The update run behind the Start button. Its work (lookup, installation,
// settings, data move) runs on one worker thread, which touches no window
// but the progress bar; the dialog's thread starts it, then only paints,
// moves, answers the system and waits, and shows the outcome's box itself
// once the worker has ended. Keys typed while the worker runs press no
// button, and input still queued is dropped before the box, so that the box
// is only ever answered by someone who has seen it.
#include <windows.h>
#include "common/app_state.h"
#include "common/path_helpers.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "detect/installation_lookup.h"
#include "install/installer.h"
#include "post/data_migration.h"
#include "post/settings_defaults.h"
#include "res/resource.h"
#include "shell/update_run.h"

// Written by the dialog's thread only.
static RunPhase Phase = RunIdle;

// What the worker hands back: written by the worker before it ends, read by
// the dialog's thread after it has ended.
struct RunOutcome {
    HWND dialog;
    unsigned int message;  // string id of the box
    UINT icon;
    bool complete;  // every file installed: the restart is due
    bool waitsForRestart;  // some files are replaced only by the restart
    char folder[PATH_BUFFER_SIZE];
    char dataFolder[PATH_BUFFER_SIZE];
    DataStay stay;  // why data files stayed, when they did
    InstallFailure failure;  // what the box names when the installation failed
};

RunPhase CurrentRunPhase()
{
    return Phase;
}

static void EnableButtons(HWND dialog, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, IDOK), enable);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), enable);
}

// Lookup, installation, settings and data move, in this order. The only
// window it touches is the progress bar, through messages that the dialog's
// thread handles while it waits.
static void DoUpdate(RunOutcome* outcome)
{
    outcome->message = IDS_NOT_INSTALLED;
    outcome->icon = MB_ICONINFORMATION;
    outcome->complete = false;
    outcome->waitsForRestart = false;
    outcome->folder[0] = 0;
    outcome->dataFolder[0] = 0;
    outcome->stay.subject[0] = 0;
    outcome->stay.amount[0] = 0;
    Fail(&outcome->failure, 0);
    if (!LocateInstallation(outcome->folder))
        return;
    if (!InstallStagedFiles(outcome->dialog, outcome->folder, &outcome->failure, &outcome->waitsForRestart)) {
        outcome->message = outcome->failure.message;
        outcome->icon = MB_ICONERROR;
        return;
    }
    // The settings report nothing; the update is complete once every file
    // is in place. Data files that could not move are told about.
    ApplySettingsDefaults();
    outcome->complete = true;
    if (MigrateDataFiles(outcome->folder, outcome->dataFolder, &outcome->stay))
        outcome->message = IDS_DONE;
    else {
        outcome->message = outcome->stay.message;
        outcome->icon = MB_ICONWARNING;
    }
}

static DWORD WINAPI UpdateWorker(void* parameter)
{
    DoUpdate(static_cast<RunOutcome*>(parameter));
    return 0;
}

// Every kind of message that Windows 95 and NT 4.0 know (QS_KEY to
// QS_HOTKEY): their QS_ALLINPUT. Today's headers add QS_RAWINPUT (0x400),
// which only XP knows; 2000 and NT 4.0 fail a wait that names it at once.
static const DWORD WAKE_ON_ANY_MESSAGE = 0xFF;

// Handles the thread's messages until `worker` has ended, and those that it
// left (the last positions of the bar): painting, moves, the bar, the
// system's probes and whatever is sent to the dialog. Keys reach no dialog
// manager here, so Enter and Esc press no button; the dialog procedure
// ignores commands and close requests meanwhile.
static void WaitForWorker(HANDLE worker)
{
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, WAKE_ON_ANY_MESSAGE);
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT)
                DispatchMessageA(&message);
        if (woke != WAIT_OBJECT_0 + 1) {
            // The worker ended, or the wait itself failed: then the only
            // safe course is to wait for the worker without the window.
            if (woke != WAIT_OBJECT_0)
                WaitForSingleObject(worker, INFINITE);
            return;
        }
    }
}

// Drops the keys and clicks that arrived before the box: they were meant
// for the busy window, never for a box that was not there.
static void DropQueuedInput()
{
    MSG message;
    while (PeekMessageA(&message, 0, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageA(&message, 0, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

// The box of the outcome, owned by the dialog. A message that names
// something is a format for up to four texts: a warning that data files
// stayed names the installation folder and the data folder, then what its
// cause names; a failure what its record names; the other messages hold no
// '%' and stay as they are.
static void ShowOutcome(HWND dialog, const RunOutcome& outcome)
{
    const char* first = outcome.failure.subject;
    const char* second = outcome.failure.detail;
    if (outcome.complete && outcome.message != IDS_DONE) {
        first = outcome.folder;
        second = outcome.dataFolder;
        // Loaded before the format, into the other of the two buffers.
        if (second[0] == 0)
            second = LoadResString(IDS_NO_DATA_FOLDER);
    }
    char text[1024];
    // wsprintfA writes at most 1024 bytes, cutting a longer text short: a
    // format, two path buffers and a file name of extreme length reach it.
    // The caption is loaded once the text is made.
    wsprintfA(text, LoadResString(outcome.message), first, second, outcome.stay.subject, outcome.stay.amount);
    // Files that wait for the restart are told about whatever else the box
    // says: Tolvane must not run with some of its files old and some new.
    if (outcome.waitsForRestart && AppendText(text, sizeof text, "\n\n"))
        AppendText(text, sizeof text, LoadResString(IDS_RESTART_NOTICE));
    MessageBoxA(dialog, text, LoadResString(IDS_CAPTION), MB_OK | outcome.icon);
}

void RunStartSequence(HWND dialog)
{
    // One run at a time: a second press while one runs or reports is void.
    if (Phase != RunIdle)
        return;
    Phase = RunWorking;
    EnableButtons(dialog, FALSE);
    SetCursor(LoadCursorA(0, IDC_WAIT));

    // The string buffers and everything else the work uses are the
    // worker's alone until it ends: this thread loads no string meanwhile.
    RunOutcome outcome;
    outcome.dialog = dialog;
    DWORD threadId = 0;
    HANDLE worker = CreateThread(0, 0, UpdateWorker, &outcome, 0, &threadId);
    if (worker != 0) {
        WaitForWorker(worker);
        CloseHandle(worker);
    } else {
        // No thread to be had: the work runs here, the window waiting.
        DoUpdate(&outcome);
    }

    Phase = RunReporting;
    SetCursor(LoadCursorA(0, IDC_ARROW));
    DropQueuedInput();
    ShowOutcome(dialog, outcome);
    if (outcome.complete)
        RestartPending = true;

    Phase = RunIdle;
    EnableButtons(dialog, TRUE);
    // Disabling Start took the keyboard focus away from it; give it back the
    // way the dialog manager moves focus, so Start stays the default button
    // for Enter and Esc still means Exit.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
}
