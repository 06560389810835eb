// Checking staged copies against the list of staged files that travels with
// the release, before any copy replaces its target.
#ifndef INSTALL_STAGED_CHECK_H
#define INSTALL_STAGED_CHECK_H

#include <windows.h>
#include "install/staged_files.h"

// Reads the list from the updater's own folder and checks that it is intact
// and names every staged file of `plan`. False: the release is damaged.
bool LoadStagedList(const char* ownFolder, const InstallPlan& plan);

// The size that the loaded list gives the content of `stagedName`.
bool GetListedSize(const char* stagedName, unsigned int* size);

enum CopyCheck {
    CopyIntact,   // size and CRC as listed, and flushed to the disk
    CopyDamaged,  // other content than the list promises
    CopyUnreadable
};

// Reads the staged copy at `path` (made from `stagedName`), compares it with
// the loaded list and, when it matches, flushes it to the disk, so that a
// rename that survives a power cut never names a partial file.
CopyCheck CheckStagedCopy(const char* path, const char* stagedName);

#endif
