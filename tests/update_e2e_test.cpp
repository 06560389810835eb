// The whole update as a user runs it: the real updater executable started
// from a release folder that the release tool staged from a 3.13 product
// tree, a sample installed Tolvane 3.12, and the platform family set through
// Wine's per-program Windows version. In the i686 build the updater is the
// shipped one, staged by the tool's default. Buttons are pressed and boxes
// read and answered from this process.
//
// How the restart is observed: Wine carries out ExitWindowsEx(EWX_REBOOT) by
// ending the session's windowed programs and running the boot sequence
// again, which runs the machine's RunOnce entries. Each Yes scenario leaves a
// RunOnce entry that writes a marker file; the marker appearing is the
// restart. The shutdown privilege is read from the updater's own process
// token, through a handle this test opens when the updater starts.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "install/staged_files.h"
#include "install/staged_list.h"
#include "res/resource.h"
#include "support/answer_probe.h"
#include "support/box_watcher.h"
#include "support/file_holders.h"
#include "support/messages.h"
#include "support/platform_calls.h"
#include "support/registry_fixture.h"
#include "support/relay_trace.h"
#include "support/scratch_files.h"
#include "support/sjis.h"
#include "support/staged_release.h"
#include "support/updater_process.h"
#include "support/version_fixture.h"

namespace {

const char RUN_ONCE_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char VERSION_KEY[] = "Software\\Wine\\AppDefaults\\TLUPDATE.exe";
const char SHELL_FOLDERS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";


struct Family {
    const char* wineVersion;
    DWORD platformId;
    DWORD major;
    size_t files;
    const char* driverFolder;
};

const char* const DATA_FILES[] = { "TLCDDB.DB", "CHG.LOG", "DISC.LST", "music.lst" };

// Functions that Wine's own modules call many thousands of times in a run,
// left out of the relay trace of the updater to keep it small: the updater
// calls none of them (it has no C runtime, and every function it calls has
// a row in the table of platform calls, which names none of these).
const char WINE_INNER_FUNCTIONS[] =
    "ntdll.RtlEnterCriticalSection;ntdll.RtlTryEnterCriticalSection;ntdll.RtlLeaveCriticalSection;"
    "kernel32.TlsGetValue;kernel32.TlsSetValue;kernel32.FlsGetValue;kernel32.FlsSetValue;kernel32.SetLastError;"
    "ntdll.memmove;ntdll.memcmp;ntdll.memcpy;ntdll.memset;ntdll.wcslen;ntdll.wcschr;msvcrt.memcpy;msvcrt.memmove;"
    "msvcrt.memcmp;ucrtbase.isspace;ucrtbase.wcslen;ucrtbase.bsearch;ucrtbase.wcschr;ntdll.RtlCompareUnicodeStrings;"
    "kernel32.CompareStringOrdinal;kernel32.CompareStringW;kernel32.lstrcmpiW;gdi32.SetStretchBltMode;"
    "gdi32.SetBrushOrgEx;gdi32.StretchBlt;ntdll.RtlInitUnicodeString;ntdll.RtlLockHeap;ntdll.RtlUnlockHeap;"
    "ntdll.RtlFreeHeap";

const Family WIN95 = { "win95", 1, 4, 38, "IOSUBSYS" };
const Family WIN98 = { "win98", 1, 4, 38, "IOSUBSYS" };
const Family WINME = { "winme", 1, 4, 38, "IOSUBSYS" };
const Family NT40 = { "nt40", 2, 4, 36, "Drivers" };
const Family WIN2K = { "win2k", 2, 5, 35, "Drivers" };
const Family WINXP = { "winxp", 2, 5, 35, "Drivers" };

// What the test saw while a box was up.
struct BoxMoment {
    bool startEnabled = true, exitEnabled = true;
    int bar = -1;
    bool settingsWritten = false, dataMoved = false;
};

bool ShutdownPrivilegeEnabled(HANDLE token)
{
    LUID shutdown;
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
    char buffer[4096];
    DWORD length = 0;
    if (!GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length))
        return false;
    TOKEN_PRIVILEGES* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        if (privileges->Privileges[i].Luid.LowPart == shutdown.LowPart &&
            privileges->Privileges[i].Luid.HighPart == shutdown.HighPart)
            return (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    return false;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (condition())
            return true;
        Sleep(50);
    }
    return condition();
}

// Types `key` on the keyboard (with Alt held when `alt`), as a user would:
// it reaches whichever window has the focus.
void TypeKey(WORD key, bool alt)
{
    if (alt)
        keybd_event(VK_MENU, 0, 0, 0);
    keybd_event(static_cast<BYTE>(key), 0, 0, 0);
    keybd_event(static_cast<BYTE>(key), 0, KEYEVENTF_KEYUP, 0);
    if (alt)
        keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
}

// The cursor that the thread `thread` shows, read through its input state.
HCURSOR CursorOf(DWORD thread)
{
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    HCURSOR cursor = GetCursor();
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    return cursor;
}

// Covers `window` with one of plain magenta for a moment, then uncovers it,
// and counts the magenta pixels left in its client area: none when it
// repainted.
size_t CoverColourLeftAfterUncovering(HWND window)
{
    const COLORREF magenta = RGB(255, 0, 255);
    WNDCLASSA cls = {};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = CreateSolidBrush(magenta);
    cls.lpszClassName = "TolvaneTestCover";
    RegisterClassA(&cls);
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE,
                                 area.left, area.top, area.right - area.left, area.bottom - area.top,
                                 nullptr, nullptr, cls.hInstance, nullptr);
    auto pump = [](DWORD ms) {
        for (DWORD begun = GetTickCount(); GetTickCount() - begun < ms; Sleep(10)) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
    };
    pump(300);
    DestroyWindow(cover);
    pump(700);
    HDC screen = GetDC(nullptr);
    std::vector<DWORD> pixels =
        CapturePixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    ReleaseDC(nullptr, screen);
    UnregisterClassA(cls.lpszClassName, cls.hInstance);
    DeleteObject(cls.hbrBackground);
    return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), 0x00FF00FFu));
}

// A folder below `base` whose path is `length` bytes long, made of the
// Japanese folder names that users keep (the last one padded to the length).
// `base` and every folder below it are created, the last one only when
// `create`.
std::string JapaneseFolder(const std::string& base, size_t length, bool create)
{
    const std::string names[] = { Sjis(u8"株式会社モーベックス"), Sjis(u8"トルヴェイン（Tolvane）ＣＤ－Ｒ書き込みソフト"),
                                  Sjis(u8"デスクトップ"), Sjis(u8"アップデート用ファイル") };
    std::string folder = base;
    MakeFolder(base);
    for (size_t i = 0; folder.size() + 1 + names[i % 4].size() + 2 < length; ++i) {
        folder += "\\" + names[i % 4];
        MakeFolder(folder);
    }
    folder += "\\" + std::string(length - folder.size() - 1, 'x');
    if (create)
        MakeFolder(folder);
    return folder;
}

// The programs running now, by name, to say what a stalled restart waited on.
std::string RunningPrograms()
{
    std::string names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        names += std::string(names.empty() ? "" : ", ") + entry.szExeFile;
    CloseHandle(snapshot);
    return names;
}

// Runs Wine's restart sequence, which carries out the renames and deletes
// that were asked for at the next restart (WININIT.INI, then the pending
// renames). A sequence that has not ended within a minute is ended and run
// once more, as a machine whose start hung is started again; what was
// running then is printed. False when the second did not end either.
bool RunRestartSequence()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        char command[] = "C:\\windows\\system32\\wineboot.exe -r";
        if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return false;
        bool ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
        if (!ended) {
            printf("the restart sequence had not ended after 60 s; running: %s\n", RunningPrograms().c_str());
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        if (ended)
            return true;
    }
    return false;
}

