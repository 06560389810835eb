// LoadStagedList and CheckStagedCopy. The list and the read buffer live in
// uninitialised data: the program has no heap to spare for them.
#include <windows.h>
#include "common/crc32.h"
#include "common/file_flush.h"
#include "common/path_helpers.h"
#include "install/staged_check.h"
#include "install/staged_list.h"

static unsigned char ListImage[STAGED_LIST_MAX_SIZE + 1];
static unsigned int ListLength;
static unsigned char ReadBuffer[16384];

bool LoadStagedList(const char* ownFolder, const InstallPlan& plan)
{
    char path[PATH_BUFFER_SIZE];
    ListLength = 0;
    if (!MakePath(path, sizeof path, 0, ownFolder, STAGED_LIST_FILE, 0))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // One byte more than a list can hold, so an over-long file is seen.
    DWORD length = 0;
    BOOL read = ReadFile(file, ListImage, sizeof ListImage, &length, 0);
    CloseHandle(file);
    if (!read || !IsIntactStagedList(ListImage, length))
        return false;
    ListLength = length;

    ListedFile listed;
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i)
            if (!FindListedFile(ListImage, ListLength, plan.groups[g]->rows[i].stagedName, &listed))
                return false;
    return true;
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
    // Opened for writing too: only such a handle can be flushed.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return CopyUnreadable;
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
