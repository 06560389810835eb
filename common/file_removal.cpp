// RemoveFile: a delete that a read-only attribute does not stop.
#include <windows.h>
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/path_kind.h"

bool RemoveFile(const char* path)
{
    DWORD attributes = 0;
    switch (QueryPath(path, &attributes)) {
    case PathMissing:
        return true;
    case PathFile:
        break;
    default:
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (OpDelete(path))
        return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(path, attributes);
    return false;
}
