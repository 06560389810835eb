// Putting the staged files of the running platform in place.
#ifndef INSTALL_INSTALLER_H
#define INSTALL_INSTALLER_H

#include <windows.h>
#include "install/staged_files.h"

// Installs every group of GroupsForPlatform(OsVersion) from the updater's own
// folder, moving `dialog`'s IDC_PROGRESS through AppGroup; it shows no box.
// Runs on the update's worker thread. A release whose list of staged files
// is missing or damaged is refused before anything is written. Returns
// false at the first row that could not be installed, with the message
// that tells why in `failure`: IDS_DAMAGED for a damaged release or a copy
// that does not match its list, IDS_IO_ERROR otherwise (0 on success).
bool InstallStagedFiles(HWND dialog, const char* installFolder, unsigned int* failure);

// Installs one group's rows in order: each staged file is copied into
// `copyFolder` under its staged name and checked against the list that
// LoadStagedList loaded; then the target below `destinationFolder` is
// renamed aside, the copy renamed to the target, and the old target
// deleted. Returns false at a failing row, its message in `failure`.
bool InstallGroup(HWND dialog, const StagedGroup& group, const char* copyFolder,
                  const char* destinationFolder, const char* ownFolder, unsigned int* failure);

#endif
