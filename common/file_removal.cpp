// RemoveFile: a delete that a read-only attribute does not stop.
#include <windows.h>
#include "common/file_ops.h"
#include "common/file_removal.h"

bool RemoveFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (OpDelete(path))
        return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(path, attributes);
    return false;
}