class Update : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = MakeScratchFolder("e2e");
        install = root + "\\Tolvane";
        release = root + "\\release";
        marker = root + "\\restarted.txt";
        system = SystemFolderPath();
        data = DocumentsFolder() + "\\Tolvane Data";
        MakeFolder(install);
        MakeFolder(system + "\\IOSUBSYS");
        CleanMachine();
    }

    void TearDown() override
    {
        if (token != nullptr)
            CloseHandle(token);
        RestoreDocuments();
        if (!trace.empty())
            EndRelayTracing();
        if (!drive.empty())
            UnmapDrive(drive);
        for (auto disk = disks.rbegin(); disk != disks.rend(); ++disk)
            UnmountDisk(*disk);
        if (!unreadable.empty())
            MakeReadableAgain(unreadable, root + "\\unreadable");
        for (const std::string& folder : unwritable)
            SetUnixWritable(folder, true);
        CleanMachine();
        DeleteKeyTree(HKEY_CURRENT_USER, VERSION_KEY);
        RemoveTree(root);
    }

    static std::string DocumentsFolder()
    {
        char path[MAX_PATH] = {};
        GetEnvironmentVariableA("USERPROFILE", path, MAX_PATH);
        HMODULE shell = LoadLibraryA("SHELL32.DLL");
        auto lookup = reinterpret_cast<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR)>(
            reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathA")));
        lookup(nullptr, 5, nullptr, 0, path);
        return path;
    }

    void CleanMachine()
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY);
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Morvex");
        WriteRawValue(HKEY_LOCAL_MACHINE, RUN_ONCE_KEY, "TolvaneRestartMarker", REG_SZ, "", 1);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RUN_ONCE_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "TolvaneRestartMarker");
            RegCloseKey(key);
        }
        RemoveTree(data);
        RemoveTree(system + "\\TLSTAGE");
        // What an earlier test left for a restart is never carried out.
        ForgetRestartLists();
        for (const char* target : { "IOSUBSYS\\TVCDIO.VXD", "Drivers\\TVCDFLT.SYS", "Drivers\\TVPKT.SYS",
                                    "IOSUBSYS\\TL032.old", "Drivers\\tl036.old", "Drivers\\tl037.old",
                                    "Drivers\\tl038.old" })
            DeleteFileA((system + "\\" + target).c_str());
    }

    // The machine: a platform family and an installed Tolvane 3.12.
    void Machine(const Family& family, const std::string& version = "3, 1, 2, 0",
                 unsigned long size = 4345856, bool registered = true)
    {
        WriteStringValue(HKEY_CURRENT_USER, VERSION_KEY, "Version", family.wineVersion);
        for (unsigned int i = 0; i < AppGroup.rowCount; ++i)
            WriteFileBytes(install + "\\" + AppGroup.rows[i].targetName,
                           std::string("3.12 ") + AppGroup.rows[i].targetName);
        // Made at a short path: stamping a version resource takes no long one.
        std::string made = root + "\\TOLVANE.tmp";
        ASSERT_TRUE(WriteMainExecutable(made, "041104b0", version, size));
        ASSERT_TRUE(MoveFileExA(made.c_str(), (install + "\\TOLVANE.EXE").c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
        for (const char* name : DATA_FILES)
            WriteFileBytes(install + "\\" + name, std::string("user data ") + name);
        if (registered)
            RegisterInstallFolder(install);
    }

    // A fresh installed 3.12 (of `version`, as Machine() makes it), on a
    // machine without anything of an earlier run.
    void FreshMachine(const Family& family, const std::string& version = "3, 1, 2, 0", unsigned long size = 4345856)
    {
        CleanMachine();
        RemoveTree(install);
        MakeFolder(install);
        Machine(family, version, size);
    }

    // Registers the installation folder as an expandable string, as some
    // installers write it ("%SystemDrive%\\...").
    void RegisterExpandable()
    {
        std::string value = "%SystemDrive%" + install.substr(2);
        WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_EXPAND_SZ, value.c_str(),
                      static_cast<DWORD>(value.size() + 1));
    }

    // The updater's folder, staged by the release tool from a 3.13 product
    // tree whose main executable is a real 3.13 build.
    // A product file of the tree can be made `bigger` (target name and
    // size), as a real one is.
    void Release(const std::string& missing = "", const std::map<std::string, size_t>& bigger = {})
    {
        std::map<std::string, std::string> sources;
        std::string said;
        ASSERT_TRUE(WriteProductTree(root + "\\product", "3, 1, 3, 0", &sources));
        for (const auto& file : bigger) {
            std::string bytes(file.second, 'b');
            for (size_t i = 0; i < bytes.size(); i += 4096)
                bytes[i] = static_cast<char>(i >> 12);
            ASSERT_TRUE(WriteFileBytes(root + "\\product\\" + file.first, bytes));
        }
        ASSERT_TRUE(StageRelease(root + "\\product", release, &said)) << said;
        ASSERT_TRUE(ReadFileBytes(release + "\\TLUPDATE.exe") == ReadFileBytes(BuiltUpdaterPath()));
        if (!missing.empty())
            DeleteFileA((release + "\\" + missing).c_str());
    }

    void Launch(const std::string& currentFolder = "")
    {
        TakeSnapshot();
        if (trace.empty())
            ASSERT_TRUE(updater.Start(release + "\\TLUPDATE.exe", currentFolder));
        else
            ASSERT_TRUE(updater.StartTraced(release + "\\TLUPDATE.exe", trace, WINE_INNER_FUNCTIONS));
        if (token != nullptr)
            CloseHandle(token);
        token = nullptr;
        HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, updater.processId);
        ASSERT_NE(nullptr, query);
        ASSERT_TRUE(OpenProcessToken(query, TOKEN_QUERY, &token));
        CloseHandle(query);
    }

    // Presses Start (or Enter) and answers the run's boxes with OK; returns
    // once the buttons are enabled again.
    std::vector<SeenBox> Start(bool useEnter = false)
    {
        BoxWatcher watcher(updater.threadId, { IDOK }, [this](HWND, const SeenBox&) { Observe(); });
        if (useEnter)
            PressKey(updater.threadId, VK_RETURN);
        else
            PressButton(updater.dialog, IDOK);
        EXPECT_TRUE(watcher.WaitForBoxes(1, 120000));
        EXPECT_TRUE(WaitFor([this] { return ButtonsEnabled(); }, 10000));
        Sleep(300);  // a second box would show up by now
        return watcher.Boxes();
    }

    void Observe()
    {
        boxShownAt = GetTickCount();
        moment.startEnabled = IsWindowEnabled(GetDlgItem(updater.dialog, IDOK)) != FALSE;
        moment.exitEnabled = IsWindowEnabled(GetDlgItem(updater.dialog, IDCANCEL)) != FALSE;
        moment.bar = Bar();
        moment.settingsWritten = CountValues(HKEY_CURRENT_USER, SETTINGS_KEY) == 8;
        moment.dataMoved = FileExists(data + "\\TLCDDB.DB") && FileExists(data + "\\music.lst");
    }

    HWND Focused() { return FocusedControl(updater.threadId); }

    bool ButtonsEnabled()
    {
        return IsWindowEnabled(GetDlgItem(updater.dialog, IDOK)) &&
               IsWindowEnabled(GetDlgItem(updater.dialog, IDCANCEL));
    }

    int Bar()
    {
        return static_cast<int>(SendMessageA(GetDlgItem(updater.dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
    }

    // Empties the bar, so that the next run's position is its own.
    void EmptyBar() { SendMessageA(GetDlgItem(updater.dialog, IDC_PROGRESS), PBM_SETPOS, 0, 0); }

    // Presses Exit (or Esc) and answers a restart question with `answer`.
    std::vector<SeenBox> Exit(int answer, bool useEsc = false)
    {
        if (answer == IDYES) {
            DeleteFileA(marker.c_str());
            std::string command = "C:\\windows\\system32\\cmd.exe /c echo restarted> " + marker;
            WriteStringValue(HKEY_LOCAL_MACHINE, RUN_ONCE_KEY, "TolvaneRestartMarker", command);
        }
        BoxWatcher watcher(updater.threadId, { answer });
        if (useEsc)
            PressKey(updater.threadId, VK_ESCAPE);
        else
            PressButton(updater.dialog, IDCANCEL);
        if (answer == IDYES) {
            EXPECT_TRUE(WaitFor([this] { return FileExists(marker); }, 90000)) << "no restart";
        } else {
            EXPECT_EQ(0u, updater.WaitForExit(15000));
        }
        return watcher.Boxes();
    }

    // What is not as a complete update leaves it: a target without the
    // release's bytes, a copy of the updater's own left behind (a staged
    // copy, an old target set aside, the work folder, a temporary file of
    // the copy step or of the data move), or a data file that is not in the
    // data folder exactly once and whole. Empty when the update is complete.
    std::vector<std::string> UpdateProblems(const Family& family)
    {
        std::vector<std::string> problems;
        auto expect = [&problems](bool holds, const std::string& what) {
            if (!holds)
                problems.push_back(what);
        };
        InstallPlan plan = GroupsForPlatform(
            OSVERSIONINFOA{ sizeof(OSVERSIONINFOA), family.major, 0, 0, family.platformId, {} });
        std::vector<PlannedRow> rows = RowsOf(plan);
        expect(family.files == rows.size(), "plan size");
        for (const PlannedRow& planned : rows) {
            std::string root = planned.group->root == InstallFolder ? install : system;
            std::string target = root + "\\" + planned.row->targetName;
            expect(ReadFileBytes(target) == ReadFileBytes(release + "\\" + planned.row->stagedName),
                   target + " is not the release's");
            // Unpacked into the installation folder, the release's own files
            // lie there under the staged names.
            expect(root == release || !FileExists(root + "\\" + planned.row->stagedName),
                   planned.row->stagedName + std::string(" left"));
        }
        expect(family.platformId == 1 || !FileExists(install + "\\TVCDR9X.DLL"), "a Windows 95 family file");
        expect(family.major < 5 || family.platformId == 1 || !FileExists(system + "\\Drivers\\TVCDFLT.SYS"),
               "an NT 4.0 driver");
        for (const std::string& where : { install, system + "\\IOSUBSYS", system + "\\Drivers", data }) {
            std::string names = " " + ListFolder(where) + " ";
            bool ours = where == install || where == data;  // the system's folders hold others' files
            for (const char* part : { ".old ", ".ol1 ", ".ol2 ", " ver", " VER", " TLMOVE.TMP " })
                expect((!ours && part[0] != '.') || names.find(part) == std::string::npos,
                       where + " holds" + names);
        }
        expect(!FolderExists(system + "\\TLSTAGE") && !FolderExists(install + "\\TLSTAGE"),
               "a work folder is left");
        expect(!FileExists(WindowsFile("WININIT.TLN")) && !FileExists(WindowsFile("WININIT.TLO")),
               "a rewrite of WININIT.INI is left");
        for (const char* name : DATA_FILES) {
            expect(ReadFileBytes(data + "\\" + name) == std::string("user data ") + name,
                   std::string(name) + " is not whole in the data folder");
            expect(!FileExists(install + "\\" + name), std::string(name) + " is left in the installation");
        }
        return problems;
    }

    // The clusters of `cluster` bytes that the copies of an XP plan take.
    unsigned long long PlanClusters(unsigned long long cluster)
    {
        unsigned long long needed = 0;
        for (const PlannedRow& planned : RowsOf(GroupsForPlatform(OSVERSIONINFOA{ sizeof(OSVERSIONINFOA), 5, 1, 0, 2, {} })))
            needed += (ReadFileBytes(release + "\\" + planned.row->stagedName).size() + cluster - 1) / cluster;
        return needed;
    }

    // The first data file that a stop left neither whole in the installation
    // folder, nor whole in the data folder, nor whole in both: empty if none.
    std::string DataFileNotWhole()
    {
        for (std::string name : DATA_FILES) {
            std::string whole = "user data " + name, from = install + "\\" + name, to = data + "\\" + name;
            bool there = FileExists(from), here = FileExists(to);
            if ((!there && !here) || (there && ReadFileBytes(from) != whole) || (here && ReadFileBytes(to) != whole))
                return name;
        }
        return "";
    }

    void ExpectUpdated(const Family& family)
    {
        for (const std::string& problem : UpdateProblems(family))
            ADD_FAILURE() << problem;
    }

    // Every data file is still in the installation folder, whole, and no
    // part of one is in the data folder under its name.
    void ExpectDataStayedWhole()
    {
        for (const char* name : DATA_FILES) {
            EXPECT_EQ(std::string("user data ") + name, ReadFileBytes(install + "\\" + name)) << name;
            EXPECT_FALSE(FileExists(data + "\\" + name)) << name;
        }
    }

    // Mounts over `folder` (made if missing) a memory disk of `kilobytes`;
    // TearDown takes it away, also after a failure. False when it could not.
    bool SmallDisk(const std::string& folder, unsigned int kilobytes)
    {
        disks.push_back(folder);
        return MakeFolder(folder) && MountSmallDisk(folder, kilobytes);
    }

    // The same with a throttled disk as `model` says, whose files lie in
    // `folder` + "-files" and whose calls are logged in `folder` + ".log".
    bool ThrottledDisk(const std::string& folder, const DiskModel& model)
    {
        disks.push_back(folder);
        return MakeFolder(folder) && MakeFolder(folder + "-files") &&
               MountThrottledDisk(folder, folder + "-files", model, folder + ".log");
    }

    // Points the user's documents folder at `folder` until the test ends.
    void RedirectDocuments(const std::string& folder)
    {
        savedDocuments = ReadValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal");
        redirected = true;
        WriteStringValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal", folder);
        data = folder + "\\Tolvane Data";
    }

    // Points the user's documents folder back where it was.
    void RestoreDocuments()
    {
        if (!redirected)
            return;
        WriteRawValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal", savedDocuments.type,
                      savedDocuments.data.data(), static_cast<DWORD>(savedDocuments.data.size()));
        redirected = false;
        data = DocumentsFolder() + "\\Tolvane Data";
    }

    // Every file of the installation folder, name and bytes, as the test
    // made it; Launch takes it, a test may take it again.
    void TakeSnapshot() { snapshot = FilesOf(install); }

    static std::map<std::string, std::string> FilesOf(const std::string& folder)
    {
        std::map<std::string, std::string> files;
        std::istringstream names(ListFolder(folder));
        for (std::string name; names >> name;)
            if (!FolderExists(folder + "\\" + name))
                files[name] = ReadFileBytes(folder + "\\" + name);
        return files;
    }

    // What a failed run changed: a file of the installation folder that is
    // not as the snapshot has it (a target, a data file) or not in it (a
    // copy, a set-aside target, a temporary file of the copy step), a driver
    // or a file of the updater's own in the system folder, a work folder,
    // the settings, the data folder.
    std::vector<std::string> ChangesSinceSnapshot()
    {
        std::vector<std::string> changes;
        std::map<std::string, std::string> now = FilesOf(install);
        for (const auto& file : now)
            if (!snapshot.count(file.first))
                changes.push_back(file.first + " appeared in the installation folder");
            else if (snapshot[file.first] != file.second)
                changes.push_back(file.first + " changed");
        for (const auto& file : snapshot)
            if (!now.count(file.first))
                changes.push_back(file.first + " went from the installation folder");
        for (const std::string& where : { system + "\\IOSUBSYS", system + "\\Drivers" }) {
            std::string names = " " + ListFolder(where) + " ";
            for (const char* ours : { " TVCDIO.VXD ", " TVCDFLT.SYS ", " TVPKT.SYS ", " tl0", " TL0" })
                if (names.find(ours) != std::string::npos)
                    changes.push_back(where + " holds" + ours);
        }
        for (const std::string& work : { system + "\\TLSTAGE", install + "\\TLSTAGE" })
            if (FolderExists(work))
                changes.push_back(work + " is left");
        if (KeyExists(HKEY_CURRENT_USER, "Software\\Morvex"))
            changes.push_back("settings written");
        if (FolderExists(data))
            changes.push_back("the data folder was made");
        return changes;
    }

    // The targets among those changes: a program file that changed or went,
    // a driver that appeared.
    std::vector<std::string> TargetsChangedSinceSnapshot()
    {
        std::vector<std::string> changes;
        for (const std::string& change : ChangesSinceSnapshot())
            if (change.find(" changed") != std::string::npos || change.find(" went ") != std::string::npos ||
                change.find(".SYS") != std::string::npos || change.find(".VXD") != std::string::npos)
                changes.push_back(change);
        return changes;
    }

    void ExpectNothingWritten()
    {
        EXPECT_EQ(std::vector<std::string>(), ChangesSinceSnapshot());
    }

    // Presses Exit, which must ask to restart; answers No.
    void ExitAfterARestartQuestion()
    {
        std::vector<SeenBox> question = Exit(IDNO);
        ASSERT_EQ(1u, question.size());
        EXPECT_EQ(RESTART, question[0].text);
    }

    // Presses Start and expects exactly one box, with this text and icon.
    SeenBox StartExpecting(const std::string& text, BoxIcon icon)
    {
        std::vector<SeenBox> boxes = Start();
        EXPECT_EQ(1u, boxes.size());
        if (boxes.empty())
            return SeenBox();
        ExpectBox(boxes[0], text, icon);
        return boxes[0];
    }

    static void ExpectBox(const SeenBox& box, const std::string& text, BoxIcon icon)
    {
        EXPECT_EQ(CAPTION, box.caption);
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(icon, box.icon) << BoxIconName(box.icon);
    }

    // Starts the test build of the updater (TLSTOPS.exe: its file operations
    // counted, logged and, as `settings` ask, stopped, slowed or cut short)
    // from the release folder as `family`, and waits for its window.
    bool StartTestBuild(UpdaterProcess& process, const Family& family,
                        const std::map<std::string, std::string>& settings)
    {
        std::string variant = release + "\\TLSTOPS.exe";
        if (!CopyFileA((TestProgramFolder() + "..\\TLSTOPS.exe").c_str(), variant.c_str(), FALSE))
            return false;
        WriteStringValue(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\TLSTOPS.exe", "Version",
                         family.wineVersion);
        for (const auto& setting : settings)
            SetEnvironmentVariableA(setting.first.c_str(), setting.second.c_str());
        bool started = process.Start(variant);
        for (const auto& setting : settings)
            SetEnvironmentVariableA(setting.first.c_str(), nullptr);
        return started;
    }

    // Runs the test build and presses Start. Stop point 0 never stops: the
    // run completes, its box is answered with OK, Exit is pressed and the
    // restart question answered with No; `boxes` receives what they said.
    // Returns false when it did not end by itself within a minute.
    bool RunStopped(const Family& family, unsigned int stopAt, const std::string& log,
                    std::map<std::string, std::string> settings = {},
                    std::vector<SeenBox>* boxes = nullptr)
    {
        UpdaterProcess stopped;
        settings["TOLVANE_STOP_AT"] = std::to_string(stopAt);
        settings["TOLVANE_OP_LOG"] = log;
        if (!StartTestBuild(stopped, family, settings))
            return false;
        BoxWatcher watcher(stopped.threadId, { IDOK, IDNO });
        PressButton(stopped.dialog, IDOK);
        if (stopAt == 0 && watcher.WaitForBoxes(1, 60000)) {
            WaitFor([&] { return IsWindowEnabled(GetDlgItem(stopped.dialog, IDCANCEL)) != FALSE; }, 10000);
            PressButton(stopped.dialog, IDCANCEL);
        }
        bool ended = stopped.WaitForExit(60000) != STILL_ACTIVE;
        if (boxes != nullptr)
            *boxes = watcher.Boxes();
        return ended;
    }

    // The operations of a complete run, one line each: "<n> <operation> <path>|<path>".
    static std::vector<std::string> LogLines(const std::string& log)
    {
        std::vector<std::string> lines;
        std::istringstream in(ReadFileBytes(log));
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line.back() == '\r')
                line.pop_back(), lines.push_back(line);
        return lines;
    }

    // One call that a throttled disk logged: when it started and ended
    // (seconds, the same clock on every disk), which, its path on the disk
    // ("/folder/name"), and the rest of its line (a rename's second path, a
    // read's or write's offset and size).
    struct DiskCall {
        double start, end;
        std::string call, path, more;
    };

    static std::vector<DiskCall> DiskCalls(const std::string& log)
    {
        std::vector<DiskCall> calls;
        std::istringstream in(ReadFileBytes(log));
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            DiskCall call;
            std::string start, end;
            std::getline(fields, start, '\t');
            std::getline(fields, end, '\t');
            std::getline(fields, call.call, '\t');
            std::getline(fields, call.path, '\t');
            std::getline(fields, call.more);
            call.start = atof(start.c_str());
            call.end = atof(end.c_str());
            calls.push_back(call);
        }
        return calls;
    }

    // The first `call` of `path` from `from` on; calls.end() when none.
    static std::vector<DiskCall>::const_iterator FindCall(const std::vector<DiskCall>& calls,
                                                          std::vector<DiskCall>::const_iterator from,
                                                          const std::string& call, const std::string& path)
    {
        return std::find_if(from, calls.end(),
                            [&](const DiskCall& c) { return c.call == call && c.path == path; });
    }

    std::string root, install, release, marker, system, data, unreadable;
    std::vector<std::string> disks;  // folders that the test mounts disks over
    std::string drive;  // a drive letter that the test maps, when set
    DWORD boxShownAt = 0;  // when the last run's box was seen
    std::string trace;  // where Launch has Wine trace the updater's calls, when set
    std::vector<std::string> unwritable;
    std::map<std::string, std::string> snapshot;
    RegValue savedDocuments;
    bool redirected = false;
    UpdaterProcess updater;
    HANDLE token = nullptr;
    BoxMoment moment;
};

