// The smallest dialog program built the way the updater is (no C runtime,
// custom entry point): the baseline for the start-up benchmark.
#include <windows.h>

static INT_PTR CALLBACK MinimalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

extern "C" void WinMainCRTStartup()
{
    DialogBoxParamA(GetModuleHandleA(0), MAKEINTRESOURCEA(100), 0, MinimalProc, 0);
    ExitProcess(0);
}
