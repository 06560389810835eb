// GetOwnFolder: the module file name split into drive and directory.
#include <windows.h>
#include "common/own_folder.h"
#include "common/path_helpers.h"
#include "common/text.h"

bool GetOwnFolder(char* out, unsigned int outSize)
{
    char module[PATH_BUFFER_SIZE];
    char drive[PATH_DRIVE_SIZE];
    char dir[PATH_PART_SIZE];
    if (outSize == 0)
        return false;
    out[0] = 0;
    // A result equal to the buffer size means the name was truncated.
    DWORD length = GetModuleFileNameA(0, module, PATH_BUFFER_SIZE);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return false;
    if (!SplitPath(module, drive, dir, 0, 0))
        return false;
    if (!CopyText(out, outSize, drive) || !AppendText(out, outSize, dir)) {
        out[0] = 0;
        return false;
    }
    return true;
}