class CompleteUpdate : public Update, public ::testing::WithParamInterface<Family> {};

TEST_P(CompleteUpdate, ReplacesEverythingThenNoEndsWithoutRestart)
{
    const Family& family = GetParam();
    Machine(family);
    Release();
    Launch();
    EXPECT_TRUE(StartExpecting(DONE, BoxIcon::Information).hasOk);
    EXPECT_FALSE(moment.startEnabled);
    EXPECT_FALSE(moment.exitEnabled);
    EXPECT_TRUE(moment.settingsWritten);
    EXPECT_TRUE(moment.dataMoved);
    EXPECT_EQ(100, Bar());
    ExpectUpdated(family);
    EXPECT_FALSE(FileExists(install + "\\CHG.LOG"));
    EXPECT_EQ(GetDlgItem(updater.dialog, IDOK), Focused()) << "the focus is back on Start";

    std::vector<SeenBox> question = Exit(IDNO);
    ASSERT_EQ(1u, question.size());
    ExpectBox(question[0], RESTART, BoxIcon::Information);
    EXPECT_TRUE(question[0].hasYes && question[0].hasNo);
    EXPECT_FALSE(ShutdownPrivilegeEnabled(token));
    Sleep(1000);
    EXPECT_FALSE(FileExists(marker));
}

TEST_P(CompleteUpdate, YesRestartsWindows)
{
    const Family& family = GetParam();
    Machine(family);
    Release();
    Launch();
    ASSERT_EQ(1u, Start().size());
    EXPECT_FALSE(ShutdownPrivilegeEnabled(token));
    std::vector<SeenBox> question = Exit(IDYES);
    ASSERT_EQ(1u, question.size());
    ExpectBox(question[0], RESTART, BoxIcon::Information);
    // The NT family enables the shutdown privilege first; the 95 family has
    // no tokens to adjust.
    EXPECT_EQ(family.platformId != 1, ShutdownPrivilegeEnabled(token));
    EXPECT_TRUE(WaitFor([this] { return !updater.Running(); }, 30000)) << "the restart ends the updater";
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, CompleteUpdate,
                         ::testing::Values(WIN95, WIN98, NT40, WIN2K, WINXP),
                         [](const ::testing::TestParamInfo<Family>& info) {
                             return std::string(info.param.wineVersion);
                         });

TEST_F(Update, NoRegistrationShowsNotInstalledAndWritesNothing)
{
    Machine(WINXP, "3, 1, 2, 0", 4345856, false);
    Release();
    Launch();
    StartExpecting(NOT_INSTALLED, BoxIcon::Information);
    ExpectNothingWritten();
    EXPECT_EQ(0, Bar());
    EXPECT_TRUE(Exit(IDNO).empty());
}

TEST_F(Update, VersionNotInTheTableShowsNotInstalled)
{
    Machine(WIN98, "1, 8, 1, 0", 0);
    Release();
    Launch();
    StartExpecting(NOT_INSTALLED, BoxIcon::Information);
    ExpectNothingWritten();
    EXPECT_TRUE(Exit(IDNO).empty());
}

// A release that is not whole is told before anything is written: the
// updater alone (run out of a ZIP archive, which extracts only the program)
// says to extract every file first; a release without its fifth staged file
// says that the update's files are damaged or missing. Buttons come back,
// the bar stays where it was, and Exit asks nothing.
TEST_F(Update, IncompleteReleaseIsToldBeforeAnythingIsWritten)
{
    Machine(WINXP);
    Release("tl005.tmp");
    const std::string whole = release;
    release = root + "\\download";
    ASSERT_TRUE(MakeFolder(release));
    ASSERT_TRUE(CopyFileA((whole + "\\TLUPDATE.exe").c_str(), (release + "\\TLUPDATE.exe").c_str(), FALSE));
    Launch();
    StartExpecting(UPDATER_ALONE, BoxIcon::Error);
    ExpectNothingWritten();
    EXPECT_EQ("TLUPDATE.exe", ListFolder(release));
    EXPECT_EQ(0u, Exit(IDNO).size());

    release = whole;
    Launch();
    StartExpecting(DAMAGED, BoxIcon::Error);
    EXPECT_EQ(0, Bar());
    EXPECT_TRUE(ButtonsEnabled());
    ExpectNothingWritten();
    EXPECT_TRUE(Exit(IDNO).empty());
}

// A scratched CD: the 30th program file cannot be read past its middle (the
// drive reports a read error after its retries). Every other file was
// copied first, yet no target, setting or data file changes and nothing of
// the run stays behind, however often Start is pressed; the box says what
// helps. Once the file reads again, the update runs through.
TEST_F(Update, ReadErrorInAStagedFileChangesNothing)
{
    Machine(WINXP);
    Release("", { { "TVVIDEO.DLL", 300000 } });
    std::string staged = release + "\\tl030.tmp";
    ASSERT_STREQ("TVVIDEO.DLL", AppGroup.rows[29].targetName);
    if (!MakeUnreadableFrom(staged, 150000, root + "\\unreadable"))
        GTEST_SKIP() << "no read-error file system here (it needs FUSE, and root on Linux)";
    unreadable = staged;
    bool read = true;
    ReadFileBytes(staged, &read);
    ASSERT_FALSE(read) << "the file still reads to its end";
    Launch();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        EmptyBar();
        StartExpecting(READ_ERROR, BoxIcon::Error);
        EXPECT_EQ(85, Bar()) << "29 files copied before the 30th";
        ExpectNothingWritten();
    }
    ASSERT_TRUE(MakeReadableAgain(staged, root + "\\unreadable"));
    unreadable.clear();
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    ExitAfterARestartQuestion();
}

// An on-access virus scanner of the XP era opens each new file in the
// installation folder for 7 s, sharing reading only: the copy step's
// temporary file, each fresh copy, each target renamed into place and each
// old one set aside; longer than a passing holder is given. The run waits
// for this run's own files together, and finishes with every target new or
// waiting for the restart, never a mix; nothing of it stays behind but what
// the restart needs.
TEST_F(Update, SlowOnAccessScannerLeavesNoMixAndNothingBehind)
{
    Release();
    for (int trial = 0; trial < 5; ++trial) {
        FreshMachine(WINXP);
        Launch();
        std::string text;
        {
            FolderScanner scanner(install, 7000);
            std::vector<SeenBox> boxes = Start();
            ASSERT_EQ(1u, boxes.size()) << "trial " << trial;
            text = boxes[0].text;
            EXPECT_TRUE(text == DONE || text == DONE_AT_RESTART) << "trial " << trial << ": " << text;
            EXPECT_GE(scanner.Scanned(), AppGroup.rowCount) << "the scanner did not see the copies";
            std::string names = " " + ListFolder(install) + " ";
            for (const char* left : { " VER", " ver", ".old " })
                EXPECT_EQ(std::string::npos, names.find(left)) << "trial " << trial << ":" << names;
            ExitAfterARestartQuestion();
        }
        if (text == DONE_AT_RESTART) {
            ASSERT_TRUE(RunRestartSequence());
        }
        ExpectUpdated(WINXP);
    }
}

// Running the updater over a complete 3.13 repairs it: a damaged program
// file is replaced again, the user's settings are kept, and "EnableEncode"
// is reset to 0 as on every run.
TEST_F(Update, SecondRunOverACompleteUpdateRepairsIt)
{
    Machine(WIN2K);
    Release();
    Launch();
    ASSERT_EQ(1u, Start().size());
    WriteFileBytes(install + "\\TVAUDIO.DLL", "damaged");
    WriteDwordValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Port", 8080);
    WriteDwordValue(HKEY_CURRENT_USER, SETTINGS_KEY, "EnableEncode", 1);
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WIN2K);
    EXPECT_EQ(DwordBytes(8080), ReadValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Port").data);
    EXPECT_EQ(DwordBytes(0), ReadValue(HKEY_CURRENT_USER, SETTINGS_KEY, "EnableEncode").data);
    ExitAfterARestartQuestion();
}

