// CopyInBlocks. The buffer lives in uninitialised data: the program has no
// heap to spare for it. SetFileTime, which is not among the functions known
// to be in the first Windows 95's KERNEL32, is looked up at run time; without
// it the copy carries the time of its writing.
#include <windows.h>
#include "common/block_copy.h"
#include "common/kernel_functions.h"

typedef BOOL(WINAPI* SetFileTimeFunction)(HANDLE file, const FILETIME* created, const FILETIME* accessed,
                                          const FILETIME* written);

static const DWORD COPY_BLOCK_SIZE = 512 * 1024;
static unsigned char CopyBlock[COPY_BLOCK_SIZE];

// The attributes that a new file can be given at its creation.
static const DWORD CREATION_ATTRIBUTES = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD CopyInBlocks(const char* from, const char* to)
{
    DWORD error = NO_ERROR;
    HANDLE destination = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(from, &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError();
    FindClose(search);
    DWORD attributes = found.dwFileAttributes & CREATION_ATTRIBUTES;
    HANDLE source = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, 0);
    if (source == INVALID_HANDLE_VALUE)
        return GetLastError();
    destination = CreateFileA(to, GENERIC_WRITE, 0, 0, CREATE_ALWAYS,
                              attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, 0);
    if (destination == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        goto done;
    }
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(source, CopyBlock, COPY_BLOCK_SIZE, &got, 0)) {
            error = GetLastError();
            goto done;
        }
        if (got == 0)
            break;
        if (!WriteFile(destination, CopyBlock, got, &written, 0)) {
            error = GetLastError();
            goto done;
        }
        // The 95 family can report a short write on a full disk as success.
        if (written != got) {
            error = ERROR_DISK_FULL;
            goto done;
        }
    }
    {
        SetFileTimeFunction setTime =
            reinterpret_cast<SetFileTimeFunction>(FindKernelFunction("SetFileTime"));
        if (setTime != 0)
            setTime(destination, 0, 0, &found.ftLastWriteTime);
    }
done:
    if (destination != INVALID_HANDLE_VALUE)
        CloseHandle(destination);
    CloseHandle(source);
    return error;
}
