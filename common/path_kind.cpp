// QueryPath: GetFileAttributesA, with its failures told apart; IsFolder, its
// question of a folder; FindFileSize:
// FindFirstFileA, which every platform has (GetFileAttributesExA is missing
// from the first Windows 95).
#include <windows.h>
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/text.h"

PathKind QueryPath(const char* path, DWORD* attributes)
{
    DWORD found = GetFileAttributesA(path);
    if (attributes != 0)
        *attributes = found;
    if (found == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathMissing
                                                                                : PathUnknown;
    }
    return (found & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathFolder : PathFile;
}

bool IsFolder(const char* folder)
{
    char bare[PATH_BUFFER_SIZE];
    return CopyBareFolder(bare, sizeof bare, folder) && QueryPath(bare) == PathFolder;
}

bool FindFileSize(const char* path, DWORD* low, DWORD* high)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    *low = found.nFileSizeLow;
    *high = found.nFileSizeHigh;
    return true;
}