// With no usable registered folder (no "Path", an empty one, one that starts
// with a zero byte), a 3.12 main executable beside the updater and in the
// current folder is no installation: nothing is written anywhere.
TEST_F(Update, EmptyRegisteredFolderIsNotInstalledWhateverLiesNearby)
{
    Machine(WINXP, "3, 1, 2, 0", 4345856, false);
    Release();
    std::string current = root + "\\current";
    ASSERT_TRUE(MakeFolder(current));
    ASSERT_TRUE(WriteMainExecutable(release + "\\TOLVANE.EXE", "041104b0", "3, 1, 2, 0", 4345856));
    ASSERT_TRUE(WriteMainExecutable(current + "\\TOLVANE.EXE", "041104b0", "3, 1, 2, 0", 4345856));
    std::string besideBefore = ListFolder(release), currentBefore = ListFolder(current);
    Launch(current);

    const std::string leadingZero = std::string(1, '\0') + install;
    const std::vector<std::string> values = { "", leadingZero };
    WriteStringValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "", install + "\\TOLVANE.EXE");  // no "Path"
    for (size_t i = 0; i <= values.size(); ++i) {
        SCOPED_TRACE(i);
        if (i > 0)
            WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_SZ, values[i - 1].data(),
                          static_cast<DWORD>(values[i - 1].size() + 1));
        StartExpecting(NOT_INSTALLED, BoxIcon::Information);
    }
    ExpectNothingWritten();
    EXPECT_EQ(besideBefore, ListFolder(release));
    EXPECT_EQ(currentBefore, ListFolder(current));
    EXPECT_TRUE(Exit(IDNO).empty());
}

// Enter with the focus in the terms box presses the default button, Start;
// afterwards the focus is on Start again, and Esc asks like Exit.
TEST_F(Update, EnterRunsStartAndEscAsksLikeExit)
{
    Machine(NT40);
    Release();
    Launch();
    HWND terms = GetDlgItem(updater.dialog, IDC_TERMS);
    PostMessageA(updater.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(terms), TRUE);
    ASSERT_TRUE(WaitFor([&] { return Focused() == terms; }, 5000));
    std::vector<SeenBox> boxes = Start(true);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(DONE, boxes[0].text);
    EXPECT_EQ(GetDlgItem(updater.dialog, IDOK), Focused());
    std::vector<SeenBox> question = Exit(IDNO, true);
    ASSERT_EQ(1u, question.size());
    EXPECT_EQ(RESTART, question[0].text);
}

// A virus scanner holds the main executable open, allowing even its
// deletion: the old one is set aside and replaced, and once the scanner lets
// go nothing of it is left beside the new one.
TEST_F(Update, MainExecutableHeldWithDeleteSharingIsReplaced)
{
    Machine(WINXP);
    Release();
    Launch();
    HANDLE scanner = CreateFileA((install + "\\TOLVANE.EXE").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, scanner);
    StartExpecting(DONE, BoxIcon::Information);
    CloseHandle(scanner);
    ExpectUpdated(WINXP);
}

// A replacement of the main executable stopped between its renames leaves
// no TOLVANE.EXE: the next run takes the updater's own copy of it (the new
// one under its staged name, or the old one set aside) as the installation
// and finishes the update.
TEST_F(Update, StoppedSwapOfTheMainExecutableIsFinished)
{
    Machine(NT40);
    Release();
    Launch();
    const std::string main = install + "\\TOLVANE.EXE", staged = install + "\\tl002.tmp",
                      aside = install + "\\tl002.old", fresh = release + "\\tl002.tmp";
    const std::vector<std::function<bool()>> stops = {
        [&] { return MoveFileA(main.c_str(), aside.c_str()) && CopyFileA(fresh.c_str(), staged.c_str(), FALSE); },
        [&] { return DeleteFileA(main.c_str()) && CopyFileA(fresh.c_str(), staged.c_str(), FALSE); },
        [&] { return MoveFileA(main.c_str(), aside.c_str()) != FALSE; },
    };
    for (size_t i = 0; i < stops.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(stops[i]());
        ASSERT_FALSE(FileExists(main));
        StartExpecting(DONE, BoxIcon::Information);
        ExpectUpdated(NT40);
    }
}

// Data files that cannot move stay whole in the installation folder; the
// update itself finished, and the box says where the files are and where
// they were to go: first with the documents folder gone (the system then
// names none), then with a plain file where the data folder belongs, then
// with the database held by another program (an editor that shares only
// reading), which the box names; the other files move, and the database
// does once it is let go.
TEST_F(Update, DataThatCannotMoveIsToldAndStaysWhole)
{
    Machine(WINXP);
    Release();
    std::string documents = root + "\\documents";
    RedirectDocuments(documents);
    Launch();
    StartExpecting(DataStayed(install, NO_DATA_FOLDER), BoxIcon::Warning);
    ExpectDataStayedWhole();
    EXPECT_EQ(100, Bar());

    ASSERT_TRUE(MakeFolder(documents));
    ASSERT_TRUE(WriteFileBytes(data, "a file, not a folder"));
    StartExpecting(DataStayed(install, data), BoxIcon::Warning);
    ExpectDataStayedWhole();
    DeleteFileA(data.c_str());
    {
        HeldFile editor(install + "\\TLCDDB.DB", GENERIC_READ, FILE_SHARE_READ);
        StartExpecting(DataInUse(install, data, "TLCDDB.DB"), BoxIcon::Warning);
    }
    EXPECT_EQ("user data TLCDDB.DB", ReadFileBytes(install + "\\TLCDDB.DB"));
    EXPECT_EQ("user data CHG.LOG", ReadFileBytes(data + "\\CHG.LOG"));
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    ExitAfterARestartQuestion();
}

// On a slow machine (the test build waits 3 s before the copy step of the
// main executable, before its flush and before the move of the database)
// the window answers and repaints throughout, and no input acts: a double
// click on Start, Esc, Enter, Alt+F4 and close requests change nothing, a
// log-off is refused, and the pointer is the wait cursor. One box appears
// at the end and stays until it is answered; a close request then asks to
// restart.
TEST_F(Update, SlowRunKeepsTheWindowAnsweringAndIgnoresInput)
{
    Machine(WINXP);
    Release();
    ASSERT_TRUE(StartTestBuild(updater, WINXP,
                               { { "TOLVANE_SLOW", "copy-step:tl002.tmp;flush:tl002.tmp;move:TLCDDB.DB" } }));
    HWND dialog = updater.dialog;
    RECT frame;
    GetWindowRect(dialog, &frame);
    SetCursorPos((frame.left + frame.right) / 2, frame.top + (frame.bottom - frame.top) / 3);
    ASSERT_TRUE(WaitFor([&] { return CursorOf(updater.threadId) != nullptr; }, 5000));
    HCURSOR arrow = CursorOf(updater.threadId);

    DWORD pressed = 0, boxAt = 0;
    bool boxStayed = false;
    HCURSOR cursorWithBox = nullptr;
    // The probe covers the run, from Start to the box. It ends when the box
    // is seen: closing a box blocks its thread for up to 2 s in Wine's X11
    // driver, which waits for a window manager that Xvfb does not have.
    AnswerProbe probe(dialog, 100);
    BoxWatcher watcher(updater.threadId, { IDOK }, [&](HWND box, const SeenBox&) {
        boxAt = GetTickCount();
        probe.Stop();
        cursorWithBox = CursorOf(updater.threadId);
        Sleep(1500);
        boxStayed = IsWindowVisible(box) != FALSE;
    });
    pressed = GetTickCount();
    PressButton(dialog, IDOK);
    PressButton(dialog, IDOK);
    Sleep(1000);  // in the slow copy of the main executable
    HCURSOR during = CursorOf(updater.threadId);
    // Cursor handles are the updater's own, not comparable with this
    // process's: the pointer changes for the run and changes back for the box.
    ASSERT_NE(nullptr, during);
    EXPECT_NE(arrow, during) << "no wait cursor during the run";
    // Real keys, as a user types them: Enter twice, Esc, Alt+F4.
    SetForegroundWindow(dialog);
    for (WORD key : { VK_RETURN, VK_RETURN, VK_ESCAPE })
        TypeKey(key, false);
    TypeKey(VK_F4, true);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    DWORD_PTR endSession = 1;
    EXPECT_NE(0, SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 2000,
                                     &endSession));
    EXPECT_EQ(0u, endSession) << "a log-off was allowed during the run";
    EXPECT_EQ(0u, CoverColourLeftAfterUncovering(dialog)) << "the window did not repaint";
    EXPECT_TRUE(IsWindow(dialog) && watcher.Boxes().empty() && !ButtonsEnabled());

    ASSERT_TRUE(watcher.WaitForBoxes(1, 90000));
    printf("longest unanswered: %lu ms of a %lu ms run\n", static_cast<unsigned long>(probe.LongestUnanswered()),
           static_cast<unsigned long>(boxAt - pressed));
    EXPECT_LE(probe.LongestUnanswered(), 250u);
    EXPECT_EQ(0u, probe.Unanswered());
    EXPECT_GT(boxAt - pressed, 9000u) << "the test build did not slow the run";
    EXPECT_TRUE(boxStayed) << "input from before the box answered it";
    EXPECT_NE(nullptr, cursorWithBox);
    EXPECT_NE(during, cursorWithBox) << "the wait cursor stayed with the box";
    ASSERT_TRUE(WaitFor([this] { return ButtonsEnabled(); }, 10000));
    Sleep(500);
    ASSERT_EQ(1u, watcher.Boxes().size());
    ExpectBox(watcher.Boxes()[0], DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    EXPECT_NE(0, SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 2000,
                                     &endSession));
    EXPECT_NE(0u, endSession) << "a log-off is refused after the run";
    // A close request after the run is Exit, and asks to restart.
    BoxWatcher question(updater.threadId, { IDNO });
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, updater.WaitForExit(15000));
    ASSERT_EQ(1u, question.Boxes().size());
    EXPECT_EQ(RESTART, question.Boxes()[0].text);
}

// Japanese folder names grow long quickly, past what the platform's file
// installer takes: an installation folder and a release folder of 200 bytes
// each are updated completely, through their short forms. A folder whose
// short form is no shorter (every name in it already 8.3) is refused before
// anything is written, naming the folder and the way out: a release is
// copied whole to a shorter folder; the installation folder is not to be
// renamed (Tolvane is registered there), and one that the copy step takes
// as it is is updated, although a work folder inside it would not fit.
TEST_F(Update, LongFoldersAreUpdatedAndTooLongOnesRefusedFirst)
{
    // Deepens `folder` until its short form has `atLeast` bytes. The copy
    // step takes a folder of at most 115 bytes (its "\\VER0000.TMP" within
    // 127), a work folder in it ("\\TLSTAGE") one of at most 107.
    auto eightDotThree = [](std::string folder, size_t atLeast) {
        char shortForm[MAX_PATH * 2] = "";
        while (GetShortPathNameA(folder.c_str(), shortForm, sizeof shortForm) < atLeast) {
            folder += "\\ABCDEFGH";
            EXPECT_TRUE(MakeFolder(folder));
        }
        return folder;
    };
    ASSERT_TRUE(MakeFolder(root + "\\release"));
    release = eightDotThree(root + "\\release", 116);
    Release();
    Machine(WINXP);
    Launch();
    StartExpecting(PathTooLong(release + "\\"), BoxIcon::Error);
    ExpectNothingWritten();
    EXPECT_TRUE(Exit(IDNO).empty());

    release = JapaneseFolder(root, 200, false);
    ASSERT_EQ(200u, release.size());
    Release();
    // Its copies fit the copy step's 127 bytes; its "TLSTAGE" would not.
    install = eightDotThree(root, 108);
    char shortForm[MAX_PATH] = "";
    ASSERT_GE(115u, GetShortPathNameA(install.c_str(), shortForm, sizeof shortForm));
    FreshMachine(WINXP);
    Launch();
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);

    install = eightDotThree(install, 116);
    FreshMachine(WINXP);
    TakeSnapshot();
    EmptyBar();
    StartExpecting(FolderTooLong(install), BoxIcon::Error);
    ExpectNothingWritten();
    EXPECT_EQ(0, Bar());

    install = JapaneseFolder(root + "\\install", 200, true);
    ASSERT_EQ(200u, install.size());
    FreshMachine(WINXP);
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    ExitAfterARestartQuestion();
}

