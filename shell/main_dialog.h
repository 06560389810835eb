// The updater's one window: the dialog IDD_UPDATER and its procedure.
#ifndef SHELL_MAIN_DIALOG_H
#define SHELL_MAIN_DIALOG_H

#include <windows.h>

// Dialog procedure of IDD_UPDATER: sets up the progress bar and the terms
// text, paints the logo, colours the terms box, and passes Start (IDOK) and
// Exit (IDCANCEL) on to the update run and the exit handling.
INT_PTR CALLBACK UpdaterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
