// What Start does: the whole update, from the lookup to the closing message.
#ifndef SHELL_UPDATE_RUN_H
#define SHELL_UPDATE_RUN_H

#include <windows.h>

// Disables Start and Exit, runs the update, enables both again whatever happened.
void RunStartSequence(HWND dialog);

// Lookup, installation, settings and data migration, then one information
// box with the outcome. Returns false only when the installation failed
// (its error box has been shown); sets RestartPending after a complete update.
bool RunUpdate(HWND dialog);

#endif
