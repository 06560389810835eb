// LoadStagedList, CheckStagedCopy and ReadsToItsEnd. The list and the read
// buffer live in uninitialised data: the program has no heap to spare for
// them.
#include <windows.h>
#include "common/crc32.h"
#include "common/file_flush.h"
#include "common/file_holder.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "install/staged_check.h"
#include "install/staged_list.h"
#include "res/resource.h"

static unsigned char ListImage[STAGED_LIST_MAX_SIZE + 1];
static unsigned int ListLength;
static unsigned char ReadBuffer[16384];

// Whether any staged file of the whole table lies in `ownFolder`.
static bool AnyStagedFile(const char* ownFolder)
{
    char path[PATH_BUFFER_SIZE];
    for (unsigned int g = 0; g < STAGED_GROUP_COUNT; ++g)
        for (unsigned int i = 0; i < AllStagedGroups[g]->rowCount; ++i)
            if (MakePath(path, sizeof path, 0, ownFolder, AllStagedGroups[g]->rows[i].stagedName, 0) &&
                QueryPath(path) != PathMissing)
                return true;
    return false;
}

unsigned int LoadStagedList(const char* ownFolder, const InstallPlan& plan)
{
    char path[PATH_BUFFER_SIZE];
    ListLength = 0;
    if (!MakePath(path, sizeof path, 0, ownFolder, STAGED_LIST_FILE, 0))
        return IDS_DAMAGED;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND && !AnyStagedFile(ownFolder))
            return IDS_UPDATER_ALONE;
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? IDS_DAMAGED
                                                                              : IDS_READ_ERROR;
    }
    // One byte more than a list can hold, so an over-long file is seen.
    DWORD length = 0;
    BOOL read = ReadFile(file, ListImage, sizeof ListImage, &length, 0);
    CloseHandle(file);
    if (!read)
        return IDS_READ_ERROR;
    if (!IsIntactStagedList(ListImage, length))
        return IDS_DAMAGED;
    ListLength = length;

    ListedFile listed;
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
            const char* name = plan.groups[g]->rows[i].stagedName;
            if (!FindListedFile(ListImage, ListLength, name, &listed) ||
                !MakePath(path, sizeof path, 0, ownFolder, name, 0) || QueryPath(path) != PathFile)
                return IDS_DAMAGED;
        }
    return 0;
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
    // reason to keep this run's own copy open.
    HANDLE file;
    unsigned int waits = 0;
    do {
        file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    } while (file == INVALID_HANDLE_VALUE && IsHolderError(GetLastError()) && WaitAgain(&waits));
    if (file == INVALID_HANDLE_VALUE)
        return IsHolderError(GetLastError()) ? CopyHeld : CopyUnreadable;
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
