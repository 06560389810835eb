// What Exit (and Esc) does: close, or offer the restart that the updated
// software needs.
#ifndef SHELL_EXIT_RESTART_H
#define SHELL_EXIT_RESTART_H

#include <windows.h>

// Ends the dialog, or after a complete update asks whether to restart
// Windows and on Yes requests the restart, leaving the dialog open until the
// system closes it.
void HandleExit(HWND dialog);

#endif
