// Exit handling and the Windows restart. On the NT family a process needs the
// shutdown privilege enabled before ExitWindowsEx may restart the system;
// the Windows 95 family has no tokens.
#include <windows.h>
#include "common/app_state.h"
#include "common/res_strings.h"
#include "res/resource.h"
#include "shell/exit_restart.h"

static const char SHUTDOWN_PRIVILEGE[] = "SeShutdownPrivilege";

// Enables the shutdown privilege of this process. Failures are not reported:
// ExitWindowsEx then simply does not restart, and the next Exit asks again.
static void EnableShutdownPrivilege()
{
    HANDLE token = 0;
    TOKEN_PRIVILEGES privileges;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(0, SHUTDOWN_PRIVILEGE, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, 0, 0);
    CloseHandle(token);
}

void HandleExit(HWND dialog)
{
    if (!RestartPending) {
        EndDialog(dialog, 0);
        return;
    }
    const char* caption = LoadResString(IDS_CAPTION);
    const char* text = LoadResString(IDS_RESTART);
    if (MessageBoxA(dialog, text, caption, MB_YESNO | MB_ICONINFORMATION) != IDYES) {
        EndDialog(dialog, 0);
        return;
    }
    if (!IsWindows95Family())
        EnableShutdownPrivilege();
    ExitWindowsEx(EWX_REBOOT, 0);
}
