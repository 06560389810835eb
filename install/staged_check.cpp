// LoadStagedList, CheckStagedCopy and ReadsToItsEnd. The list and the read
// buffer live in uninitialised data: the program has no heap to spare for
// them.
#include <windows.h>
#include "common/crc32.h"
#include "common/file_flush.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "install/staged_check.h"
#include "install/staged_list.h"
#include "res/resource.h"

static unsigned char ListImage[STAGED_LIST_MAX_SIZE + 1];
static unsigned int ListLength;
static unsigned char ReadBuffer[16384];

unsigned int LoadStagedList(const char* ownFolder, const InstallPlan& plan)
{
    char path[PATH_BUFFER_SIZE];
    DWORD error = ERROR_FILE_NOT_FOUND;
    bool intact = false;
    ListLength = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (MakePath(path, sizeof path, 0, ownFolder, STAGED_LIST_FILE, 0)) {
        file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
        error = GetLastError();
    }
    if (file != INVALID_HANDLE_VALUE) {
        // One byte more than a list can hold, so an over-long file is seen.
        DWORD length = 0;
        BOOL read = ReadFile(file, ListImage, sizeof ListImage, &length, 0);
        CloseHandle(file);
        if (!read)
            return IDS_READ_ERROR;
        intact = IsIntactStagedList(ListImage, length);
        ListLength = intact ? length : 0;
    } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return IDS_READ_ERROR;
    }

    // Every staged file of the plan listed and beside the updater; none of
    // them there, nor the list, is an updater started by itself.
    unsigned int present = 0;
    bool whole = intact;
    ListedFile listed;
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
            const char* name = plan.groups[g]->rows[i].stagedName;
            bool there = MakePath(path, sizeof path, 0, ownFolder, name, 0) && QueryPath(path) == PathFile;
            present += there;
            whole = whole && there && FindListedFile(ListImage, ListLength, name, &listed);
        }
    if (whole)
        return 0;
    return file == INVALID_HANDLE_VALUE && present == 0 ? IDS_UPDATER_ALONE : IDS_DAMAGED;
}

bool GetListedSize(const char* stagedName, unsigned int* size)
{
    ListedFile listed;
    if (!FindListedFile(ListImage, ListLength, stagedName, &listed))
        return false;
    *size = listed.size;
    return true;
}

CopyCheck CheckStagedCopy(const char* path, const char* stagedName)
{
    ListedFile listed;
    if (!FindListedFile(ListImage, ListLength, stagedName, &listed))
        return CopyDamaged;
    // Opened for writing too: only such a handle can be flushed. Nothing
    // but a passing holder (a virus scanner looking at the new file) has
    // reason to keep this run's own copy open; the caller comes back later.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? CopyHeld : CopyUnreadable;
    }
    CopyCheck result = CopyUnreadable;
    unsigned int crc = CRC32_START;
    unsigned int size = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, ReadBuffer, sizeof ReadBuffer, &got, 0))
            goto done;
        if (got == 0)
            break;
        crc = Crc32Update(crc, ReadBuffer, got);
        size += got;
        if (size > listed.size)
            break;
    }
    result = CopyDamaged;
    if (size != listed.size || Crc32Finish(crc) != listed.crc)
        goto done;
    result = FlushOpenFile(file, path, 0) ? CopyIntact : CopyUnreadable;
done:
    CloseHandle(file);
    return result;
}

bool ReadsToItsEnd(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool whole = false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, ReadBuffer, sizeof ReadBuffer, &got, 0))
            break;
        if (got == 0) {
            whole = true;
            break;
        }
    }
    CloseHandle(file);
    return whole;
}