// Every system call that the shipped updater makes is one that each platform
// family accepts (support/platform_calls.cpp holds what each accepts): Wine's
// relay trace of the calls made from the updater's own module, as each
// family, through a complete update from a 240-byte installation folder of
// plain names (the trace shows such paths whole; Wine would take longer
// ones than Windows does) and a read-only program file, ended with a
// restart; a refusal; a failure part-way through the copies; and the warning
// that data stayed, answered with no restart. The lookup opens the App Paths key only to read it, so that a
// limited user gets as far as the message about rights.
TEST_F(Update, EveryCallIsOneThatEachPlatformAccepts)
{
    const Family* const families[PLATFORM_COUNT] = { &WIN95, &WIN98, &NT40, &WIN2K, &WINXP };
    std::vector<std::string> rows = PlatformTableFunctions();
    std::istringstream untraced(WINE_INNER_FUNCTIONS);
    for (std::string function; std::getline(untraced, function, ';');)
        ASSERT_EQ(rows.end(), std::find(rows.begin(), rows.end(), function.substr(function.find('.') + 1)))
            << function << " is called by the updater, yet left out of the trace";
    Release();
    const std::string part = "Tolvane-CD-Writing-Software-Installed-For-Every-User-Of-This-Machine";
    install = root;
    while (install.size() + 1 + part.size() < 239) {
        install += "\\" + part;
        ASSERT_TRUE(MakeFolder(install));
    }
    install += "\\" + std::string(240 - install.size() - 1, 'T');
    ASSERT_EQ(240u, install.size());

    size_t calls = 0, refusedCalls = 0;
    std::set<std::string> reached;
    std::map<std::string, size_t> refused;  // what was refused, on which family: how often
    std::string perFamily;
    for (int p = 0; p < PLATFORM_COUNT; ++p) {
        const Family& family = *families[p];
        SCOPED_TRACE(family.wineVersion);
        PlatformCallCheck check;
        size_t runs = 0, keys = 0;
        // Each run has a trace file of its own, which it starts.
        auto traceRun = [&]() { trace = root + "\\relay-" + family.wineVersion + "-" + std::to_string(runs) + ".txt"; };
        auto checkRun = [&](const char* run) {
            std::vector<RelayCall> traced =
                CallsFromExecutable(ReadRelayTrace(trace), updater.processId, release + "\\TLUPDATE.exe");
            DeleteFileA(trace.c_str());
            EXPECT_GT(traced.size(), 100u) << run << ": the trace misses the run";
            CheckPlatformCalls(traced, static_cast<Platform>(p), check);
            ++runs;
            for (const RelayCall& call : traced)
                if (call.function == "RegOpenKeyExA" && call.arguments.size() == 5 &&
                    call.arguments[1].text.find("App Paths") != std::string::npos) {
                    ++keys;
                    DWORD access = static_cast<DWORD>(std::strtoull(call.arguments[3].text.c_str(), nullptr, 16));
                    EXPECT_EQ(0u, access & ~static_cast<DWORD>(KEY_READ)) << "App Paths opened with " << std::hex << access;
                }
        };

        // A program file read-only, as it came off a CD, and one that
        // another program holds for good, replaced at the restart: the main
        // executable, where the system can tell that no program has it
        // loaded (NT 4.0 cannot, and would take it for Tolvane running).
        FreshMachine(family);
        const std::string readOnly = install + "\\TVDEVICE.INI";
        ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
        traceRun();
        Launch();
        {
            HeldFile holder(install + (&family == &NT40 ? "\\TVMEDIA.DLL" : "\\TOLVANE.EXE"), GENERIC_READ,
                            FILE_SHARE_READ);
            ASSERT_TRUE(holder.Held());
            StartExpecting(DONE_AT_RESTART, BoxIcon::Information);
        }
        EXPECT_EQ(1u, Exit(IDYES).size());
        EXPECT_TRUE(WaitFor([this] { return !updater.Running(); }, 30000)) << "the restart ends the updater";
        ExpectUpdated(family);
        checkRun("complete update");

        // Registered as an expandable string, as some installers write it.
        FreshMachine(family, "1, 8, 1, 0", 0);
        RegisterExpandable();
        traceRun();
        Launch();
        StartExpecting(NOT_INSTALLED, BoxIcon::Information);
        EXPECT_TRUE(Exit(IDNO).empty());
        checkRun("refusal");

        // A folder where the 30th copy is to go: the copy step fails once
        // 29 copies are made, and they go again.
        FreshMachine(family);
        const std::string inTheWay = install + "\\tl030.tmp";
        ASSERT_TRUE(MakeFolder(inTheWay));
        traceRun();
        Launch();
        StartExpecting(IO_ERROR, BoxIcon::Error);
        ExpectNothingWritten();
        EXPECT_TRUE(Exit(IDNO).empty());
        RemoveDirectoryA(inTheWay.c_str());
        checkRun("failure part-way");

        FreshMachine(family);
        RedirectDocuments(root + "\\documents");
        ASSERT_TRUE(MakeFolder(root + "\\documents"));
        ASSERT_TRUE(WriteFileBytes(data, "a file, not a folder"));
        traceRun();
        Launch();
        StartExpecting(DataStayed(install, data), BoxIcon::Warning);
        ExpectDataStayedWhole();
        DeleteFileA(data.c_str());
        ExitAfterARestartQuestion();
        RestoreDocuments();
        checkRun("data stayed");

        EXPECT_EQ(runs, keys) << "one lookup a run";
        // Calls of every run: missing, the trace would miss what it checks.
        for (const char* function : { "GetVersionExA", "HeapAlloc", "HeapFree", "CreateThread", "MsgWaitForMultipleObjects",
                                      "MessageBoxA", "RegOpenKeyExA", "GetFileVersionInfoA", "CreateMutexA",
                                      family.platformId == 1 ? "GetWindowsDirectoryA" : "MoveFileExA",
                                      &family == &NT40 ? "GetVersionExA" : "Module32Next" })
            EXPECT_EQ(1u, check.functions.count(function)) << function << " is not in the trace";
        calls += check.calls;
        reached.insert(check.functions.begin(), check.functions.end());
        refusedCalls += check.refused.size();
        for (const std::string& why : check.refused)
            ++refused[why + " (" + family.wineVersion + ")"];
        perFamily += std::string("platform calls on ") + family.wineVersion + ": " + std::to_string(check.calls) +
                     " calls of " + std::to_string(check.functions.size()) + " functions in " +
                     std::to_string(runs) + " runs\n";
    }
    std::string unreached;
    for (const std::string& function : PlatformTableFunctions())
        if (!reached.count(function))
            unreached += " " + function;
    std::string names;
    for (const auto& what : refused)
        names += (names.empty() ? ": " : "; ") + what.first + " x" + std::to_string(what.second);
    printf("platform calls: %zu checked on win95, win98, nt40, win2k, winxp; %zu refused%s\n%s"
           "platform calls traced from the %s build; rows that no run reached:%s\n",
           calls, refusedCalls, names.c_str(), perFamily.c_str(), sizeof(void*) == 8 ? "x86_64" : "i686",
           unreached.c_str());
    EXPECT_EQ(0u, refusedCalls);
}

// A download unpacked into the program's own folder (registered in its
// short form, the updater started from its long one): the staged copies are
// made in a work folder there, the release's own files stay whole (it can
// be run again), and a run stopped part-way is finished by the next.
TEST_F(Update, ReleaseUnpackedIntoTheInstallationFolderUpdatesIt)
{
    Machine(NT40);
    Release();
    std::vector<std::string> names = { STAGED_LIST_FILE, "TLUPDATE.exe" };
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i)
            names.push_back(group->rows[i].stagedName);
    for (const std::string& name : names)
        ASSERT_TRUE(CopyFileA((release + "\\" + name).c_str(), (install + "\\" + name).c_str(), FALSE));
    const std::string unpacked = release;
    release = install;
    // Registered in its short form, started from its long one: one folder.
    char registered[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA(install.c_str(), registered, MAX_PATH));
    ASSERT_NE(install, registered);
    RegisterInstallFolder(registered);
    auto releaseIsWhole = [&] {
        for (const std::string& name : names)
            EXPECT_TRUE(ReadFileBytes(install + "\\" + name) == ReadFileBytes(unpacked + "\\" + name)) << name;
    };

    // Stopped just as the copy of the main executable was to take its name.
    // The release's own tl002.tmp then stands for the missing main
    // executable in the lookup.
    std::string log = root + "\\operations.log";
    ASSERT_TRUE(RunStopped(NT40, 0, log));
    ASSERT_TRUE(UpdateProblems(NT40).empty()) << "the test build does not update from here";
    unsigned int stop = 0;
    for (const std::string& line : LogLines(log))
        if (line.find(" rename ") != std::string::npos && line.find("tl002.tmp|") != std::string::npos)
            stop = static_cast<unsigned int>(std::stoul(line));
    ASSERT_NE(0u, stop);
    CleanMachine();
    Machine(NT40);
    RegisterInstallFolder(registered);
    ASSERT_TRUE(RunStopped(NT40, stop, log));
    ASSERT_FALSE(FileExists(install + "\\TOLVANE.EXE"));

    Launch();
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(NT40);
    releaseIsWhole();
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(NT40);
    releaseIsWhole();
    ExitAfterARestartQuestion();
}

// An App Paths registration written as an expandable string is expanded.
class ExpandablePath : public Update, public ::testing::WithParamInterface<Family> {};

TEST_P(ExpandablePath, RegisteredFolderIsFound)
{
    Machine(GetParam(), "3, 1, 2, 0", 4345856, false);
    RegisterExpandable();
    Release();
    Launch();
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(GetParam());
    ExitAfterARestartQuestion();
}

INSTANTIATE_TEST_SUITE_P(Families, ExpandablePath, ::testing::Values(WIN98, WIN2K, WINXP),
                         [](const ::testing::TestParamInfo<Family>& info) {
                             return std::string(info.param.wineVersion);
                         });

// A disk without room for the new files at the fullest moment of the plan
// is found before anything is written: one box that names the drive and
// how many MB more it needs, and nothing changed.
// Once it has room, the update runs through.
TEST_F(Update, FullInstallationDiskIsFoundBeforeAnythingIsWritten)
{
    if (!SmallDisk(install, 8192))
        GTEST_SKIP() << "a small disk could not be mounted here (tmpfs needs root on Linux)";
    Machine(WINXP);
    Release();
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA((install + "\\").c_str(), &available, &total, &free));
    // Every copy (the driver's too: the system folder is on drive C: as
    // well) lies beside the old files before the first is replaced, in
    // whole clusters of drive C:; the box says how many MB more, rounded up.
    std::string filler = install + "\\filler.bin";
    ASSERT_TRUE(WriteFileBytes(filler, std::string(static_cast<size_t>(available.QuadPart) - 100 * 1024, 'f')));
    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &clusters));
    ASSERT_TRUE(GetDiskFreeSpaceExA((install + "\\").c_str(), &available, &total, &free));
    unsigned long long cluster = sectors * bytes, needed = PlanClusters(cluster);
    unsigned long long shortOf = needed - available.QuadPart / cluster;
    unsigned long long more = (shortOf * cluster + (1 << 20) - 1) >> 20;
    Launch();
    StartExpecting(NoRoom("C:", std::to_string(more)), BoxIcon::Error);
    ExpectNothingWritten();
    EXPECT_EQ(0, Bar());
    ASSERT_TRUE(DeleteFileA(filler.c_str()));
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    ExitAfterARestartQuestion();
}

// A program file that another program holds so that it cannot be renamed
// is found before anything is written, and named, once it has held on for
// 5 s: on the NT family a file held without delete sharing (a text editor
// with TVDEVICE.INI open), on the Windows 95 family any file held at all;
// the main executable is Tolvane's own, also where Tolvane runs from it (a
// loaded image, which can be renamed). Once it is free, the update runs
// through.
struct HeldTarget {
    const char* name;
    Family family;
    const char* target;
    DWORD share;  // what the holder shares
    bool loaded;  // a program image that another program has loaded
};

