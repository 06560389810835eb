// QueryPath: GetFileAttributesA, with its failures told apart.
#include <windows.h>
#include "common/path_kind.h"

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
