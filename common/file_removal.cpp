// RemoveFile: a delete that neither a read-only attribute nor a program that
// holds the file for a moment stops.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/kernel_functions.h"
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
    unsigned int waits = 0;
    for (;;) {
        if (OpDelete(path))
            return true;
        if (!WaitOutHolder(path, GetLastError(), &waits))
            break;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(path, attributes);
    return false;
}

bool DeleteAtRestart(const char* path)
{
    // MoveFileExA does nothing on the Windows 95 family, whose first
    // release may lack it: it is looked up, not imported, and not asked
    // there. A copy left there goes in a later run.
    if (IsWindows95Family())
        return false;
    return CallMoveFileEx(path, 0, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}
