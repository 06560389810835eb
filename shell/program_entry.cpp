// Program entry: records the process-wide facts and runs the main dialog.
// The process has no C runtime: WinMainCRTStartup is the image's entry point.
#include <windows.h>
#include "common/app_state.h"
#include "common/kernel_functions.h"
#include "common/res_strings.h"
#include "install/staged_files.h"
#include "common/lead_bytes_init.h"
#include "res/resource.h"
#include "shell/main_dialog.h"

typedef HANDLE(WINAPI* CreateMutexFunction)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR);

// The mutex that a running updater holds: a name that only this program
// uses. Where several users can be logged on at once (2000 and XP), it is
// one for the whole machine; NT 4.0 and the 95 family know no namespace
// prefix and would take it as part of the name.
static const char UPDATER_MUTEX[] = "Global\\TolvaneUpdater313";
static const unsigned int NAMESPACE_PREFIX_LENGTH = 7;

// The size of OSVERSIONINFOA that Windows 95 and NT 4.0 accept.
static const DWORD OS_VERSION_INFO_SIZE = 148;

// Whether no other updater runs: this process now holds the named mutex
// that a running updater holds, until it ends. Where the mutex cannot be
// made at all, nothing tells of another updater, and this one runs.
static bool IsOnlyUpdater()
{
    CreateMutexFunction createMutex =
        reinterpret_cast<CreateMutexFunction>(FindKernelFunction("CreateMutexA"));
    if (createMutex == 0)
        return true;
    bool global = !IsWindows95Family() && OsVersion.dwMajorVersion >= 5;
    HANDLE mutex = createMutex(0, FALSE, UPDATER_MUTEX + (global ? 0 : NAMESPACE_PREFIX_LENGTH));
    // Another user's updater holds a mutex that this one may not open.
    DWORD error = GetLastError();
    return mutex != 0 ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    AppInstance = instance;
    RestartPending = false;
    OsVersion.dwOSVersionInfoSize = OS_VERSION_INFO_SIZE;
    GetVersionExA(&OsVersion);
    InitLeadBytes();
    FillStagedTable();
    // One updater at a time: a second one (a double-click too many) would
    // work on the same files. The mutex goes with its process, so one that
    // was ended never keeps the next from starting.
    if (!IsOnlyUpdater()) {
        MessageBoxA(0, LoadResString(IDS_ALREADY_RUNNING), LoadResString(IDS_CAPTION), MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATER), 0, UpdaterDialogProc, 0);
    return 0;
}

extern "C" void WinMainCRTStartup()
{
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(0), 0, 0, 0)));
}