void PrintTo(const HeldTarget& held, std::ostream* out)
{
    *out << held.target << " on " << held.family.wineVersion << (held.loaded ? ", loaded" : "");
}

class TargetInUse : public Update, public ::testing::WithParamInterface<HeldTarget> {};

// What other programs left in WININIT.INI for the restart: a file to delete,
// and a section of their own after [rename].
const char OTHERS_RENAME[] = "[rename]\r\nNUL=C:\\windows\\temp\\TLOTHER.TMP\r\n";
const char OTHERS_SECTION[] = "[Other]\r\nkey=value\r\n";

TEST_P(TargetInUse, WaitsForTheRestartButTolvaneIsRefused)
{
    const HeldTarget& held = GetParam();
    // Only a program that has the main executable loaded is Tolvane running.
    bool main = std::string(held.target) == "TOLVANE.EXE" && held.loaded;
    bool windows95 = held.family.platformId == 1;
    Machine(held.family);
    Release();
    std::string target = install + "\\" + held.target;
    if (held.loaded && !main) {
        ASSERT_TRUE(CopyFileA((TestProgramFolder() + "fixture_base.exe").c_str(), target.c_str(), FALSE));
    }
    std::string wininit = WindowsFile("WININIT.INI");
    std::string otherFile = "C:\\windows\\temp\\TLOTHER.TMP";
    WriteFileBytes(otherFile, "another program's");
    if (windows95)
        WriteFileBytes(wininit, std::string(OTHERS_RENAME) + OTHERS_SECTION);
    std::string before = ReadFileBytes(target);
    // On the NT family a driver that a program keeps open waits for the
    // restart too: its copy stays in the work folder until then, and the
    // restart takes the emptied folder away as well.
    std::string driver = system + "\\Drivers\\TVPKT.SYS";
    if (!windows95 && !main) {
        ASSERT_TRUE(MakeFolder(system + "\\Drivers") && WriteFileBytes(driver, "3.12 TVPKT.SYS"));
    }
    Launch();
    {
        HeldFile driverHolder(!windows95 && !main ? driver : std::string(), GENERIC_READ, held.share);
        HeldFile holder(target, GENERIC_READ, held.share, 0, held.loaded);
        ASSERT_TRUE(holder.Held());
        // The Windows 95 family keeps a loaded module's file open, sharing
        // reading only, as long as it is loaded; Wine's loader does not.
        HeldFile moduleFile(windows95 && held.loaded ? target : std::string(), GENERIC_READ, held.share);
        if (windows95) {
            // Other programs' lines, more than a run reads: which copies
            // wait for the restart cannot be told. Just fewer: our line
            // would make the list more than a later run reads. Either way
            // the restart that carries the list out and clears it comes
            // first, and nothing is written.
            TakeSnapshot();
            std::string lines = std::string(OTHERS_RENAME) + OTHERS_SECTION;
            for (size_t size : { 33000u, 32700u }) {
                while (lines.size() < size - 20)
                    lines += "key" + std::to_string(lines.size()) + "=value\r\n";
                lines.resize(size - 2, 'v');
                lines += "\r\n";
                WriteFileBytes(wininit, lines);
                StartExpecting(RESTART_FIRST, BoxIcon::Error);
                ExpectNothingWritten();
                EXPECT_TRUE(lines == ReadFileBytes(wininit));
                lines = std::string(OTHERS_RENAME) + OTHERS_SECTION;
            }
            WriteFileBytes(wininit, lines);
        }
        if (main) {
            StartExpecting(TolvaneRunning(target), BoxIcon::Error);
            ExpectNothingWritten();
            EXPECT_EQ(0, Bar());
        } else {
            StartExpecting(DONE_AT_RESTART, BoxIcon::Information);
            ExitAfterARestartQuestion();
        }
    }
    EXPECT_TRUE(before == ReadFileBytes(target)) << "a file in use was replaced";
    if (main) {
        StartExpecting(DONE, BoxIcon::Information);
        ExpectUpdated(held.family);
        ExitAfterARestartQuestion();
        return;
    }
    if (windows95) {
        // Every line of the other programs is kept where it was; ours (one,
        // in short names) ends the [rename] section.
        std::string lines = ReadFileBytes(wininit);
        std::string ours = lines.substr(0, lines.size() - std::strlen(OTHERS_SECTION)).substr(std::strlen(OTHERS_RENAME));
        EXPECT_EQ(0u, lines.find(OTHERS_RENAME)) << lines;
        EXPECT_EQ(lines.size() - std::strlen(OTHERS_SECTION), lines.find(OTHERS_SECTION)) << lines;
        EXPECT_EQ(1, std::count(ours.begin(), ours.end(), '\n')) << lines;
        EXPECT_EQ(0, lstrcmpiA(ours.substr(ours.size() - 6).c_str(), ".TMP\r\n")) << lines;
    }
    // Programs do not run yet when the restart carries the lines out.
    ASSERT_TRUE(RunRestartSequence());
    ExpectUpdated(held.family);
    EXPECT_EQ(windows95, !FileExists(otherFile)) << "another program's line was not carried out";
    DeleteFileA(otherFile.c_str());
}

INSTANTIATE_TEST_SUITE_P(Held, TargetInUse,
                         ::testing::Values(HeldTarget{ "win98", WIN98, "TVMEDIA.DLL", FILE_SHARE_READ, true },
                                           HeldTarget{ "winme", WINME, "TVMEDIA.DLL", FILE_SHARE_READ, true },
                                           HeldTarget{ "nt40", NT40, "TOLVANE.INI", 0, false },
                                           HeldTarget{ "winxp_main", WINXP, "TOLVANE.EXE", FILE_SHARE_READ, false },
                                           HeldTarget{ "winxp_running", WINXP, "TOLVANE.EXE", 0, true },
                                           HeldTarget{ "winxp", WINXP, "TVDEVICE.INI", FILE_SHARE_READ, false }),
                         [](const ::testing::TestParamInfo<HeldTarget>& info) {
                             return std::string(info.param.name);
                         });

// A second updater, started while the first one copies (a double-click too
// many), says that one runs already and ends, touching nothing; the first
// one finishes.
TEST_F(Update, SecondUpdaterSaysOneRunsAndTheFirstFinishes)
{
    Machine(WIN2K);
    Release();
    UpdaterProcess first;
    ASSERT_TRUE(StartTestBuild(first, WIN2K, { { "TOLVANE_SLOW", "copy-step:tl010.tmp" } }));
    BoxWatcher firstBoxes(first.threadId, { IDOK, IDNO });
    PressButton(first.dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return FileExists(install + "\\tl005.tmp"); }, 20000));
    UpdaterProcess second;
    ASSERT_TRUE(second.Start(release + "\\TLUPDATE.exe", "", false));
    BoxWatcher secondBoxes(second.threadId, { IDOK });
    ASSERT_TRUE(secondBoxes.WaitForBoxes(1, 20000));
    ExpectBox(secondBoxes.Boxes()[0], ALREADY_RUNNING, BoxIcon::Information);
    EXPECT_EQ(0u, second.WaitForExit(15000));
    ASSERT_TRUE(firstBoxes.WaitForBoxes(1, 60000));
    ExpectBox(firstBoxes.Boxes()[0], DONE, BoxIcon::Information);
    ExpectUpdated(WIN2K);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(first.dialog, IDCANCEL)) != FALSE; }, 10000));
    PressButton(first.dialog, IDCANCEL);
    EXPECT_EQ(0u, first.WaitForExit(15000));
}

// A program that takes hold of a program file while the update runs (an
// editor opening TVDEVICE.INI while the copies are made, or once the first
// targets are replaced: the test build slows the copy of the 20th file, or
// the rename that puts TOLVANE.INI in place) leaves that file to the
// restart: it is found when the copies and targets are asked again, or at
// its turn. Every other target is replaced, the box says that files wait
// for the restart, and the restart finishes the update.
TEST_F(Update, HolderThatComesWhileRunningLeavesItsFileToTheRestart)
{
    Release();
    const std::string target = install + "\\TVDEVICE.INI";
    for (bool replacing : { false, true }) {
        FreshMachine(WINXP);
        UpdaterProcess slowed;
        ASSERT_TRUE(StartTestBuild(slowed, WINXP,
                                   { { "TOLVANE_SLOW", replacing ? "rename:tl003.tmp" : "copy-step:tl020.tmp" } }));
        BoxWatcher watcher(slowed.threadId, { IDOK, IDNO });
        PressButton(slowed.dialog, IDOK);
        ASSERT_TRUE(WaitFor([&] {
            return replacing ? ReadFileBytes(install + "\\TOLVANE.EXE") == ReadFileBytes(release + "\\tl002.tmp")
                             : FileExists(install + "\\tl016.tmp");
        }, 60000)) << (replacing ? "replacing" : "copying") << ", boxes: "
                   << (watcher.Boxes().empty() ? std::string("none") : watcher.Boxes()[0].text);
        {
            HeldFile editor(target, GENERIC_READ, FILE_SHARE_READ);
            ASSERT_TRUE(editor.Held());
            ASSERT_TRUE(watcher.WaitForBoxes(1, 60000));
            ExpectBox(watcher.Boxes()[0], DONE_AT_RESTART, BoxIcon::Information);
            EXPECT_EQ("3.12 TVDEVICE.INI", ReadFileBytes(target)) << (replacing ? "replacing" : "copying");
            EXPECT_TRUE(ReadFileBytes(install + "\\TVDVD.DLL") == ReadFileBytes(release + "\\tl017.tmp"));
        }
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(slowed.dialog, IDCANCEL)) != FALSE; }, 10000));
        PressButton(slowed.dialog, IDCANCEL);
        EXPECT_EQ(0u, slowed.WaitForExit(15000));
        ASSERT_TRUE(RunRestartSequence());
        ExpectUpdated(WINXP);
    }
}

// On the NT family a DLL that another program has loaded (an Explorer
// extension, say) can be renamed but not deleted: its old copy goes at the
// restart, and a second run before the restart sets the new one aside
// under a name of its own. After the restart nothing is left.
TEST_F(Update, OldCopyStillLoadedIsDeletedAtTheRestart)
{
    Machine(WINXP);
    Release();
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "fixture_base.exe").c_str(), (install + "\\TLCORE.DLL").c_str(), FALSE));
    HMODULE loaded = LoadLibraryExA((install + "\\TLCORE.DLL").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, loaded);
    Launch();
    StartExpecting(DONE, BoxIcon::Information);
    EXPECT_TRUE(FileExists(install + "\\tl001.old")) << "a loaded DLL was deleted";
    StartExpecting(DONE, BoxIcon::Information);
    EXPECT_TRUE(ReadFileBytes(install + "\\TLCORE.DLL") == ReadFileBytes(release + "\\tl001.tmp"));
    ExitAfterARestartQuestion();
    FreeLibrary(loaded);
    ASSERT_TRUE(RunRestartSequence());
    ExpectUpdated(WINXP);
}

// A user updated once, went back to 3.12 and kept working: the database,
// the change log and a list file in the installation folder now differ from
// the data folder's older ones. The data folder's copies win and stay as
// they are, and the newer data stays where it is; the box names the first
// and asks the user to choose, which no run can. Once the copies hold the
// same bytes, the installation's go.
TEST_F(Update, NewerDataInTheInstallationIsNeverDeleted)
{
    Machine(WINXP);
    Release();
    ASSERT_TRUE(MakeFolder(data));
    for (const char* name : DATA_FILES)
        ASSERT_TRUE(WriteFileBytes(data + "\\" + name, std::string("older ") + name));
    Launch();
    StartExpecting(DataDiffers(install, data, "TLCDDB.DB"), BoxIcon::Warning);
    for (const char* name : DATA_FILES) {
        EXPECT_EQ(std::string("older ") + name, ReadFileBytes(data + "\\" + name));
        EXPECT_EQ(std::string("user data ") + name, ReadFileBytes(install + "\\" + name));
    }
    for (const char* name : DATA_FILES)
        ASSERT_TRUE(WriteFileBytes(data + "\\" + name, std::string("user data ") + name));
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    ExitAfterARestartQuestion();
}

