// Scratch folders and file contents for the tests, through the ANSI calls;
// under Wine, a second path to a file and folder links, through Wine's own
// path call and the Unix ln and rm.
#include <windows.h>
#include "support/scratch_files.h"
#include "tools/release/file_helpers.h"

static const char SCRATCH_ROOT[] = "C:\\tolvane-tests";

std::string MakeScratchFolder(const std::string& name)
{
    CreateDirectoryA(SCRATCH_ROOT, nullptr);
    std::string path = std::string(SCRATCH_ROOT) + "\\" + name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string TestProgramFolder()
{
    return ModuleFolder();
}

std::string MakeDeepFolder(const std::string& base, size_t length)
{
    std::string deep = base;
    while (length > deep.size() + 41) {
        deep += "\\" + std::string(40, 'd');
        MakeFolder(deep);
    }
    if (length > deep.size() + 1) {
        deep += "\\" + std::string(length - deep.size() - 1, 'd');
        MakeFolder(deep);
    }
    return deep;
}

// Opens `path` with CreateFileA, or where the ANSI calls refuse it for its
// length (MAX_PATH and more), through CreateFileW and the "\\?\" form.
static HANDLE OpenPath(const std::string& path, DWORD access, DWORD share, DWORD disposition)
{
    if (path.size() < MAX_PATH)
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring wide(path.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    if (length == 0)
        return INVALID_HANDLE_VALUE;
    wide.resize(length - 1);
    return CreateFileW((L"\\\\?\\" + wide).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = OpenPath(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::string& path, bool* ok)
{
    std::string bytes;
    bool read = false;
    HANDLE file = OpenPath(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file != INVALID_HANDLE_VALUE) {
        char chunk[65536];
        DWORD got = 0;
        while ((read = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
            bytes.append(chunk, got);
        CloseHandle(file);
    }
    if (ok)
        *ok = read;
    return read ? bytes : std::string();
}

bool FileExists(const std::string& path)
{
    HANDLE file = OpenPath(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool isFile = GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(file);
    return isFile;
}

unsigned long long FileIdentity(const std::string& path)
{
    HANDLE file = OpenPath(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    BY_HANDLE_FILE_INFORMATION info;
    bool read = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return read ? (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
}

bool FolderExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) || FolderExists(path);
}

void RemoveTree(const std::string& path)
{
    RemoveFolderTree(path);
}

std::string ListFolder(const std::string& path)
{
    std::string names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        names += (names.empty() ? "" : " ") + name;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

// wine_get_unix_file_name: Wine's own kernel32 export; the result is freed
// with HeapFree on the process heap.
std::string UnixPathOf(const std::string& path)
{
    typedef char*(CDECL * UnixNameFunction)(const WCHAR*);
    UnixNameFunction unixName = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return std::string();
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return std::string();
    char* found = unixName(wide);
    if (found == nullptr)
        return std::string();
    std::string result = found;
    HeapFree(GetProcessHeap(), 0, found);
    return result;
}

std::string AliasThroughDriveZ(const std::string& path)
{
    std::string unix = UnixPathOf(path);
    if (unix.empty())
        return unix;
    for (char& c : unix)
        if (c == '/')
            c = '\\';
    return "Z:" + unix;
}

// Runs a Unix program (Wine starts those too) and waits until `done` holds,
// since the handle of a Unix program does not follow it.
static bool RunUnix(std::string command, bool (*done)(const std::string&), const std::string& path)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    for (int waited = 0; waited < 10000; waited += 50) {
        if (done(path))
            return true;
        Sleep(50);
    }
    return false;
}

static bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static bool Gone(const std::string& path)
{
    return !Exists(path);
}

bool MakeFolderLink(const std::string& link, const std::string& target)
{
    std::string unixTarget = UnixPathOf(target);
    std::string unixLink = UnixPathOf(link);
    // Wine's CreateSymbolicLink makes nothing; the Unix ln does.
    if (unixTarget.empty() || unixLink.empty() ||
        !RunUnix("Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", Exists, link))
        return false;
    return (GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool RemoveFolderLink(const std::string& link)
{
    std::string unixLink = UnixPathOf(link);
    return !unixLink.empty() && RunUnix("Z:\\bin\\rm -f \"" + unixLink + "\"", Gone, link);
}

// Wine keeps its drive letters as links in the prefix's "dosdevices" folder.
static std::string DriveLink(const std::string& drive)
{
    char prefix[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || drive.size() != 2)
        return std::string();
    std::string letter(1, static_cast<char>(tolower(static_cast<unsigned char>(drive[0]))));
    return std::string(prefix) + "/dosdevices/" + letter + ":";
}

bool MapDrive(const std::string& drive, const std::string& folder)
{
    std::string link = DriveLink(drive), target = UnixPathOf(folder);
    return !link.empty() && !target.empty() &&
           RunUnix("Z:\\bin\\ln -sfn \"" + target + "\" \"" + link + "\"", Exists, drive + "\\");
}

bool UnmapDrive(const std::string& drive)
{
    std::string link = DriveLink(drive);
    return !link.empty() && RunUnix("Z:\\bin\\rm -f \"" + link + "\"", Gone, drive + "\\");
}

// A file put into a folder before a disk is mounted over it hides while the
// disk is mounted: its going and coming back tell that mount and unmount ran.
static const char HIDDEN_MARKER[] = "\\not-mounted";

// Readies `folder` for a mount: a disk that a killed run left mounted there
// goes first, and the marker is put in. `unix` receives the folder's Unix path.
static bool ReadyForMount(const std::string& folder, std::string* unix)
{
    *unix = UnixPathOf(folder);
    return !unix->empty() && RunUnixShell("umount -l '" + *unix + "' 2>/dev/null; true") &&
           WriteFileBytes(folder + HIDDEN_MARKER, "x");
}

bool MountSmallDisk(const std::string& folder, unsigned int kilobytes)
{
    std::string unix;
    return ReadyForMount(folder, &unix) &&
           RunUnix("Z:\\bin\\mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs \"" + unix + "\"",
                   Gone, folder + HIDDEN_MARKER);
}

bool MountThrottledDisk(const std::string& folder, const std::string& backing, const DiskModel& model,
                        const std::string& log)
{
    std::string program = TestProgramFolder() + "throttled_fs", unix;
    if (!FileExists(program) || (!log.empty() && !WriteFileBytes(log, "")))
        return false;
    std::string unixBacking = UnixPathOf(backing), unixLog = log.empty() ? "" : UnixPathOf(log);
    return !unixBacking.empty() && (log.empty() || !unixLog.empty()) && ReadyForMount(folder, &unix) &&
           RunUnixShell("'" + UnixPathOf(program) + "' " +
                        (model.unreadableFrom == 0 ? ""
                                                   : "--unreadable-from " + std::to_string(model.unreadableFrom) + " ") +
                        "'" + unix + "' '" + unixBacking + "' " +
                        std::to_string(model.rate) + " " + std::to_string(model.seekMs) + " " +
                        std::to_string(model.capacity) + (log.empty() ? "" : " '" + unixLog + "'")) &&
           Gone(folder + HIDDEN_MARKER);
}

bool UnmountDisk(const std::string& folder)
{
    // A disk that a program still uses (the updater of a test that failed)
    // is detached at once and goes when the program lets go.
    std::string unix = UnixPathOf(folder);
    return !unix.empty() && RunUnixShell("umount '" + unix + "' || umount -l '" + unix + "'") &&
           Exists(folder + HIDDEN_MARKER);
}

bool RunUnixShell(const std::string& command)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return false;
    static unsigned int count = 0;
    std::string marker = std::string(temp) + "unix-done-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++count) + ".txt";
    DeleteFileA(marker.c_str());
    std::string unixMarker = UnixPathOf(marker);
    if (unixMarker.empty())
        return false;
    // Single quotes inside, double quotes around: Wine hands the part in
    // double quotes to the shell as one argument.
    std::string line = "Z:\\bin\\sh -c \"(" + command + ") >/dev/null 2>&1 </dev/null; echo $? > '" +
                       unixMarker + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::string status;
    for (int waited = 0; waited < 10000 && status.empty(); waited += 50) {
        Sleep(50);
        status = ReadFileBytes(marker);
    }
    DeleteFileA(marker.c_str());
    return status.substr(0, 1) == "0" && (status.size() == 1 || status[1] == '\n' || status[1] == '\r');
}

static std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

bool MakeUnreadableFrom(const std::string& file, unsigned long offset, const std::string& aside)
{
    std::string name = BaseName(file), files = aside + "\\files", mount = aside + "\\mount";
    DiskModel scratched = { 1ull << 40, 1ul << 30, 0, offset };
    if (!MakeFolder(aside) || !MakeFolder(files) || !MakeFolder(mount) ||
        !MoveFileA(file.c_str(), (files + "\\" + name).c_str()))
        return false;
    std::string unixFile = UnixPathOf(file), unixRead = UnixPathOf(mount + "\\" + name);
    if (!unixFile.empty() && !unixRead.empty() && MountThrottledDisk(mount, files, scratched) &&
        RunUnixShell("ln -s '" + unixRead + "' '" + unixFile + "'") && FileExists(file))
        return true;
    MakeReadableAgain(file, aside);
    return false;
}

bool MakeReadableAgain(const std::string& file, const std::string& aside)
{
    std::string kept = aside + "\\files\\" + BaseName(file), unixFile = UnixPathOf(file);
    if (!unixFile.empty())
        RunUnixShell("rm -f '" + unixFile + "'");
    UnmountDisk(aside + "\\mount");
    return FileExists(kept) && MoveFileA(kept.c_str(), file.c_str());
}

bool SetUnixWritable(const std::string& folder, bool writable)
{
    std::string unix = UnixPathOf(folder);
    return !unix.empty() && RunUnixShell(std::string("chmod ") + (writable ? "u+w" : "a-w") + " '" + unix + "'");
}
