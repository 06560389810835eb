// The operations through which an update changes the disk: the copy step,
// flushes, attribute changes, deletes, renames, data copies and moves, files
// written whole, renames and deletes left for the next restart, and folder
// creation and removal. The shipped program calls the system directly
// through these; a test build (UPDATER_STOP_POINTS) also counts and logs
// them, to end itself just before any one of them as a kill or a power cut
// would.
#ifndef COMMON_FILE_OPS_H
#define COMMON_FILE_OPS_H

#include <windows.h>
#include "common/block_copy.h"
#include "common/kernel_functions.h"

// Creates `path` (over a file of that name) holding the `size` bytes at
// `bytes`, flushed to the disk through the handle that wrote them. True
// only when every byte was written and flushed.
inline BOOL WriteNewFile(const char* path, const void* bytes, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL whole = WriteFile(file, bytes, size, &written, 0) && written == size && FlushFileBuffers(file);
    return CloseHandle(file) && whole;
}

// The NT family's pending renames: `from` takes the name `to` at the next
// restart, replacing a file of that name, or with `to` 0 is deleted then.
inline BOOL RenameAtRestart(const char* from, const char* to)
{
    return CallMoveFileEx(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | (to != 0 ? MOVEFILE_REPLACE_EXISTING : 0));
}

#ifdef UPDATER_STOP_POINTS

DWORD OpInstallCopy(char* sourceName, char* destinationName, char* sourceFolder,
                    char* destinationFolder, char* tempName, UINT* tempLength);
BOOL OpFlush(HANDLE file, const char* path);
BOOL OpSetAttributes(const char* path, DWORD attributes);
BOOL OpDelete(const char* path);
BOOL OpRename(const char* from, const char* to);
BOOL OpMoveOnVolume(const char* from, const char* to);
DWORD OpCopy(const char* from, const char* to, bool inBlocks);
BOOL OpWriteNew(const char* path, const void* bytes, DWORD size);
BOOL OpRenameAtRestart(const char* from, const char* to);
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
// Copies over an existing file of the destination name: through our own
// large blocks (`inBlocks`, for a copy on one disk), or the platform's call.
// NO_ERROR, or the error that stopped it.
inline DWORD OpCopy(const char* from, const char* to, bool inBlocks)
{
    if (inBlocks)
        return CopyInBlocks(from, to);
    return CopyFileA(from, to, FALSE) ? NO_ERROR : GetLastError();
}
inline BOOL OpWriteNew(const char* path, const void* bytes, DWORD size) { return WriteNewFile(path, bytes, size); }
inline BOOL OpRenameAtRestart(const char* from, const char* to) { return RenameAtRestart(from, to); }
inline BOOL OpCreateFolder(const char* path) { return CreateDirectoryA(path, 0); }
inline BOOL OpRemoveFolder(const char* path) { return RemoveDirectoryA(path); }

#endif

#endif
