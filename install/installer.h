// Putting the staged files of the running platform in place.
#ifndef INSTALL_INSTALLER_H
#define INSTALL_INSTALLER_H

#include <windows.h>
#include "install/staged_files.h"

// Installs every group of GroupsForPlatform(OsVersion) from the updater's own
// folder. `dialog` owns the error box and holds IDC_PROGRESS. Returns false
// after showing IDS_IO_ERROR for the first row that could not be installed.
bool InstallStagedFiles(HWND dialog, const char* installFolder);

// Installs one group's rows in order into `destinationFolder`: each staged
// file is copied there under its staged name, the target deleted and the copy
// renamed to the target. `tempName`/`tempLength` are the run's temporary-file
// buffer for the copies. Returns false after the error box of a failing row.
bool InstallGroup(HWND dialog, const StagedGroup& group, const char* destinationFolder,
                  const char* ownFolder, char* tempName, UINT* tempLength);

#endif
