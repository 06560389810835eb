// Checking the release beside the updater (its list of staged files and the
// files it names) before anything is written, and each staged copy against
// that list before the copy replaces its target.
#ifndef INSTALL_STAGED_CHECK_H
#define INSTALL_STAGED_CHECK_H

#include <windows.h>
#include "install/staged_files.h"

// Reads the list from the updater's own folder and checks that it is intact
// and names every staged file of `plan`, and that each of those lies beside
// the updater. Returns 0 when it does, or the message that tells the user
// why not: IDS_UPDATER_ALONE when neither the list nor any staged file is
// there (the updater was started by itself, out of an archive),
// IDS_READ_ERROR when the list cannot be read, IDS_DAMAGED otherwise.
unsigned int LoadStagedList(const char* ownFolder, const InstallPlan& plan);

// The size that the loaded list gives the content of `stagedName`.
bool GetListedSize(const char* stagedName, unsigned int* size);

enum CopyCheck {
    CopyIntact,      // size and CRC as listed, and flushed to the disk
    CopyDamaged,     // other content than the list promises
    CopyHeld,        // another program holds it now
    CopyUnreadable
};

// Reads the staged copy at `path` (made from `stagedName`), compares it with
// the loaded list and, when it matches, flushes it to the disk, so that a
// rename that survives a power cut never names a partial file. Asked once:
// a program that holds the fresh copy is the caller's to wait for.
CopyCheck CheckStagedCopy(const char* path, const char* stagedName);

// Whether the whole of the file at `path` can be read: false at a read
// error (a scratched CD), true when the file reads to its end, whatever it
// holds.
bool ReadsToItsEnd(const char* path);

#endif
