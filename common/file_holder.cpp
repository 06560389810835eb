// AskHolder and the waits for a holder. Only CreateFileA, which every
// platform has; the flags for the 95 family are those it knows.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/path_kind.h"

static const DWORD HOLDER_WAIT_MS = 250;
static const unsigned int HOLDER_WAIT_COUNT = 20;

HolderAnswer AskHolder(const char* path)
{
    bool windows95 = IsWindows95Family();
    DWORD access = windows95 ? GENERIC_READ : DELETE;
    DWORD share = windows95 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // Without FILE_FLAG_BACKUP_SEMANTICS no folder opens: one that does not
    // is told apart below, only when the open fails.
    HANDLE file = CreateFileA(path, access, share, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return FileFree;
    }
    switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileHeld;
    case ERROR_ACCESS_DENIED:
        return !windows95 && QueryPath(path) == PathFile ? FileDenied : FileUnknown;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return QueryPath(path) == PathMissing ? FileAbsent : FileUnknown;
    default:
        return FileUnknown;
    }
}

HolderAnswer AskHolderUntil(const char* path, DWORD since, DWORD waitMs)
{
    HolderAnswer answer;
    while ((answer = AskHolder(path)) == FileHeld && WaitUntil(since, waitMs)) {
    }
    return answer;
}

HolderAnswer AskHolderAfterWaiting(const char* path, bool ownFile)
{
    return AskHolderUntil(path, GetTickCount(), ownFile ? OWN_FILES_WAIT_MS : HOLDER_WAIT_TOTAL_MS);
}

bool WaitUntil(DWORD since, DWORD waitMs)
{
    if (GetTickCount() - since >= waitMs)
        return false;
    Sleep(HOLDER_WAIT_MS);
    return true;
}

bool WaitAgain(unsigned int* waits)
{
    if (*waits >= HOLDER_WAIT_COUNT)
        return false;
    Sleep(HOLDER_WAIT_MS);
    ++*waits;
    return true;
}

bool WaitOutHolder(const char* path, DWORD error, unsigned int* waits)
{
    bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                (error == ERROR_ACCESS_DENIED && AskHolder(path) == FileHeld);
    return held && WaitAgain(waits);
}

HANDLE OpenWhenFree(const char* path, DWORD access, DWORD share, DWORD* error)
{
    unsigned int waits = 0;
    for (;;) {
        HANDLE file = CreateFileA(path, access, share, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        *error = GetLastError();
        if (!WaitOutHolder(path, *error, &waits))
            return file;
    }
}

bool RenameWhenFree(const char* from, const char* to)
{
    unsigned int waits = 0;
    for (;;) {
        if (OpRename(from, to))
            return true;
        if (!WaitOutHolder(from, GetLastError(), &waits))
            return false;
    }
}
