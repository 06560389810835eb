// Whether another program holds a file so that the update can neither
// rename nor delete it, and waiting out a holder that lets go after a moment
// (an on-access virus scanner reading a file that has just appeared).
#ifndef COMMON_FILE_HOLDER_H
#define COMMON_FILE_HOLDER_H

#include <windows.h>

enum HolderAnswer {
    FileFree,     // no program stops a rename or a delete
    FileHeld,     // a program holds it open without sharing that
    FileDenied,   // this user may not rename or delete it
    FileAbsent,   // no file of that name
    FileUnknown   // a folder, or anything else that cannot be told
};

// Asks without changing anything. On the NT family the file is opened for
// DELETE while sharing everything, as a rename opens it: a file held
// without delete sharing is held, a loaded program image is not (it can be
// renamed). The Windows 95 family can rename or delete no open file at all,
// and knows no delete access: there an exclusive open for reading asks
// whether anyone has it open. A read-only attribute stops neither question.
HolderAnswer AskHolder(const char* path);

// How long the update waits for a file of its own (a fresh copy, an old
// target it set aside) that another program holds: only a virus scanner
// that reads each new file has reason to, and it lets go of each in turn,
// however long it reads.
const DWORD OWN_FILES_WAIT_MS = 15000;

// How long a holder of anything else is given to let go. The stop-point
// build, whose runs test where an update can stop and not how long it
// waits, gives it 1 s.
#ifdef UPDATER_STOP_POINTS
const DWORD HOLDER_WAIT_TOTAL_MS = 1000;
#else
const DWORD HOLDER_WAIT_TOTAL_MS = 5000;
#endif

// AskHolder once a holder has had `waitMs` since `since` (a GetTickCount:
// when it was first found holding the file) to let go.
HolderAnswer AskHolderUntil(const char* path, DWORD since, DWORD waitMs);

// AskHolder once a holder has had its 5 s to let go, or with `ownFile` its
// OWN_FILES_WAIT_MS.
HolderAnswer AskHolderAfterWaiting(const char* path, bool ownFile = false);

// Waits 250 ms, unless `waitMs` have passed since `since` (a GetTickCount).
// True: try again.
bool WaitUntil(DWORD since, DWORD waitMs);

// WaitUntil for this run's own files.
inline bool WaitForOwnFiles(DWORD since)
{
    return WaitUntil(since, OWN_FILES_WAIT_MS);
}

// After an operation on `path` failed with `error` (GetLastError right after
// it): true, having waited 250 ms, when a program holds the file and the
// 5 s that a holder is given (counted in `waits`, 0 at the first failure)
// are not over yet. A sharing violation is a holder's; access denied is one
// only while the file is held (a loaded program image refuses its delete
// for good, and this user's rights do not change).
bool WaitOutHolder(const char* path, DWORD error, unsigned int* waits);

// Waits 250 ms and counts it in `waits`, unless the 5 s are over. True:
// try again.
bool WaitAgain(unsigned int* waits);

// CreateFileA of an existing file, tried again while a holder may let go.
// On failure `error` receives the open's own error.
HANDLE OpenWhenFree(const char* path, DWORD access, DWORD share, DWORD* error);

// Renames `from` to `to` through the update's file operations, waiting out
// a program that holds `from` for a moment. True when it was renamed.
bool RenameWhenFree(const char* from, const char* to);

#endif