// A data copy (the Windows 98 family copies) that comes out short while
// reporting success (the test build writes half of each and says it is
// done) never takes the file's name: the sources stay whole and the run
// says so.
TEST_F(Update, ShortDataCopyNeverReplacesTheSource)
{
    Machine(WIN98);
    Release();
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(RunStopped(WIN98, 0, root + "\\operations.log", { { "TOLVANE_SHORT_COPY", "1" } }, &boxes));
    ASSERT_EQ(2u, boxes.size());
    ExpectBox(boxes[0], DataStayed(install, data), BoxIcon::Warning);
    EXPECT_EQ(RESTART, boxes[1].text);
    ExpectDataStayedWhole();
    EXPECT_FALSE(FileExists(data + "\\TLMOVE.TMP"));
}

// The documents disk, another volume, fills up during the move, twice: no
// data file ever appears there in part, the database stays whole where it
// was, and each run names the drive and the MB it lacks; what fits moves
// whole. Once the user has made room, the next run moves the database.
TEST_F(Update, FullDocumentsDiskKeepsEverySourceWhole)
{
    Machine(WINXP);
    Release();
    std::string disk = root + "\\small-disk";
    if (!SmallDisk(disk, 200))
        GTEST_SKIP() << "a small disk could not be mounted here (tmpfs needs root on Linux)";
    RedirectDocuments(disk);
    std::string database(150 * 1024, 'D'), log(30 * 1024, 'L');
    database.replace(0, 10, "database: ");
    ASSERT_TRUE(WriteFileBytes(disk + "\\other.bin", std::string(100 * 1024, 'o')));
    ASSERT_TRUE(WriteFileBytes(install + "\\TLCDDB.DB", database));
    ASSERT_TRUE(WriteFileBytes(install + "\\CHG.LOG", log));
    Launch();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        StartExpecting(DataNoRoom(install, data, "C:", "1"), BoxIcon::Warning);
        EXPECT_TRUE(ReadFileBytes(install + "\\TLCDDB.DB") == database);
        EXPECT_FALSE(FileExists(data + "\\TLCDDB.DB"));
        EXPECT_TRUE(ReadFileBytes(data + "\\CHG.LOG") == log);
        EXPECT_FALSE(FileExists(install + "\\CHG.LOG"));
        EXPECT_EQ("user data music.lst", ReadFileBytes(data + "\\music.lst"));
        EXPECT_FALSE(FileExists(data + "\\TLMOVE.TMP"));
    }
    ASSERT_TRUE(DeleteFileA((disk + "\\other.bin").c_str()));
    StartExpecting(DONE, BoxIcon::Information);
    EXPECT_TRUE(ReadFileBytes(data + "\\TLCDDB.DB") == database);
    EXPECT_FALSE(FileExists(install + "\\TLCDDB.DB"));
    EXPECT_EQ(1u, Exit(IDNO).size());
}

// One old disk, drive M: (20 MB/s, 10 ms a seek), holds the installation and
// the documents folder, nearly full once the update's copies are in place,
// and a database of 300 MB: a rename needs no room and moves no bytes, so
// the disk sees the database moved within 2 s of the data folder's creation
// (a copy would take 30 s), the same file, and the success box shows.
TEST_F(Update, LargeDatabaseMovesOnANearlyFullDisk)
{
    std::string disk = root + "\\disk";
    if (!ThrottledDisk(disk, { 16u << 20, 20u << 20, 10 }))
        GTEST_SKIP() << "no throttled disk here (it needs FUSE, and root on Linux)";
    ASSERT_TRUE(MapDrive("M:", disk));
    drive = "M:";
    install = "M:\\Tolvane";
    ASSERT_TRUE(MakeFolder(install) && MakeFolder("M:\\documents"));
    RedirectDocuments("M:\\documents");
    Machine(WINXP);
    Release();
    Launch();  // before the database, which its snapshot would read at 20 MB/s
    std::string database = install + "\\TLCDDB.DB";
    HANDLE file = CreateFileA(database.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);  // 300 MB without blocks: its backing file is sparse
    SetFilePointer(file, 300 << 20, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file) && CloseHandle(file));
    unsigned long long identity = FileIdentity(database);
    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceA("M:\\", &sectors, &bytes, &freeClusters, &clusters));
    ASSERT_TRUE(GetDiskFreeSpaceExA((install + "\\").c_str(), &available, &total, &free));
    size_t room = static_cast<size_t>(PlanClusters(sectors * bytes) * sectors * bytes) + (256 << 10);
    std::string filler(static_cast<size_t>(available.QuadPart) - room, 'f');
    ASSERT_TRUE(WriteFileBytes(disk + "-files\\filler.bin", filler));  // past the disk's slowness
    DWORD begun = GetTickCount();
    StartExpecting(DONE, BoxIcon::Information);
    std::vector<DiskCall> calls = DiskCalls(disk + ".log");
    auto made = FindCall(calls, calls.begin(), "mkdir", "/documents/Tolvane Data");
    auto moved = FindCall(calls, made, "rename", "/Tolvane/TLCDDB.DB");
    ASSERT_NE(calls.end(), moved) << "the disk saw no rename of the database";
    printf("300 MB database: moved in %.0f ms; %lu ms from Start to the box\n", (moved->end - made->start) * 1000,
           static_cast<unsigned long>(boxShownAt - begun));
    EXPECT_LT(moved->end - made->start, 2.0);
    EXPECT_EQ(identity, FileIdentity(data + "\\TLCDDB.DB"));
    EXPECT_FALSE(FileExists(database));
    ExitAfterARestartQuestion();
}

// A database of 40 MB moves from the installation on one old disk (20 MB/s,
// 10 ms a seek) to the documents folder: on another disk (drive N:, where
// the NT family's rename fails: another volume), or on the same disk as the
// Windows 95 family (which always copies). Seconds of copying, in which the
// user may end the updater. The next run finishes the move: the database
// arrives whole, flushed under its temporary name before it takes its own
// name, which is flushed before the source goes; and the move takes at most
// 1.1 times what cp and sync take for the same file between the same
// folders. Both are timed by the disks' own logs, from the first read of
// the database to the last call of the move: the delete of the source, the
// flush of cp's copy.
struct CopiedMove {
    const Family& family;
    bool oneDisk;
};

class CopiedDatabase : public Update, public ::testing::WithParamInterface<CopiedMove> {};

TEST_P(CopiedDatabase, LargeDatabaseSurvivesAnEndedMove)
{
    const DiskModel old = { 256u << 20, 20u << 20, 10 };
    const bool oneDisk = GetParam().oneDisk;
    std::string disk = root + "\\disk", other = oneDisk ? disk : root + "\\documents";
    if (!ThrottledDisk(disk, old) || (!oneDisk && !ThrottledDisk(other, old)))
        GTEST_SKIP() << "no throttled disks here (they need FUSE, and root on Linux)";
    std::string documents = disk + "\\documents";
    if (!oneDisk) {
        ASSERT_TRUE(MapDrive("N:", other));
        drive = "N:";
        documents = "N:\\documents";
    }
    install = disk + "\\Tolvane";
    ASSERT_TRUE(MakeFolder(install) && MakeFolder(documents));
    RedirectDocuments(documents);
    Machine(GetParam().family);
    Release();
    Launch();  // before the database, which its snapshot would read at 20 MB/s
    std::string database(40u << 20, '\0');
    for (size_t i = 0; i < database.size(); i += 4096)
        database[i] = static_cast<char>(i >> 12);
    // Written and read back past the disks' slowness, where their files lie.
    std::string source = disk + "-files\\Tolvane\\TLCDDB.DB";
    std::string moved = other + "-files\\documents\\Tolvane Data\\TLCDDB.DB";
    ASSERT_TRUE(DeleteFileA((install + "\\TLCDDB.DB").c_str()));
    ASSERT_TRUE(WriteFileBytes(source, database));

    // cp and sync first, into the data folder, which the updater then uses.
    std::string copy = data + "\\cp-copy.DB";
    size_t cpFrom = DiskCalls(disk + ".log").size();
    ASSERT_TRUE(MakeFolder(data));
    ASSERT_TRUE(RunUnixShell("cp '" + UnixPathOf(install + "\\TLCDDB.DB") + "' '" + UnixPathOf(copy) +
                             "' && sync '" + UnixPathOf(copy) + "'"));
    ASSERT_TRUE(DeleteFileA(copy.c_str()));
    std::vector<DiskCall> calls = DiskCalls(disk + ".log"), copyCalls = DiskCalls(other + ".log");
    auto cpRead = FindCall(calls, calls.begin() + cpFrom, "read", "/Tolvane/TLCDDB.DB");
    auto synced = FindCall(copyCalls, copyCalls.begin(), "fsync", "/documents/Tolvane Data/cp-copy.DB");
    ASSERT_TRUE(cpRead != calls.end() && synced != copyCalls.end());
    double cp = synced->end - cpRead->start;

    PressButton(updater.dialog, IDOK);
    // Ended as soon as the copy in the data folder has begun.
    std::string partial = data + "\\TLMOVE.TMP";
    DWORD begun = GetTickCount();
    while (!FileExists(partial) && !FileExists(data + "\\TLCDDB.DB") && GetTickCount() - begun < 60000)
        Sleep(10);
    TerminateProcess(updater.process, 1);
    ASSERT_NE(STILL_ACTIVE, updater.WaitForExit(10000));
    ASSERT_FALSE(FileExists(data + "\\TLCDDB.DB")) << "the move was not ended part-way";
    EXPECT_TRUE(ReadFileBytes(source) == database);

    size_t from = DiskCalls(disk + ".log").size(), to = DiskCalls(other + ".log").size();
    UpdaterProcess second;
    ASSERT_TRUE(second.Start(release + "\\TLUPDATE.exe"));
    BoxWatcher watcher(second.threadId, { IDOK, IDNO });
    PressButton(second.dialog, IDOK);
    ASSERT_TRUE(watcher.WaitForBoxes(1, 120000));
    EXPECT_EQ(DONE, watcher.Boxes()[0].text);
    calls = DiskCalls(disk + ".log");
    copyCalls = DiskCalls(other + ".log");
    EXPECT_TRUE(ReadFileBytes(moved) == database);
    EXPECT_FALSE(FileExists(install + "\\TLCDDB.DB"));
    EXPECT_FALSE(FileExists(partial));
    PressButton(second.dialog, IDCANCEL);
    EXPECT_EQ(0u, second.WaitForExit(15000));

    // The temporary copy written, flushed, renamed, flushed under its name;
    // then the source deleted.
    auto read = FindCall(calls, calls.begin() + from, "read", "/Tolvane/TLCDDB.DB");
    auto deleted = FindCall(calls, calls.begin() + from, "unlink", "/Tolvane/TLCDDB.DB");
    auto renamed = FindCall(copyCalls, copyCalls.begin() + to, "rename", "/documents/Tolvane Data/TLMOVE.TMP");
    ASSERT_TRUE(read != calls.end() && deleted != calls.end() && renamed != copyCalls.end());
    EXPECT_EQ("/documents/Tolvane Data/TLCDDB.DB", renamed->more);
    auto written = std::find_if(std::make_reverse_iterator(renamed), copyCalls.crend(),
                                [](const DiskCall& c) { return c.call == "write"; });
    ASSERT_NE(copyCalls.crend(), written);
    EXPECT_EQ("/documents/Tolvane Data/TLMOVE.TMP", written->path);
    auto flushed = FindCall(copyCalls, written.base(), "fsync", "/documents/Tolvane Data/TLMOVE.TMP");
    EXPECT_TRUE(flushed < renamed) << "TLMOVE.TMP was renamed before it was flushed";
    auto named = FindCall(copyCalls, renamed, "fsync", "/documents/Tolvane Data/TLCDDB.DB");
    EXPECT_TRUE(named != copyCalls.end() && named->end <= deleted->start)
        << "the source went before the new name was flushed";
    double ours = deleted->end - read->start;
    printf("40 MB database onto %s disk as %s: moved in %.2f s; cp and sync: %.2f s\n",
           oneDisk ? "the same" : "another", GetParam().family.wineVersion, ours, cp);
    EXPECT_LE(ours, 1.1 * cp);
}

INSTANTIATE_TEST_SUITE_P(Families, CopiedDatabase,
                         ::testing::Values(CopiedMove{ WINXP, false }, CopiedMove{ WIN98, true }),
                         [](const ::testing::TestParamInfo<CopiedMove>& info) {
                             return std::string(info.param.family.wineVersion) +
                                    (info.param.oneDisk ? "_one_disk" : "_two_disks");
                         });

