// Putting the staged files of the running platform in place.
#ifndef INSTALL_INSTALLER_H
#define INSTALL_INSTALLER_H

#include <windows.h>
#include "install/install_failure.h"

// Installs every group of GroupsForPlatform(OsVersion) from the updater's own
// folder into `installFolder` and the system folder, in two passes. First
// every staged file is copied into its copy folder, checked against the
// release's list and flushed, moving `dialog`'s IDC_PROGRESS through
// AppGroup (its positions are posted, and reach it when the dialog's thread
// handles its messages). Only when every copy is in place, and every target
// still asks to be replaceable, is each target replaced in plan order: set
// aside, the copy renamed in, the old one deleted (at the next restart when
// it is still loaded). Shows no box; runs on the update's worker thread.
//
// Returns false with the message that says why, and what it names, in
// `failure`: everything that can be known before writing (the release, the
// paths, holders, rights, room; see PlanCanRun) is asked first and changes
// nothing. A failure while copying changes no target either: this run's
// copies are removed. Only a failure while replacing, which nothing found
// beforehand explains, leaves the targets before it replaced; the next run
// finishes them.
bool InstallStagedFiles(HWND dialog, const char* installFolder, InstallFailure* failure);

#endif
