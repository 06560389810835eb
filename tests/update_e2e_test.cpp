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
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "install/staged_files.h"
#include "res/resource.h"
#include "support/box_watcher.h"
#include "support/registry_fixture.h"
#include "support/scratch_files.h"
#include "support/sjis.h"
#include "support/staged_release.h"
#include "support/updater_process.h"
#include "support/version_fixture.h"

namespace {

const char RUN_ONCE_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char VERSION_KEY[] = "Software\\Wine\\AppDefaults\\TLUPDATE.exe";

const std::string CAPTION = Sjis(u8"Tolvane アップデーター");
const std::string DONE = Sjis(u8"アップデートは正常に終了しました。");
const std::string NOT_INSTALLED = Sjis(
    u8"アップデート可能なバージョンがインストールされていません。\n対象バージョンがインストールされていることをご確認下さい。\n\nまた、Tolvaneがパソコンにプリインストールされて\nいた場合、最低一度は、Tolvaneを起動してから\nアップデートをして下さい。");
const std::string IO_ERROR = Sjis(
    u8"予期せぬI/Oエラーが発生しました。\nハードディスク容量や起動しているソフトがないことをご確認下さい。");
const std::string RESTART = Sjis(
    u8"ソフトを使用するためには、システムを再起動する必要があります。\n今すぐ再起動しても宜しいですか？");

struct Family {
    const char* wineVersion;
    DWORD platformId;
    DWORD major;
    size_t files;
    const char* driverFolder;
};

const Family WIN95 = { "win95", 1, 4, 38, "IOSUBSYS" };
const Family WIN98 = { "win98", 1, 4, 38, "IOSUBSYS" };
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
        for (const char* target : { "IOSUBSYS\\TVCDIO.VXD", "Drivers\\TVCDFLT.SYS", "Drivers\\TVPKT.SYS" })
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
        ASSERT_TRUE(WriteMainExecutable(install + "\\TOLVANE.EXE", "041104b0", version, size));
        for (const char* name : { "TLCDDB.DB", "CHG.LOG", "DISC.LST", "music.lst" })
            WriteFileBytes(install + "\\" + name, std::string("user data ") + name);
        if (registered)
            RegisterInstallFolder(install);
        oldMain = ReadFileBytes(install + "\\TOLVANE.EXE");
    }

    // The updater's folder, staged by the release tool from a 3.13 product
    // tree whose main executable is a real 3.13 build.
    void Release(const std::string& missing = "")
    {
        std::map<std::string, std::string> sources;
        std::string said;
        ASSERT_TRUE(WriteProductTree(root + "\\product", "3, 1, 3, 0", &sources));
        ASSERT_TRUE(StageRelease(root + "\\product", release, &said)) << said;
        ASSERT_TRUE(ReadFileBytes(release + "\\TLUPDATE.exe") == ReadFileBytes(BuiltUpdaterPath()));
        if (!missing.empty())
            DeleteFileA((release + "\\" + missing).c_str());
    }

    void Launch(const std::string& currentFolder = "")
    {
        ASSERT_TRUE(updater.Start(release + "\\TLUPDATE.exe", currentFolder));
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
        EXPECT_TRUE(watcher.WaitForBoxes(1, 60000));
        EXPECT_TRUE(WaitFor([this] { return ButtonsEnabled(); }, 10000));
        Sleep(300);  // a second box would show up by now
        return watcher.Boxes();
    }

    void Observe()
    {
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

    // Presses Exit (or Esc) and answers a restart question with `answer`.
    std::vector<SeenBox> Exit(int answer, bool useEsc = false)
    {
        if (answer == IDYES) {
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

    void ExpectUpdated(const Family& family)
    {
        InstallPlan plan = GroupsForPlatform(
            OSVERSIONINFOA{ sizeof(OSVERSIONINFOA), family.major, 0, 0, family.platformId, {} });
        std::vector<PlannedRow> rows = RowsOf(plan);
        EXPECT_EQ(family.files, rows.size());
        for (const PlannedRow& planned : rows) {
            std::string root = planned.group->root == InstallFolder ? install : system;
            std::string target = root + "\\" + planned.row->targetName;
            std::string expected = ReadFileBytes(release + "\\" + planned.row->stagedName);
            EXPECT_TRUE(ReadFileBytes(target) == expected) << target;
            EXPECT_FALSE(FileExists(root + "\\" + planned.row->stagedName)) << planned.row->stagedName;
        }
        std::string driverFolder = system + "\\" + family.driverFolder;
        EXPECT_TRUE(FileExists(driverFolder + (family.platformId == 1 ? "\\TVCDIO.VXD" : "\\TVPKT.SYS")));
        EXPECT_EQ(family.platformId == 1, FileExists(install + "\\TVCDR9X.DLL"));
        EXPECT_EQ(family.major < 5 && family.platformId != 1, FileExists(system + "\\Drivers\\TVCDFLT.SYS"));
    }

    void ExpectNothingWritten()
    {
        EXPECT_EQ(oldMain, ReadFileBytes(install + "\\TOLVANE.EXE"));
        EXPECT_EQ("3.12 TLCORE.DLL", ReadFileBytes(install + "\\TLCORE.DLL"));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Morvex"));
        EXPECT_FALSE(FolderExists(data));
        EXPECT_TRUE(FileExists(install + "\\TLCDDB.DB"));
    }

    static void ExpectBox(const SeenBox& box, const std::string& text, BoxIcon icon)
    {
        EXPECT_EQ(CAPTION, box.caption);
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(icon, box.icon) << BoxIconName(box.icon);
    }

    std::string root, install, release, marker, system, data, oldMain;
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
    std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], DONE, BoxIcon::Information);
    EXPECT_TRUE(boxes[0].hasOk);
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
    std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], NOT_INSTALLED, BoxIcon::Information);
    ExpectNothingWritten();
    EXPECT_EQ(0, Bar());
    EXPECT_TRUE(Exit(IDNO).empty());
}

