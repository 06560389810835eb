// Putting the staged files of the running platform in place.
#ifndef INSTALL_INSTALLER_H
#define INSTALL_INSTALLER_H

#include <windows.h>
#include "install/staged_files.h"

// Installs every group of GroupsForPlatform(OsVersion) from the updater's own
// folder, moving `dialog`'s IDC_PROGRESS through AppGroup (its positions are
// posted, and reach it when the dialog's thread handles its messages); it
// shows no box.
// Runs on the update's worker thread. A release whose list of staged files
// is missing or damaged is refused before anything is written. Returns
// false at the first row that could not be installed, with the message
// that tells why in `failure`: IDS_DAMAGED for a damaged release or a copy
// that does not match its list, IDS_PATH_TOO_LONG for a folder whose name
// the copy step cannot take even in its short form, IDS_IO_ERROR otherwise,
// a target held by a running program and a disk without room for the plan
// included (0 on success). These three are found before anything is written.
bool InstallStagedFiles(HWND dialog, const char* installFolder, unsigned int* failure);

// Where one group's rows are copied from and to.
struct GroupFolders {
    const char* source;       // the release, in a form that the copy step takes
    const char* copy;         // where the staged copies are made
    const char* copyStep;     // the same folder in a form that the copy step takes
    const char* destination;  // the group's root, below which the targets lie
};

// Installs one group's rows in order: each staged file is copied into
// `folders.copy` under its staged name and checked against the list that
// LoadStagedList loaded; then the target below `folders.destination` is
// renamed aside, the copy renamed to the target, and the old target
// deleted. Returns false at a failing row, its message in `failure`.
bool InstallGroup(HWND dialog, const StagedGroup& group, const GroupFolders& folders,
                  unsigned int* failure);

#endif