// A user without administrator rights on Windows 2000 or XP, who may read
// the program's registration but write neither its folder nor the system
// folder (tests/limited_user_test.sh runs these as a Unix user of their own,
// whose permissions Wine honours). Each folder that the user cannot write
// is named before anything is written, with the way out; with the rights,
// the update runs through.
class LimitedUser : public Update {
protected:
    void Unwritable(const std::string& folder)
    {
        ASSERT_TRUE(SetUnixWritable(folder, false)) << folder;
        unwritable.push_back(folder);
        ASSERT_FALSE(WriteFileBytes(folder + "\\probe.txt", "")) << "the user can still write " << folder;
    }

    void Writable(const std::string& folder)
    {
        ASSERT_TRUE(SetUnixWritable(folder, true)) << folder;
        unwritable.erase(std::remove(unwritable.begin(), unwritable.end(), folder), unwritable.end());
    }
};

TEST_F(LimitedUser, FoldersTheUserCannotWriteAreNamedBeforeAnythingIsWritten)
{
    Machine(WINXP);
    Release();
    Launch();
    Unwritable(install);
    StartExpecting(NeedAdmin(install), BoxIcon::Error);
    ExpectNothingWritten();
    Writable(install);

    // Installed outside Program Files: the program's folder can be written,
    // the system folder, where the driver goes, cannot.
    Unwritable(system);
    StartExpecting(NeedAdmin(system), BoxIcon::Error);
    ExpectNothingWritten();
    EXPECT_EQ(0, Bar());
    Writable(system);

    // A read-only file refuses this user a write open, held or not, as off a
    // CD: Tolvane running from its main executable is found all the same,
    // and the attribute comes back; an editor that holds TVDEVICE.INI leaves
    // it, read-only as it is, to the restart, which replaces it.
    std::string target = install + "\\TVDEVICE.INI", main = install + "\\TOLVANE.EXE";
    for (const std::string& readOnly : { target, main })
        ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    TakeSnapshot();
    {
        HeldFile tolvane(main, 0, 0, 0, true);
        ASSERT_TRUE(tolvane.Held());
        StartExpecting(TolvaneRunning(main), BoxIcon::Error);
    }
    ExpectNothingWritten();
    EXPECT_NE(0u, GetFileAttributesA(main.c_str()) & FILE_ATTRIBUTE_READONLY) << "the attribute did not come back";

    // A data folder that the user may not write, and an editor that holds
    // TVDEVICE.INI, read-only as it is: the update runs through, the data
    // files stay and the warning says why, and the file waits for the
    // restart, which replaces it. The next run moves the data files.
    ASSERT_TRUE(MakeFolder(data));
    Unwritable(data);
    {
        HeldFile editor(target, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(editor.Held());
        StartExpecting(DataDenied(install, data) + RESTART_NOTICE, BoxIcon::Warning);
    }
    ExpectDataStayedWhole();
    Writable(data);
    ExitAfterARestartQuestion();
    ASSERT_TRUE(RunRestartSequence());
    Launch();
    StartExpecting(DONE, BoxIcon::Information);
    ExpectUpdated(WINXP);
    ExitAfterARestartQuestion();

    // The Windows 95 family has no administrator to log on as: there the
    // same data folder is told without a cause.
    FreshMachine(WIN98);
    ASSERT_TRUE(MakeFolder(data));
    Unwritable(data);
    Launch();
    StartExpecting(DataStayed(install, data), BoxIcon::Warning);
    ExpectDataStayedWhole();
    Writable(data);
    ExitAfterARestartQuestion();
}

// Stop points: the test build of the updater (TLSTOPS.exe) ends itself just
// before its k-th file operation, as a kill or a power cut would, leaving a
// copy in progress or a file being written half written. Another program
// holds one program file for good while it runs, so that the run also asks
// for a replacement at the restart (the pending renames; on the 95 family
// the rewrite of WININIT.INI). Windows then restarts, with that program
// closed, and the shipped updater, run once more (and once more after the
// restart that it asks for, if it does), must finish the update: every
// target the release's, no copy of the updater's own left anywhere, every
// data file once and whole.
//
// By default a spread of stop points runs, the first and the last among
// them; with TOLVANE_STOP_POINTS=all every one does (tools/stop-points.sh).
class StopPoints : public Update, public ::testing::WithParamInterface<Family> {
protected:
    // The shipped updater, run once more: its boxes (the outcome, then the
    // restart question at Exit), answered with OK and No.
    std::vector<SeenBox> RunShipped()
    {
        UpdaterProcess shipped;
        if (!shipped.Start(release + "\\TLUPDATE.exe"))
            return {};
        BoxWatcher watcher(shipped.threadId, { IDOK, IDNO });
        PressButton(shipped.dialog, IDOK);
        watcher.WaitForBoxes(1, 60000);
        WaitFor([&] { return IsWindowEnabled(GetDlgItem(shipped.dialog, IDCANCEL)) != FALSE; }, 10000);
        PressButton(shipped.dialog, IDCANCEL);
        shipped.WaitForExit(15000);
        return watcher.Boxes();
    }

    // The program that holds a program file for good: a file shared for
    // reading only, which neither family can rename.
    std::string HeldTarget(const Family& family)
    {
        return install + (family.platformId == 1 ? "\\TVMEDIA.DLL" : "\\TVDEVICE.INI");
    }

    // Runs the test build to its k-th operation while another program holds
    // a program file, then restarts Windows with that program closed.
    // Returns what went wrong, or nothing.
    std::string RunStoppedAndRestart(const Family& family, unsigned int stopAt, const std::string& log)
    {
        std::string why;
        {
            HeldFile holder(HeldTarget(family), GENERIC_READ, FILE_SHARE_READ);
            if (!holder.Held())
                why = "the program file could not be held (error " + std::to_string(GetLastError()) + ")";
            else if (!RunStopped(family, stopAt, log))
                why = "the test build did not start, or did not stop";
        }
        if (!RunRestartSequence() && why.empty())
            why = "the restart did not end";
        return why;
    }

    // Every rename that gives a file its lasting name (a target's, a data
    // file's, WININIT.INI's) renames a file written in this run only once it
    // was flushed after it was last written.
    static std::vector<std::string> RenamesBeforeTheirFlush(const std::vector<std::string>& lines)
    {
        std::map<std::string, bool> flushed;
        std::vector<std::string> faults;
        for (const std::string& line : lines) {
            std::istringstream fields(line);
            std::string number, operation, paths;
            fields >> number >> operation;
            std::getline(fields >> std::ws, paths);
            std::string first = paths.substr(0, paths.find('|')), second = paths.substr(paths.find('|') + 1);
            if (operation == "copy-step" || operation == "copy")
                flushed[second] = false;
            else if (operation == "write")
                flushed[first] = false;
            else if (operation == "flush")
                flushed[first] = true;
            else if (operation == "rename" && flushed.count(first) && !flushed[first])
                faults.push_back(line);
        }
        return faults;
    }

    // The stop points to run out of 1..count: a spread, and every one from
    // `firstData` on (the data move).
    // TOLVANE_STOP_POINTS=all runs every one; a list of numbers ("199,200")
    // runs those, to look again at one that was not finished.
    static std::vector<unsigned int> Points(unsigned int count, unsigned int firstData)
    {
        std::vector<unsigned int> points;
        char chosen[256] = "";
        GetEnvironmentVariableA("TOLVANE_STOP_POINTS", chosen, sizeof chosen);
        std::istringstream list(chosen);
        for (unsigned int point; list >> point; list.ignore(1, ','))
            if (point >= 1 && point <= count)
                points.push_back(point);
        if (!points.empty())
            return points;
        unsigned int spread = std::string(chosen) == "all" ? count : std::min(24u, count);
        for (unsigned int i = 0; i < spread; ++i)
            points.push_back(spread == 1 ? 1 : 1 + i * (count - 1) / (spread - 1));
        for (unsigned int k = firstData; k >= 1 && k <= count; ++k)
            points.push_back(k);
        std::sort(points.begin(), points.end());
        points.erase(std::unique(points.begin(), points.end()), points.end());
        return points;
    }
};

TEST_P(StopPoints, EveryStopIsFinishedByTheNextRun)
{
    const Family& family = GetParam();
    Release();
    std::string log = root + "\\operations.log";

    // A complete run of the stop-point build counts the operations, and its
    // log shows the order of flushes and renames, and the replacement asked
    // of the restart.
    FreshMachine(family);
    ASSERT_EQ("", RunStoppedAndRestart(family, 0, log));
    ASSERT_TRUE(UpdateProblems(family).empty()) << "the stop-point build does not update";
    std::vector<std::string> lines = LogLines(log);
    ASSERT_GT(lines.size(), family.files * 3);
    EXPECT_EQ(std::vector<std::string>(), RenamesBeforeTheirFlush(lines));
    std::string restartOperation = family.platformId == 1 ? " write " : " restart-rename ";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(restartOperation) != std::string::npos;
    })) << "no replacement was asked of the restart";

    // The first operation that touches a target, now or at the restart: the
    // first set-aside rename, or the first replacement asked of the restart.
    unsigned int firstReplace = 0, firstData = 0;
    for (const std::string& line : lines) {
        size_t bar = line.find('|');
        if (firstData == 0 && line.find("Tolvane Data") != std::string::npos)
            firstData = static_cast<unsigned int>(std::stoul(line));
        bool setAside = line.find(" rename ") != std::string::npos && line.find(".old") == line.size() - 4 &&
                        line.find(".tmp|") != bar - 4 && line.find(".TMP|") != bar - 4;
        if (firstReplace == 0 && (setAside || line.find(restartOperation) != std::string::npos))
            firstReplace = static_cast<unsigned int>(std::stoul(line));
    }
    ASSERT_GT(firstReplace, family.files * 2) << "a target is touched before every copy is made";

    ASSERT_GT(firstData, firstReplace) << "no data move in the log";
    std::vector<unsigned int> points = Points(static_cast<unsigned int>(lines.size()), firstData);
    std::vector<std::string> unfinished;
    size_t firstPassStops = 0;
    for (unsigned int k : points) {
        FreshMachine(family);
        TakeSnapshot();
        DeleteFileA(log.c_str());
        std::string why = RunStoppedAndRestart(family, k, log);
        if (!why.empty()) {
            why = "the stopped run: " + why;
        } else if (k < firstReplace && !TargetsChangedSinceSnapshot().empty()) {
            why = "stopped while copying, yet " + TargetsChangedSinceSnapshot()[0];
        } else if (!DataFileNotWhole().empty()) {
            why = DataFileNotWhole() + " is not whole in the installation or data folder";
        } else {
            firstPassStops += k < firstReplace;
            std::vector<SeenBox> boxes = RunShipped();
            // On the 95 family a stop between the renames of WININIT.INI's
            // rewrite leaves no file under its name for the restart; the
            // next run puts it back, and it waits for the next restart.
            if (family.platformId == 1 && !boxes.empty() && boxes[0].text == DONE_AT_RESTART &&
                RunRestartSequence())
                boxes[0].text = DONE;
            std::vector<std::string> problems = UpdateProblems(family);
            if (boxes.size() != 2 || boxes[0].text != DONE || boxes[1].text != RESTART)
                why = boxes.empty() ? "no box" : std::to_string(boxes.size()) + " boxes, the first: " + boxes[0].text;
            else if (!problems.empty())
                why = problems[0];
        }
        if (!why.empty()) {
            std::vector<std::string> stoppedAt = LogLines(log);
            unfinished.push_back("stop point " + std::to_string(k) + " (" +
                                 (stoppedAt.empty() ? std::string("?") : stoppedAt.back()) + "): " + why);
        }
    }
    printf("stop points: %zu of %zu finished (%s, %zu operations in a complete run, the first %u of them "
           "copies, the data move from the %u-th on; %zu stops among them left every target as it was)\n",
           points.size() - unfinished.size(), points.size(), family.wineVersion, lines.size(), firstReplace - 1,
           firstData, firstPassStops);
    for (const std::string& line : unfinished)
        printf("  unfinished: %s\n", line.c_str());
    EXPECT_TRUE(unfinished.empty());
}

INSTANTIATE_TEST_SUITE_P(Plans, StopPoints, ::testing::Values(WINXP, WIN98),
                         [](const ::testing::TestParamInfo<Family>& info) {
                             return std::string(info.param.wineVersion);
                         });

}  // namespace
