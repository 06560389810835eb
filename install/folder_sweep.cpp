// EmptyWorkFolder and RemoveInstallerTempFiles, over one search of a folder.
#include <windows.h>
#include "common/file_removal.h"
#include "common/path_helpers.h"
#include "common/restart_list.h"
#include "install/folder_sweep.h"

static bool IsInstallerTempFile(const char*, const WIN32_FIND_DATAA& entry)
{
    const DWORD notPlain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const char* name = entry.cFileName;
    if (entry.dwFileAttributes & notPlain)
        return false;
    const char prefix[] = "VER";
    for (int i = 0; i < 3; ++i)
        if ((name[i] & ~0x20) != prefix[i])
            return false;
    int digits = 0;
    const char* p = name + 3;
    for (; digits < 5; ++p, ++digits) {
        char c = *p;
        bool hex = (c >= '0' && c <= '9') || ((c & ~0x20) >= 'A' && (c & ~0x20) <= 'F');
        if (!hex)
            break;
    }
    return digits >= 1 && digits <= 4 && lstrcmpiA(p, ".TMP") == 0;
}

// Any file but a copy that waits for the restart, which renames it.
static bool AnyFile(const char* path, const WIN32_FIND_DATAA&)
{
    return !IsReplacedAtRestart(path);
}

static void RemoveFilesOf(const char* folder, bool (*wanted)(const char*, const WIN32_FIND_DATAA&))
{
    char path[PATH_BUFFER_SIZE];
    if (!MakePath(path, sizeof path, 0, folder, "*", 0))
        return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // A name too long for a file call beside this folder is nobody's
        // of ours.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            MakePath(path, sizeof path, 0, folder, entry.cFileName, 0) && FitsFileCall(path) &&
            wanted(path, entry))
            RemoveFile(path);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void EmptyWorkFolder(const char* folder)
{
    RemoveFilesOf(folder, AnyFile);
}

void RemoveInstallerTempFiles(const char* folder)
{
    RemoveFilesOf(folder, IsInstallerTempFile);
}
