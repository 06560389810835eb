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

// The number of waits of 250 ms that make up the 5 s a holder is given.
const unsigned int HOLDER_WAIT_COUNT = 20;

// Waits 250 ms and counts it in `waits` (0 at the first failure), unless
// the 5 s are over. True: try again.
bool WaitAgain(unsigned int* waits);

// After an operation on `path` failed: true, having waited, when a program
// holds the file and the 5 s are not over yet.
bool WaitOutHolder(const char* path, unsigned int* waits);

// Whether a failed open or copy says that a program holds the file.
bool IsHolderError(DWORD error);

// Renames `from` to `to` through the update's file operations, waiting out
// a program that holds `from` for a moment. True when it was renamed.
bool RenameWhenFree(const char* from, const char* to);

#endif
