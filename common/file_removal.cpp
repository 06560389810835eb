// RemoveFile: a delete that neither a read-only attribute nor a program that
// holds the file for a moment stops.
#include <windows.h>
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/path_kind.h"

bool RemoveFile(const char* path, bool waitForHolder)
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
    unsigned int waits = 0;
    for (;;) {
        if (OpDelete(path))
            return true;
        if (!waitForHolder || !WaitOutHolder(path, GetLastError(), &waits))
            break;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(path, attributes);
    return false;
}
