// The file operations of the stop-point build of the updater, a build for
// tests only. Each operation is counted and logged before it runs; just
// before the k-th one the process ends itself, as a kill or a power cut
// would. A copy that is stopped first writes half of its source's bytes to
// where the copy was going, as a copy cut short leaves them.
//   TOLVANE_STOP_AT  k (from 1); unset or 0: never stop
//   TOLVANE_OP_LOG   file that receives one line per operation:
//                    "<n> <operation> <path>|<second path>"
//   TOLVANE_SLOW     "<operation>:<text>;..." : each operation of that name
//                    whose first path contains the text waits 3 s first, as
//                    a slow CD-ROM or disk would make it
//   TOLVANE_SHORT_COPY  set: every data copy writes half of its source and
//                    reports success, as a copy that lost bytes would
// Like the updater, this build has no C runtime: Win32 calls only.
#include <windows.h>
#include "common/file_ops.h"
#include "common/path_helpers.h"

static bool SettingsRead;
static unsigned int StopAt;
static unsigned int Count;
static char LogPath[MAX_PATH];
static char Slow[512];
static bool ShortCopies;
static const DWORD SLOW_MS = 3000;
static unsigned char CopyBuffer[65536];

static void ReadSettings()
{
    if (SettingsRead)
        return;
    SettingsRead = true;
    char text[16];
    DWORD n = GetEnvironmentVariableA("TOLVANE_STOP_AT", text, sizeof text);
    if (n < sizeof text)
        for (DWORD i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
            StopAt = StopAt * 10 + static_cast<unsigned int>(text[i] - '0');
    n = GetEnvironmentVariableA("TOLVANE_OP_LOG", LogPath, sizeof LogPath);
    if (n == 0 || n >= sizeof LogPath)
        LogPath[0] = 0;
    n = GetEnvironmentVariableA("TOLVANE_SLOW", Slow, sizeof Slow);
    if (n == 0 || n >= sizeof Slow)
        Slow[0] = 0;
    ShortCopies = GetEnvironmentVariableA("TOLVANE_SHORT_COPY", text, sizeof text) != 0;
}

// Whether `text` holds `part` (its first `length` bytes) anywhere.
static bool Contains(const char* text, const char* part, int length)
{
    for (; *text != 0; ++text) {
        int i = 0;
        while (i < length && text[i] != 0 && text[i] == part[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

// Whether TOLVANE_SLOW names this operation on this path.
static bool IsSlow(const char* operation, const char* path)
{
    for (const char* entry = Slow; *entry != 0;) {
        const char* end = entry;
        while (*end != 0 && *end != ';')
            ++end;
        const char* colon = entry;
        while (colon < end && *colon != ':')
            ++colon;
        int nameLength = static_cast<int>(colon - entry);
        if (colon < end && lstrlenA(operation) == nameLength && Contains(operation, entry, nameLength) &&
            Contains(path, colon + 1, static_cast<int>(end - colon - 1)))
            return true;
        entry = *end == ';' ? end + 1 : end;
    }
    return false;
}

static void Log(const char* operation, const char* path, const char* second)
{
    if (LogPath[0] == 0)
        return;
    HANDLE file = CreateFileA(LogPath, GENERIC_WRITE, FILE_SHARE_READ, 0, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return;
    // Two path buffers and the rest stay below wsprintfA's 1024 bytes.
    char line[1024];
    int length = wsprintfA(line, "%u %s %s|%s\r\n", Count, operation, path, second);
    DWORD written = 0;
    SetFilePointer(file, 0, 0, FILE_END);
    WriteFile(file, line, static_cast<DWORD>(length), &written, 0);
    CloseHandle(file);
}

// Writes the first half of `source` over `destination`.
static void WriteHalf(const char* source, const char* destination)
{
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (in == INVALID_HANDLE_VALUE)
        return;
    HANDLE out = CreateFileA(destination, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD left = GetFileSize(in, 0) / 2;
        DWORD got = 0, written = 0;
        while (left > 0 && ReadFile(in, CopyBuffer, left < sizeof CopyBuffer ? left : sizeof CopyBuffer,
                                    &got, 0) && got > 0) {
            WriteFile(out, CopyBuffer, got, &written, 0);
            left -= got;
        }
        CloseHandle(out);
    }
    CloseHandle(in);
}

// Counts and logs one operation; ends the process when it is the k-th.
static void Step(const char* operation, const char* path, const char* second,
                 const char* halfFrom = 0, const char* halfTo = 0)
{
    ReadSettings();
    ++Count;
    Log(operation, path, second);
    if (IsSlow(operation, path))
        Sleep(SLOW_MS);
    if (Count != StopAt)
        return;
    if (halfFrom != 0)
        WriteHalf(halfFrom, halfTo);
    TerminateProcess(GetCurrentProcess(), 99);
}

DWORD OpInstallCopy(char* sourceName, char* destinationName, char* sourceFolder,
                    char* destinationFolder, char* tempName, UINT* tempLength)
{
    char source[PATH_BUFFER_SIZE];
    char destination[PATH_BUFFER_SIZE];
    char temp[MAX_PATH];
    MakePath(source, sizeof source, 0, sourceFolder, sourceName, 0);
    MakePath(destination, sizeof destination, 0, destinationFolder, destinationName, 0);
    // Stopped inside the copy step, the platform's installer leaves its
    // temporary file in the destination folder, partly written.
    temp[0] = 0;
    ReadSettings();
    if (Count + 1 == StopAt)
        GetTempFileNameA(destinationFolder, "ver", 0, temp);
    Step("copy-step", source, destination, source, temp);
    return VerInstallFileA(VIFF_FORCEINSTALL, sourceName, destinationName, sourceFolder,
                           destinationFolder, 0, tempName, tempLength);
}

BOOL OpFlush(HANDLE file, const char* path)
{
    Step("flush", path, "");
    return FlushFileBuffers(file);
}

BOOL OpSetAttributes(const char* path, DWORD attributes)
{
    Step("attributes", path, "");
    return SetFileAttributesA(path, attributes);
}

BOOL OpDelete(const char* path)
{
    Step("delete", path, "");
    return DeleteFileA(path);
}

BOOL OpRename(const char* from, const char* to)
{
    Step("rename", from, to);
    return MoveFileA(from, to);
}

// A rename within one volume moves no bytes: stopped before it, the file
// is still under its old name.
BOOL OpMoveOnVolume(const char* from, const char* to)
{
    Step("move", from, to);
    return CallMoveFileEx(from, to, 0);
}

DWORD OpCopy(const char* from, const char* to, bool inBlocks)
{
    Step("copy", from, to, from, to);
    if (ShortCopies) {
        WriteHalf(from, to);
        return NO_ERROR;
    }
    if (inBlocks)
        return CopyInBlocks(from, to);
    return CopyFileA(from, to, FALSE) ? NO_ERROR : GetLastError();
}

BOOL OpWriteNew(const char* path, const void* bytes, DWORD size)
{
    // Stopped while writing, the file holds the first half of its bytes.
    ReadSettings();
    if (Count + 1 == StopAt)
        WriteNewFile(path, bytes, size / 2);
    Step("write", path, "");
    Step("flush", path, "");
    return WriteNewFile(path, bytes, size);
}

BOOL OpRenameAtRestart(const char* from, const char* to)
{
    Step("restart-rename", from, to != 0 ? to : "");
    return RenameAtRestart(from, to);
}

BOOL OpCreateFolder(const char* path)
{
    Step("create-folder", path, "");
    return CreateDirectoryA(path, 0);
}

BOOL OpRemoveFolder(const char* path)
{
    Step("remove-folder", path, "");
    return RemoveDirectoryA(path);
}
