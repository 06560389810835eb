// LocateInstallation and IsAcceptedVersion. Nothing here writes anywhere; the
// only heap block is the version information, released after each check. The
// staged-file table is read for the names of the updater's own copies of the
// main executable, which stand for it while a replacement is under way.
#include <windows.h>
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "detect/accepted_versions.h"
#include "detect/installation_lookup.h"
#include "install/staged_files.h"
#include "res/resource.h"

// REG_SZ (or REG_EXPAND_SZ) under the App Paths key: the folder of the
// installed main executable.
static const char PATH_VALUE_NAME[] = "Path";
// Registry path values are read into at most this many bytes.
static const DWORD PATH_VALUE_MAX = 260;
// The version block is allocated this much larger than reported.
static const DWORD VERSION_BLOCK_SLACK = 10;

// Whether the file's low 32 size bits equal `size`.
static bool HasFileSize(const char* candidate, unsigned int size)
{
    DWORD low = 0, high = 0;
    return FindFileSize(candidate, &low, &high) && low == size;
}

// Scans the accepted-version table for the version string found in the file.
static bool IsListedBuild(const char* candidate, const char* version)
{
    for (unsigned int i = 0; i < ACCEPTED_VERSION_COUNT; ++i) {
        const AcceptedVersion& row = AcceptedVersions[i];
        if (lstrcmpiA(row.version, version) != 0)
            continue;
        if (row.size == 0 || HasFileSize(candidate, row.size))
            return true;
    }
    return false;
}

// Reads the candidate's file version from its Japanese Unicode string block
// and looks it up in the table.
static bool MatchesAcceptedBuild(const char* candidate)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(candidate, &ignored);
    if (size == 0)
        return false;

    bool accepted = false;
    char* version = 0;
    UINT versionLength = 0;
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + VERSION_BLOCK_SLACK);
    if (block == 0)
        goto done;
    if (!GetFileVersionInfoA(candidate, 0, size, block))
        goto done;
    if (!VerQueryValueA(block, LoadResString(IDS_VERSION_QUERY),
                        reinterpret_cast<void**>(&version), &versionLength) || version == 0)
        goto done;
    // The found string lies inside the block, so the block outlives the scan.
    accepted = IsListedBuild(candidate, version);
done:
    if (block != 0)
        HeapFree(GetProcessHeap(), 0, block);
    return accepted;
}

// Whether `folder` starts at a drive's root ("C:\...") or at a network
// share ("\\server\..."), or is a bare drive ("D:", whose candidate is
// "D:\TOLVANE.EXE"). Any other folder, the empty one included, would be
// resolved against the current folder, beside the updater or wherever it
// was started (the bare file name of an empty one also on the search path),
// and the installation would work on relative paths.
static bool IsAbsoluteFolder(const char* folder)
{
    char first = folder[0];
    bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (letter && folder[1] == ':')
        return folder[2] == '\\' || folder[2] == '/' || folder[2] == 0;
    return (first == '\\' || first == '/') && (folder[1] == '\\' || folder[1] == '/');
}

// Whether `folder` holds the updater's own copy of the main executable, of
// an accepted build, where the main executable itself is missing: the
// staged copy or the set-aside old one of a replacement that was stopped
// between its two renames. Such a folder is still the installation, and the
// next run finishes the replacement.
static bool HoldsStoppedSwap(const char* folder, const char* fileName)
{
    const StagedFile* row = FindAppRow(fileName);
    char name[PATH_PART_SIZE];
    char copy[PATH_BUFFER_SIZE];
    if (row == 0)
        return false;
    if (MakePath(copy, sizeof copy, 0, folder, row->stagedName, 0) && MatchesAcceptedBuild(copy))
        return true;
    for (unsigned int i = 0; i < SET_ASIDE_NAME_COUNT; ++i)
        if (MakeSetAsideName(name, sizeof name, row->stagedName, i) &&
            MakePath(copy, sizeof copy, 0, folder, name, 0) && MatchesAcceptedBuild(copy))
            return true;
    return false;
}

// Tests the main executable of `folder`, or where it is missing the
// updater's own copies of it.
static bool FolderHoldsAcceptedBuild(const char* folder)
{
    const char* fileName = AcceptedVersions[0].fileName;
    char candidate[PATH_BUFFER_SIZE];
    if (!MakePath(candidate, sizeof candidate, 0, folder, fileName, 0))
        return false;
    if (MatchesAcceptedBuild(candidate))
        return true;
    return QueryPath(candidate) == PathMissing && HoldsStoppedSwap(folder, fileName);
}

bool IsAcceptedVersion(char* folder)
{
    char drive[PATH_DRIVE_SIZE];
    char dir[PATH_PART_SIZE];

    // Only an absolute folder is an installation. A relative one ("C:Sub")
    // is not retried either, since its drive alone would name that drive's
    // root.
    bool absolute = IsAbsoluteFolder(folder);
    if (absolute && FolderHoldsAcceptedBuild(folder))
        return true;

    // Retry with the folder's drive and directory: the parent of a path
    // without a trailing separator, the same folder for one with it.
    bool whole = SplitPath(folder, drive, dir, 0, 0);
    if (!MakePath(folder, PATH_BUFFER_SIZE, drive, dir, 0, 0) || !whole || !absolute)
        return false;
    return FolderHoldsAcceptedBuild(folder);
}

// Reads the "Path" value as text: up to its first zero byte or its stored
// length, at most PATH_VALUE_MAX bytes. A REG_EXPAND_SZ value (such as
// "%ProgramFiles%\Tolvane") is expanded, into at most PATH_VALUE_MAX bytes
// too; values of every other type are taken as they are. A failed read, or
// an expansion that does not fit, leaves `folder` empty.
static void ReadRegisteredPath(HKEY key, char* folder)
{
    char stored[PATH_BUFFER_SIZE];
    DWORD type = REG_NONE;
    DWORD length = PATH_VALUE_MAX;
    folder[0] = 0;
    if (RegQueryValueExA(key, PATH_VALUE_NAME, 0, &type, reinterpret_cast<BYTE*>(stored), &length) !=
        ERROR_SUCCESS)
        return;
    stored[length < PATH_VALUE_MAX ? length : PATH_VALUE_MAX] = 0;
    if (type != REG_EXPAND_SZ) {
        CopyText(folder, PATH_BUFFER_SIZE, stored);
        return;
    }
    DWORD needed = ExpandEnvironmentStringsA(stored, folder, PATH_VALUE_MAX);
    if (needed == 0 || needed > PATH_VALUE_MAX)
        folder[0] = 0;
}

bool LocateInstallation(char* folder)
{
    HKEY key;
    folder[0] = 0;
    // Opened only to read its value: a user without administrator rights
    // may read the key, and must reach the message about those rights.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LoadResString(IDS_APP_PATHS_KEY), 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return false;
    ReadRegisteredPath(key, folder);
    RegCloseKey(key);
    return IsAcceptedVersion(folder);
}
