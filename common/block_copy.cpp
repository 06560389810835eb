// CopyInBlocks. The block lives in uninitialised data, which costs the
// program file nothing: there is no heap to spare for it.
#include <windows.h>
#include "common/block_copy.h"

static const DWORD BLOCK_SIZE = 1024 * 1024;
static unsigned char Block[BLOCK_SIZE];

DWORD CopyInBlocks(const char* from, const char* to)
{
    DWORD error = NO_ERROR;
    HANDLE out = INVALID_HANDLE_VALUE;
    HANDLE in = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    // A failed open that tells no error still fails.
    if (in == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return error != NO_ERROR ? error : ERROR_OPEN_FAILED;
    }
    out = CreateFileA(to, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (out == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        goto done;
    }
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(in, Block, BLOCK_SIZE, &got, 0)) {
            error = GetLastError();
            goto done;
        }
        if (got == 0)
            break;
        if (!WriteFile(out, Block, got, &written, 0)) {
            error = GetLastError();
            goto done;
        }
        if (written != got) {
            error = ERROR_DISK_FULL;
            goto done;
        }
    }
done:
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    CloseHandle(in);
    return error;
}
