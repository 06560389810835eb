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
// and copy has been asked once more, is each target replaced in plan order:
// set aside, the copy renamed in, the old one deleted (at the next restart
// when it is still held or loaded). A row whose target or copy another
// program holds is replaced at the next restart instead, and so is a row
// that an earlier run left for it (its copy is kept as it is);
// `waitsForRestart` then tells that some file waits for the restart. Shows
// no box; runs on the update's worker thread.
//
// Returns false with the message that says why, and what it names, in
// `failure`: everything that can be known before writing (the release, the
// paths, Tolvane running, rights, room; see PlanCanRun) is asked first and
// changes nothing. A failure while copying changes no target either: this
// run's copies are removed. Once replacing has begun, a failure leaves
// every copy, for the next run or the restart to finish with.
bool InstallStagedFiles(HWND dialog, const char* installFolder, InstallFailure* failure,
                        bool* waitsForRestart = 0);

#endif