TEST_F(Update, VersionNotInTheTableShowsNotInstalled)
{
    Machine(WIN98, "1, 8, 1, 0", 0);
    Release();
    Launch();
    std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], NOT_INSTALLED, BoxIcon::Information);
    ExpectNothingWritten();
    EXPECT_TRUE(Exit(IDNO).empty());
}

TEST_F(Update, FifthStagedFileMissingStopsWithOneIoError)
{
    Machine(WINXP);
    Release("tl005.tmp");
    Launch();
    std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], IO_ERROR, BoxIcon::Error);
    EXPECT_EQ(11, Bar());
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_EQ(std::string("3.12 TVAUDIO.DLL"), ReadFileBytes(install + "\\TVAUDIO.DLL"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Morvex"));
    EXPECT_FALSE(FolderExists(data));
    EXPECT_TRUE(Exit(IDNO).empty());
}

// A run that stops after the main executable was replaced (here a program
// file held open by another program) is finished by the next run in the
// same window once the file is free: the lookup accepts the 3.13 main
// executable, and everything is installed again from the first row.
TEST_F(Update, StoppedUpdateIsFinishedByTheNextRun)
{
    Machine(NT40);
    Release();
    Launch();
    std::string held = install + "\\TOLVANE.INI";  // row 3, after TOLVANE.EXE
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    std::vector<SeenBox> first = Start();
    CloseHandle(handle);
    ASSERT_EQ(1u, first.size());
    ExpectBox(first[0], IO_ERROR, BoxIcon::Error);
    EXPECT_EQ(5, Bar());
    EXPECT_TRUE(ReadFileBytes(install + "\\TOLVANE.EXE") == ReadFileBytes(release + "\\tl002.tmp"));
    EXPECT_EQ("3.12 TOLVANE.INI", ReadFileBytes(held));
    EXPECT_FALSE(FileExists(install + "\\tl003.tmp"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Morvex"));
    EXPECT_FALSE(FolderExists(data));

    std::vector<SeenBox> second = Start();
    ASSERT_EQ(1u, second.size());
    ExpectBox(second[0], DONE, BoxIcon::Information);
    EXPECT_TRUE(moment.settingsWritten);
    EXPECT_TRUE(moment.dataMoved);
    EXPECT_EQ(100, Bar());
    ExpectUpdated(NT40);
    std::vector<SeenBox> question = Exit(IDNO);
    ASSERT_EQ(1u, question.size());
    EXPECT_EQ(RESTART, question[0].text);
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
    std::vector<SeenBox> second = Start();
    ASSERT_EQ(1u, second.size());
    ExpectBox(second[0], DONE, BoxIcon::Information);
    ExpectUpdated(WIN2K);
    EXPECT_EQ(DwordBytes(8080), ReadValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Port").data);
    EXPECT_EQ(DwordBytes(0), ReadValue(HKEY_CURRENT_USER, SETTINGS_KEY, "EnableEncode").data);
    std::vector<SeenBox> question = Exit(IDNO);
    ASSERT_EQ(1u, question.size());
    EXPECT_EQ(RESTART, question[0].text);
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
        std::vector<SeenBox> boxes = Start();
        ASSERT_EQ(1u, boxes.size());
        ExpectBox(boxes[0], NOT_INSTALLED, BoxIcon::Information);
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

}  // namespace
