// Putting the staged files of the running platform in place.
#ifndef INSTALL_INSTALLER_H
#define INSTALL_INSTALLER_H

#include <windows.h>
#include "install/staged_files.h"

// Installs every group of GroupsForPlatform(OsVersion) from the updater's own
// folder. `dialog` owns the error box and holds IDC_PROGRESS. A release
// whose list of staged files is missing or damaged is refused with
// IDS_DAMAGED before anything is written. Returns false after showing the
// error of the first row that could not be installed.
bool InstallStagedFiles(HWND dialog, const char* installFolder);

// Installs one group's rows in order: each staged file is copied into
// `copyFolder` under its staged name and checked against the list that
// LoadStagedList loaded; then the target below `destinationFolder` is
// renamed aside, the copy renamed to the target, and the old target
// deleted. Returns false after the error box of a failing row: IDS_DAMAGED
// for a copy that does not match the list, IDS_IO_ERROR otherwise.
bool InstallGroup(HWND dialog, const StagedGroup& group, const char* copyFolder,
                  const char* destinationFolder, const char* ownFolder);

#endif
