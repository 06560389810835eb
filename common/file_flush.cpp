// FlushOpenFile and FlushFileAt: compare the size, flush.
#include <windows.h>
#include "common/file_flush.h"
#include "common/file_holder.h"
#include "common/file_ops.h"

bool FlushOpenFile(HANDLE file, const char* path, const FileSize* expected)
{
    if (expected != 0) {
        FileSize size;
        size.low = GetFileSize(file, &size.high);
        if (size.low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
            return false;
        if (size.low != expected->low || size.high != expected->high)
            return false;
    }
    return OpFlush(file, path) != FALSE;
}

bool FlushFileAt(const char* path, const FileSize* expected, bool waitForHolder)
{
    DWORD error = NO_ERROR;
    HANDLE file = waitForHolder ? OpenWhenFree(path, GENERIC_READ | GENERIC_WRITE, 0, &error)
                                : CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool flushed = FlushOpenFile(file, path, expected);
    CloseHandle(file);
    return flushed;
}
