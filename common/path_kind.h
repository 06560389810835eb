// What a path names, read from its attributes: a file, a folder, nothing, or
// something that cannot be told. Only "no such file" and "no such path" mean
// that nothing is there; any other failure (a name the ANSI calls cannot
// spell, a network error, access refused) keeps whatever may be there.
#ifndef COMMON_PATH_KIND_H
#define COMMON_PATH_KIND_H

#include <windows.h>

enum PathKind { PathMissing, PathFile, PathFolder, PathUnknown };

// The kind of `path`; with `attributes` given, its attributes too (only
// meaningful for PathFile and PathFolder).
PathKind QueryPath(const char* path, DWORD* attributes = 0);

// Whether `folder` names a folder. It is asked without a separator at its
// end (but for a drive's root): the Windows 95 family's path parsing comes
// from MS-DOS, and is not known to take a folder's name with one.
bool IsFolder(const char* folder);

// The size of the file at `path`, read from its directory entry (the two
// 32-bit halves). False when there is none.
bool FindFileSize(const char* path, DWORD* low, DWORD* high);

#endif
