// Program entry: records the process-wide facts and runs the main dialog.
// The process has no C runtime: WinMainCRTStartup is the image's entry point.
#include <windows.h>
#include "common/app_state.h"
#include "common/lead_bytes_init.h"
#include "res/resource.h"
#include "shell/main_dialog.h"

// The size of OSVERSIONINFOA that Windows 95 and NT 4.0 accept.
static const DWORD OS_VERSION_INFO_SIZE = 148;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    AppInstance = instance;
    RestartPending = false;
    OsVersion.dwOSVersionInfoSize = OS_VERSION_INFO_SIZE;
    GetVersionExA(&OsVersion);
    InitLeadBytes();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATER), 0, UpdaterDialogProc, 0);
    return 0;
}

extern "C" void WinMainCRTStartup()
{
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(0), 0, 0, 0)));
}
