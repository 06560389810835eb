// The operations through which an update changes the disk: the copy step,
// flushes, attribute changes, deletes, renames, data copies and moves, and
// folder creation and removal. The shipped program calls the system directly
// through these; a test build (UPDATER_STOP_POINTS) also counts and logs
// them, to end itself just before any one of them as a kill or a power cut
// would.
#ifndef COMMON_FILE_OPS_H
#define COMMON_FILE_OPS_H

#include <windows.h>
#include "common/kernel_functions.h"

#ifdef UPDATER_STOP_POINTS

DWORD OpInstallCopy(char* sourceName, char* destinationName, char* sourceFolder,
                    char* destinationFolder, char* tempName, UINT* tempLength);
BOOL OpFlush(HANDLE file, const char* path);
BOOL OpSetAttributes(const char* path, DWORD attributes);
BOOL OpDelete(const char* path);
BOOL OpRename(const char* from, const char* to);
BOOL OpMoveOnVolume(const char* from, const char* to);
BOOL OpCopy(const char* from, const char* to);
BOOL OpCreateFolder(const char* path);
BOOL OpRemoveFolder(const char* path);

#else

// The platform's file installer, forced (no version comparison); it also
// expands a source stored in the LZ format.
inline DWORD OpInstallCopy(char* sourceName, char* destinationName, char* sourceFolder,
                           char* destinationFolder, char* tempName, UINT* tempLength)
{
    return VerInstallFileA(VIFF_FORCEINSTALL, sourceName, destinationName, sourceFolder,
                           destinationFolder, 0, tempName, tempLength);
}
inline BOOL OpFlush(HANDLE file, const char*) { return FlushFileBuffers(file); }
inline BOOL OpSetAttributes(const char* path, DWORD attributes)
{
    return SetFileAttributesA(path, attributes);
}
inline BOOL OpDelete(const char* path) { return DeleteFileA(path); }
inline BOOL OpRename(const char* from, const char* to) { return MoveFileA(from, to); }
// A rename that never overwrites and never copies: it fails with
// ERROR_NOT_SAME_DEVICE where `to` lies on another volume. NT family only.
inline BOOL OpMoveOnVolume(const char* from, const char* to) { return CallMoveFileEx(from, to, 0); }
// Copies over an existing file of the destination name.
inline BOOL OpCopy(const char* from, const char* to) { return CopyFileA(from, to, FALSE); }
inline BOOL OpCreateFolder(const char* path) { return CreateDirectoryA(path, 0); }
inline BOOL OpRemoveFolder(const char* path) { return RemoveDirectoryA(path); }

#endif

#endif
