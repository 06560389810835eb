// ReplaceAtRestart, DeleteAtRestart, CommitRestartList, IsReplacedAtRestart
// and StartRestartList, over the NT family's pending renames or the Windows
// 95 family's WININIT.INI. The pending renames are read back from the
// registry value in which the system keeps them: pairs of names (the source
// as "\??\" and its full path, then the target, "!" before it when it is to
// be replaced, or nothing for a delete).
#include <windows.h>
#include "common/app_state.h"
#include "common/file_ops.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/restart_list.h"
#include "common/text.h"
#include "common/wininit_file.h"

static const char SESSION_MANAGER_KEY[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
static const char PENDING_RENAMES[] = "PendingFileRenameOperations";  // REG_MULTI_SZ
static const char NT_PATH_PREFIX[] = "\\??\\";
static const char DELETE_KEY[] = "NUL";

// The pending renames as read, in uninitialised data; two terminators more.
static char Pending[65536 + 2];

// The short form of `path` for a line of WININIT.INI: the file's own where
// it exists, otherwise its folder's joined with its name (a target new in
// this update, or one renamed aside and not put back: every name of ours
// and of Tolvane's is already an 8.3 one). False when there is none.
static bool GetShortName(const char* path, char* out)
{
    DWORD length = GetShortPathNameA(path, out, PATH_BUFFER_SIZE);
    if (length != 0 && length < PATH_BUFFER_SIZE)
        return true;
    char drive[PATH_DRIVE_SIZE];
    char dir[PATH_PART_SIZE];
    char name[PATH_PART_SIZE];
    char ext[PATH_PART_SIZE];
    char folder[PATH_BUFFER_SIZE];
    if (!SplitPath(path, drive, dir, name, ext) || !MakePath(folder, sizeof folder, drive, dir, 0, 0) ||
        !CopyBareFolder(out, PATH_BUFFER_SIZE, folder))
        return false;
    length = GetShortPathNameA(out, folder, sizeof folder);
    return length != 0 && length < sizeof folder && MakePath(out, PATH_BUFFER_SIZE, 0, folder, name, ext);
}

// Queues the line `key=value`, with `value` and (unless it is NUL) `key` in
// their short forms.
static bool QueueShortLine(const char* key, const char* value)
{
    char shortKey[PATH_BUFFER_SIZE];
    char shortValue[PATH_BUFFER_SIZE];
    if (key != DELETE_KEY && !GetShortName(key, shortKey))
        return false;
    return GetShortName(value, shortValue) && QueueWininitLine(key == DELETE_KEY ? key : shortKey, shortValue);
}

bool ReplaceAtRestart(const char* copy, const char* target)
{
    // A read-only target would refuse to be replaced: it loses the
    // attribute now, which is no harm if the restart never comes.
    DWORD attributes = 0;
    if (QueryPath(target, &attributes) == PathFile && (attributes & FILE_ATTRIBUTE_READONLY))
        OpSetAttributes(target, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (IsWindows95Family())
        return QueueShortLine(target, copy);
    return OpRenameAtRestart(copy, target) != FALSE;
}

bool DeleteAtRestart(const char* path)
{
    if (IsWindows95Family())
        return QueueShortLine(DELETE_KEY, path);
    return OpRenameAtRestart(path, 0) != FALSE;
}

bool CommitRestartList()
{
    return !IsWindows95Family() || WriteWininitLines();
}

enum PendingList {
    NoPendingList,     // no renames wait (or none that the system keeps)
    PendingListRead,   // read whole into Pending, `size` bytes
    PendingListTooLong // more than Pending holds: other programs' many lines
};

// Reads the NT family's pending renames into Pending.
static PendingList ReadPendingRenames(DWORD* size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return NoPendingList;
    DWORD type = 0;
    *size = sizeof Pending - 2;
    LONG status = RegQueryValueExA(key, PENDING_RENAMES, 0, &type, reinterpret_cast<BYTE*>(Pending), size);
    RegCloseKey(key);
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && *size > sizeof Pending - 2))
        return PendingListTooLong;
    return status == ERROR_SUCCESS && type == REG_MULTI_SZ ? PendingListRead : NoPendingList;
}

// Whether a pending rename of the NT family renames `copy` to a target. A
// list longer than a run reads may name it: the copy is kept.
static bool PendingRenameNames(const char* copy)
{
    DWORD size = 0;
    PendingList list = ReadPendingRenames(&size);
    if (list != PendingListRead)
        return list == PendingListTooLong;
    Pending[size] = 0;
    Pending[size + 1] = 0;
    const unsigned int prefixLength = sizeof NT_PATH_PREFIX - 1;
    for (const char* source = Pending; *source != 0;) {
        const char* target = source + TextLength(source) + 1;
        const char* name = source;
        if (TextLength(name) > prefixLength && CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, name, prefixLength,
                                                             NT_PATH_PREFIX, prefixLength) == CSTR_EQUAL)
            name += prefixLength;
        if (target[0] != 0 && lstrcmpiA(name, copy) == 0)
            return true;
        source = target + TextLength(target) + 1;
        if (source >= Pending + size)
            break;
    }
    return false;
}

bool IsReplacedAtRestart(const char* copy)
{
    if (QueryPath(copy) != PathFile)
        return false;
    if (!IsWindows95Family())
        return PendingRenameNames(copy);
    char shortCopy[PATH_BUFFER_SIZE];
    return GetShortName(copy, shortCopy) && WininitRenames(shortCopy);
}

bool RestartListReadable()
{
    DWORD size = 0;
    if (IsWindows95Family())
        return WininitReadable();
    return ReadPendingRenames(&size) != PendingListTooLong;
}

void StartRestartList()
{
    ClearWininitQueue();
    if (IsWindows95Family())
        FinishWininitRewrite();
}
