// Installing the staged files: the table and its plans, and real copies from
// beside this test program into a scratch installation folder and the
// prefix's system folder, with a real dialog whose progress bar is read from
// here. The installation shows no box: it tells the run which message a
// failure needs.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include "common/app_state.h"
#include "common/module_holder.h"
#include "common/percent.h"
#include "common/restart_list.h"
#include "common/wininit_file.h"
#include "install/installer.h"
#include "install/staged_files.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "install/plan_checks.h"
#include "install/run_folders.h"
#include "install/staged_check.h"
#include "install/staged_list.h"
#include "support/file_holders.h"
#include "support/registry_fixture.h"
#include "support/scratch_files.h"
#include "support/sjis.h"
#include "support/staged_release.h"

namespace {

OSVERSIONINFOA Platform(DWORD id, DWORD major)
{
    OSVERSIONINFOA version = {};
    version.dwPlatformId = id;
    version.dwMajorVersion = major;
    return version;
}

size_t FileCount(const InstallPlan& plan)
{
    return RowsOf(plan).size();
}

TEST(InstallPlan, WindowsNinetyFiveFamilyWhateverTheMajorVersion)
{
    for (DWORD major : { 3u, 4u, 5u, 6u }) {
        InstallPlan plan = GroupsForPlatform(Platform(1, major));
        ASSERT_EQ(3u, plan.groupCount);
        EXPECT_EQ(&AppGroup, plan.groups[0]);
        EXPECT_EQ(&Win9xHelperGroup, plan.groups[1]);
        EXPECT_EQ(&Win9xIoDriverGroup, plan.groups[2]);
        EXPECT_EQ(38u, FileCount(plan));
    }
}

TEST(InstallPlan, NtFamilySplitByMajorVersionAlone)
{
    for (DWORD id : { 0u, 2u, 3u }) {
        InstallPlan nt4 = GroupsForPlatform(Platform(id, 4));
        ASSERT_EQ(2u, nt4.groupCount);
        EXPECT_EQ(&AppGroup, nt4.groups[0]);
        EXPECT_EQ(&Nt4DriverGroup, nt4.groups[1]);
        EXPECT_EQ(36u, FileCount(nt4));
        for (DWORD major : { 5u, 6u, 10u }) {
            InstallPlan nt5 = GroupsForPlatform(Platform(id, major));
            ASSERT_EQ(2u, nt5.groupCount);
            EXPECT_EQ(&Nt5DriverGroup, nt5.groups[1]);
            EXPECT_EQ(35u, FileCount(nt5));
        }
    }
}

TEST(StagedFileTable, StagedNamesAreDistinctAndNumberedOnce)
{
    std::set<std::string> folded;
    std::set<int> numbers;
    int capitals = 0;
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i) {
            std::string name = group->rows[i].stagedName;
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            EXPECT_TRUE(folded.insert(lower).second) << name;
            ASSERT_EQ(9u, lower.size()) << name;
            EXPECT_EQ("tl", lower.substr(0, 2));
            EXPECT_EQ(".tmp", lower.substr(5));
            numbers.insert(std::stoi(lower.substr(2, 3)));
            if (name != lower) {
                ++capitals;
                EXPECT_EQ("TL032.TMP", name);
            }
            EXPECT_EQ(std::string::npos, name.find('\\'));
            std::string target = group->rows[i].targetName;
            EXPECT_LE(std::count(target.begin(), target.end(), '\\'), 1) << target;
        }
    EXPECT_EQ(41u, folded.size());
    EXPECT_EQ(41u, numbers.size());
    EXPECT_EQ(1, *numbers.begin());
    EXPECT_EQ(41, *numbers.rbegin());
    EXPECT_EQ(1, capitals);
    EXPECT_EQ(34u, AppGroup.rowCount);
    EXPECT_STREQ("TOLVANE.EXE", AppGroup.rows[1].targetName);
    EXPECT_STREQ("TVCDDB.DLL", AppGroup.rows[8].targetName);
    EXPECT_TRUE(AppGroup.advancesProgress);
    EXPECT_STREQ(Nt4DriverGroup.rows[1].targetName, Nt5DriverGroup.rows[0].targetName);
}

// Positions the real progress bar was given, recorded by subclassing it.
std::vector<int> Positions;
WNDPROC BarProcedure;

LRESULT CALLBACK RecordingBar(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS)
        Positions.push_back(static_cast<int>(wParam));
    return CallWindowProcA(BarProcedure, bar, message, wParam, lParam);
}

const char* const DRIVER_TARGETS[] = { "IOSUBSYS\\TVCDIO.VXD", "Drivers\\TVCDFLT.SYS",
                                       "Drivers\\TVPKT.SYS" };

class Installation : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedVersion = OsVersion;
        own = TestProgramFolder();
        ASSERT_TRUE(WriteStagedFiles(own.substr(0, own.size() - 1)));
        installFolder = MakeScratchFolder("install");
        system = SystemFolderPath();
        MakeFolder(system + "\\IOSUBSYS");
        CleanSystemFolder();
        ForgetRestartLists();
        for (unsigned int i = 0; i < AppGroup.rowCount; ++i)
            WriteFileBytes(installFolder + "\\" + AppGroup.rows[i].targetName,
                           std::string("old ") + AppGroup.rows[i].targetName);
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UPDATER),
                                    nullptr, UpdaterDialogProc, 0);
        ASSERT_NE(nullptr, dialog);
        bar = GetDlgItem(dialog, IDC_PROGRESS);
        BarProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingBar)));
        Positions.clear();
        SetPlatform(2, 5);
    }

    void TearDown() override
    {
        DestroyWindow(dialog);
        RemoveStagedFiles(own.substr(0, own.size() - 1));
        CleanSystemFolder();
        ForgetRestartLists();
        RemoveTree(installFolder);
        OsVersion = savedVersion;
    }

    void CleanSystemFolder()
    {
        for (const char* target : DRIVER_TARGETS) {
            SetFileAttributesA((system + "\\" + target).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((system + "\\" + target).c_str());
        }
        RemoveTree(system + "\\TLSTAGE");
    }

    void SetPlatform(DWORD id, DWORD major)
    {
        OsVersion.dwPlatformId = id;
        OsVersion.dwMajorVersion = major;
    }

    // Runs the installation; `failure` receives the message it asks for.
    // Then the bar's positions, which it posts, reach the bar.
    bool Install(const std::string& folder, bool* waitsForRestart = nullptr)
    {
        failure = InstallFailure();
        bool installed = InstallStagedFiles(dialog, folder.c_str(), &failure, waitsForRestart);
        Deliver();
        return installed;
    }

    static void Deliver()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }

    // `folder` is given without a trailing separator.
    std::string TargetPath(const PlannedRow& planned, const std::string& folder)
    {
        std::string root = planned.group->root == InstallFolder ? folder : system;
        return root + "\\" + planned.row->targetName;
    }

    void ExpectInstalled(const std::vector<PlannedRow>& rows, const std::string& folder)
    {
        for (const PlannedRow& planned : rows) {
            std::string installed = ReadFileBytes(TargetPath(planned, folder));
            EXPECT_TRUE(StagedContent(planned.row->stagedName) == installed)
                << planned.row->targetName << " holds " << installed.size() << " bytes: "
                << installed.substr(0, 40);
        }
    }

    // No staged copy, no old target set aside, and no work folder remain.
    void ExpectNoStagedCopyLeft(const std::string& folder)
    {
        for (const std::string& where : { folder, system, system + "\\IOSUBSYS", system + "\\Drivers" }) {
            std::string names = " " + ListFolder(where) + " ";
            EXPECT_EQ(std::string::npos, names.find(".old ")) << where << ":" << names;
            EXPECT_EQ(std::string::npos, names.find(".ol1 ")) << where << ":" << names;
            for (const StagedGroup* group : AllStagedGroups)
                for (unsigned int i = 0; i < group->rowCount; ++i)
                    EXPECT_FALSE(FileExists(where + "\\" + group->rows[i].stagedName)) << where;
        }
        EXPECT_FALSE(FolderExists(system + "\\TLSTAGE"));
    }

    int BarPosition() { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); }

    // The message, and for one that names something, what it names.
    void ExpectFailure(unsigned int message, const std::string& subject = std::string())
    {
        EXPECT_EQ(message, failure.message);
        if (!subject.empty()) {
            EXPECT_EQ(subject, failure.subject);
        }
    }

    // Every target holds what it held before the run, and the bar stands
    // where it was left.
    void ExpectNothingReplaced(const std::string& folder)
    {
        for (unsigned int i = 0; i < AppGroup.rowCount; ++i)
            EXPECT_EQ(std::string("old ") + AppGroup.rows[i].targetName,
                      ReadFileBytes(folder + "\\" + AppGroup.rows[i].targetName));
        for (const char* target : DRIVER_TARGETS)
            EXPECT_FALSE(FileExists(system + "\\" + target)) << target;
        ExpectNoStagedCopyLeft(folder);
    }

    OSVERSIONINFOA savedVersion;
    std::string own, installFolder, system;
    HWND dialog = nullptr, bar = nullptr;
    InstallFailure failure = {};
};

TEST_F(Installation, EveryFamilyGetsItsFilesAndTheBarFollowsAppGroup)
{
    struct Family {
        DWORD id, major;
        size_t files;
    };
    for (const Family& family : { Family{ 1, 4, 38 }, Family{ 2, 4, 36 }, Family{ 2, 5, 35 } }) {
        SCOPED_TRACE(family.files);
        SetPlatform(family.id, family.major);
        CleanSystemFolder();
        Positions.clear();
        ASSERT_TRUE(Install(installFolder));
        EXPECT_EQ(0u, failure.message);
        std::vector<PlannedRow> rows = RowsOf(GroupsForPlatform(OsVersion));
        ASSERT_EQ(family.files, rows.size());
        ExpectInstalled(rows, installFolder);
        ExpectNoStagedCopyLeft(installFolder);
        std::vector<int> expected;
        for (unsigned int i = 1; i <= AppGroup.rowCount; ++i)
            expected.push_back(static_cast<int>(PercentOf(AppGroup.rowCount, i)));
        EXPECT_EQ(expected, Positions);
        EXPECT_EQ(100, BarPosition());
    }
    // Each family placed only its own drivers.
    SetPlatform(1, 4);
    CleanSystemFolder();
    ASSERT_TRUE(Install(installFolder));
    EXPECT_TRUE(FileExists(system + "\\IOSUBSYS\\TVCDIO.VXD"));
    EXPECT_FALSE(FileExists(system + "\\Drivers\\TVPKT.SYS"));
    EXPECT_EQ(StagedContent("tl035.tmp"), ReadFileBytes(installFolder + "\\TVCDVSD.VXD"));
    SetPlatform(2, 4);
    CleanSystemFolder();
    ASSERT_TRUE(Install(installFolder));
    EXPECT_EQ(StagedContent("tl037.tmp"), ReadFileBytes(system + "\\Drivers\\TVPKT.SYS"));
    EXPECT_FALSE(FileExists(system + "\\IOSUBSYS\\TVCDIO.VXD"));
}

// A release without one of its staged files, or without the folder that a
// driver goes into, is refused before anything is written.
TEST_F(Installation, MissingStagedFileOrDriverFolderIsFoundBeforeAnythingIsWritten)
{
    DeleteFileA((own + "tl010.tmp").c_str());
    EXPECT_FALSE(Install(installFolder));
    ExpectFailure(IDS_DAMAGED);
    ExpectNothingReplaced(installFolder);
    EXPECT_EQ(0, BarPosition());

    ASSERT_TRUE(WriteStagedFiles(own.substr(0, own.size() - 1)));
    SetPlatform(1, 4);
    RemoveTree(system + "\\IOSUBSYS");
    EXPECT_FALSE(Install(installFolder));
    ExpectFailure(IDS_IO_ERROR);
    ExpectNothingReplaced(installFolder);
    EXPECT_EQ(0, BarPosition());
    MakeFolder(system + "\\IOSUBSYS");
}

// A copy that fails in the platform's group, after AppGroup's have moved the
// bar to its end, changes no target: every copy made so far goes again, also
// that of a file new in this update, which has no target yet.
TEST_F(Installation, PlatformGroupFailureLeavesTheBarFullAndChangesNothing)
{
    std::string driver = StagedContent("tl038.tmp");
    ASSERT_TRUE(WriteFileBytes(own + "tl038.tmp", driver.substr(0, driver.size() - 1)));
    std::string added = installFolder + "\\TVHELP.DLL";
    ASSERT_TRUE(DeleteFileA(added.c_str()));
    EXPECT_FALSE(Install(installFolder));
    ExpectFailure(IDS_DAMAGED);
    EXPECT_EQ(100, BarPosition());
    EXPECT_FALSE(FileExists(added));
    ExpectNoStagedCopyLeft(installFolder);
    ASSERT_TRUE(WriteFileBytes(added, "old TVHELP.DLL"));
    ExpectNothingReplaced(installFolder);
}

// A program that holds a target for good (an editor with TVAUDIO.DLL open
// without delete sharing) does not stop the update: on either family every
// other target is replaced and that one is replaced at the restart, from its
// checked copy, which a second run before the restart keeps and asks for
// only once. Tolvane itself is refused; a holder that lets go within 5 s is
// waited out.
TEST_F(Installation, HeldTargetWaitsForTheRestart)
{
    std::string inUse = installFolder + "\\TVAUDIO.DLL";
    std::string copy = installFolder + "\\tl005.tmp";
    for (DWORD id : { 2u, 1u }) {
        SetPlatform(id, 4);
        {
            HeldFile editor(inUse, GENERIC_READ, FILE_SHARE_READ);
            ASSERT_TRUE(editor.Held());
            for (int run = 0; run < 2; ++run) {
                bool waits = false;
                EXPECT_TRUE(Install(installFolder, &waits)) << failure.message;
                EXPECT_TRUE(waits);
                EXPECT_EQ("old TVAUDIO.DLL", ReadFileBytes(inUse));
                EXPECT_EQ(StagedContent("tl005.tmp"), ReadFileBytes(copy));
                EXPECT_EQ(StagedContent("tl001.tmp"), ReadFileBytes(installFolder + "\\TLCORE.DLL"));
                EXPECT_EQ(1, RestartRenamesOf(copy, id == 1)) << "run " << run;
            }
        }
        ForgetRestartLists();
        DeleteFileA(copy.c_str());
        WriteFileBytes(inUse, "old TVAUDIO.DLL");
    }
    {
        // NT 4.0 cannot tell which program has a file loaded: a held main
        // executable is Tolvane running there.
        SetPlatform(2, 4);
        HeldFile tolvane(installFolder + "\\TOLVANE.EXE", GENERIC_READ, FILE_SHARE_READ);
        EXPECT_FALSE(Install(installFolder));
        ExpectFailure(IDS_TOLVANE_RUNNING, installFolder + "\\TOLVANE.EXE");
    }
    {
        HeldFile scanner(inUse, GENERIC_READ, FILE_SHARE_READ, 1500);
        ASSERT_TRUE(Install(installFolder));
    }
    ExpectInstalled(RowsOf(GroupsForPlatform(OsVersion)), installFolder);
    ExpectNoStagedCopyLeft(installFolder);
}

// Files copied off a CD keep the read-only attribute; such a target is
// replaced like any other, in the installation folder and in the system
// folder, and set-aside copies left by earlier runs go too, under either
// of their names.
TEST_F(Installation, ReadOnlyTargetsAreReplacedOnEachRoot)
{
    for (DWORD id : { 1u, 2u }) {
        SetPlatform(id, 4);
        CleanSystemFolder();
        std::string driver = system + (id == 1 ? "\\IOSUBSYS\\TVCDIO.VXD" : "\\Drivers\\TVPKT.SYS");
        for (const std::string& target : { installFolder + "\\TVSKIN.DLL", installFolder + "\\TOLVANE.EXE", driver }) {
            ASSERT_TRUE(WriteFileBytes(target, "old, read-only"));
            ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        WriteFileBytes(installFolder + "\\tl028.old", "set aside by a run that was stopped");
        // Set aside under a later name while ".old" was held, and left there.
        WriteFileBytes(installFolder + "\\tl029.ol1", "set aside while tl029.old was held");
        ASSERT_TRUE(Install(installFolder));
        EXPECT_EQ(0u, failure.message);
        ExpectInstalled(RowsOf(GroupsForPlatform(OsVersion)), installFolder);
        ExpectNoStagedCopyLeft(installFolder);
    }
}

// A staged copy that differs from the release's list (a compressed file
// damaged in the middle, a plain file cut short) fails its row with its own
// message before the target is touched; so does a release whose list is
// missing or damaged, before anything at all is written.
TEST_F(Installation, DamagedStagedFilesAndListsAreRefusedBeforeTheTarget)
{
    bool read = false;
    std::string compressed = ReadFileBytes(own + "lz_sample.bin_", &read);
    ASSERT_TRUE(read);
    std::string original = ReadFileBytes(own + "lz_sample.bin");
    compressed[compressed.size() / 2] ^= 0x55;
    ASSERT_TRUE(WriteFileBytes(own + "tl003.tmp", compressed));
    ASSERT_TRUE(WriteStagedList(own, { { "tl003.tmp", original } }));
    EXPECT_FALSE(Install(installFolder));
    ExpectFailure(IDS_DAMAGED);
    EXPECT_EQ(5, BarPosition());
    ExpectNothingReplaced(installFolder);

    ASSERT_TRUE(WriteStagedFiles(own.substr(0, own.size() - 1)));
    std::string cut = StagedContent("tl005.tmp");
    ASSERT_TRUE(WriteFileBytes(own + "tl005.tmp", cut.substr(0, cut.size() - 1)));
    EXPECT_FALSE(Install(installFolder));
    ExpectFailure(IDS_DAMAGED);
    ExpectNothingReplaced(installFolder);

    // The list's own CRC is what tells a damaged record of a file that this
    // platform does not install (TL032.TMP, the 38th) from a good one.
    ASSERT_TRUE(WriteStagedFiles(own.substr(0, own.size() - 1)));
    std::string list = ReadFileBytes(own + STAGED_LIST_FILE);
    list[STAGED_LIST_HEADER_SIZE + 37 * STAGED_LIST_RECORD_SIZE + STAGED_LIST_NAME_SIZE] ^= 1;
    for (const std::string& damaged : { std::string(), list }) {
        RemoveTree(installFolder);
        installFolder = MakeScratchFolder("install");
        WriteFileBytes(installFolder + "\\TLCORE.DLL", "old TLCORE.DLL");
        if (damaged.empty())
            DeleteFileA((own + STAGED_LIST_FILE).c_str());
        else
            WriteFileBytes(own + STAGED_LIST_FILE, damaged);
        SendMessageA(bar, PBM_SETPOS, 0, 0);
        EXPECT_FALSE(Install(installFolder));
        ExpectFailure(IDS_DAMAGED);
        EXPECT_EQ("TLCORE.DLL", ListFolder(installFolder));
        EXPECT_EQ("old TLCORE.DLL", ReadFileBytes(installFolder + "\\TLCORE.DLL"));
        EXPECT_EQ(0, BarPosition());
    }
}

// Copies left by an earlier run are overwritten, and so are the temporary
// files that the platform's file installer leaves when it is stopped; files
// that only look like those (another name, read-only, hidden) stay.
TEST_F(Installation, NewTargetsAreCreatedAndLeftoverCopiesOverwritten)
{
    DeleteFileA((installFolder + "\\TVHELP.DLL").c_str());
    WriteFileBytes(installFolder + "\\tl002.tmp", "left by an earlier run");
    for (const char* name : { "VER1.TMP", "verabcd.tmp", "VER12345.TMP", "VERSION.TMP", "VER.TMP",
                              "VER2.TMP", "VER3.TMP", "VER4.TMPX" })
        WriteFileBytes(installFolder + "\\" + name, "?");
    SetFileAttributesA((installFolder + "\\VER2.TMP").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((installFolder + "\\VER3.TMP").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(Install(installFolder));
    EXPECT_EQ(StagedContent("tl039.tmp"), ReadFileBytes(installFolder + "\\TVHELP.DLL"));
    EXPECT_EQ(StagedContent("tl002.tmp"), ReadFileBytes(installFolder + "\\TOLVANE.EXE"));
    EXPECT_FALSE(FileExists(installFolder + "\\tl002.tmp"));
    std::string names = " " + ListFolder(installFolder) + " ";
    for (const char* gone : { " VER1.TMP ", " verabcd.tmp " })
        EXPECT_EQ(std::string::npos, names.find(gone)) << gone;
    for (const char* kept : { " VER12345.TMP ", " VERSION.TMP ", " VER.TMP ", " VER2.TMP ", " VER3.TMP ", " VER4.TMPX " })
        EXPECT_NE(std::string::npos, names.find(kept)) << kept;
    SetFileAttributesA((installFolder + "\\VER2.TMP").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Installation, FolderSpellingsGiveTheSameResult)
{
    std::vector<PlannedRow> rows = RowsOf(GroupsForPlatform(OsVersion));
    ASSERT_TRUE(Install(installFolder + "\\"));
    ExpectInstalled(rows, installFolder);
    ExpectNoStagedCopyLeft(installFolder);

    std::string hyo = installFolder + "\\" + Sjis(u8"表");
    ASSERT_EQ('\x5C', hyo.back());
    ASSERT_TRUE(MakeFolder(hyo));
    ASSERT_TRUE(Install(hyo));
    ExpectInstalled(rows, hyo);
    ExpectNoStagedCopyLeft(hyo);
}

TEST_F(Installation, LzCompressedStagedFileIsInstalledExpanded)
{
    bool read = false;
    std::string original = ReadFileBytes(own + "lz_sample.bin", &read);
    ASSERT_TRUE(read);
    std::string compressed = ReadFileBytes(own + "lz_sample.bin_", &read);
    ASSERT_TRUE(read);
    ASSERT_EQ("SZDD", compressed.substr(0, 4));
    ASSERT_LT(compressed.size(), original.size());
    ASSERT_TRUE(WriteFileBytes(own + "tl003.tmp", compressed));
    ASSERT_TRUE(WriteStagedList(own, { { "tl003.tmp", original } }));
    ASSERT_TRUE(Install(installFolder));
    EXPECT_EQ(original, ReadFileBytes(installFolder + "\\TOLVANE.INI"));
}

// A row whose paths do not fit the file calls is found before anything is
// written, whatever row it is. (Every name of the table fits beside a folder
// that the file installer takes, so a plan of the test's own holds a long
// enough target name.)
TEST_F(Installation, PathsThatDoNotFitTheFileCallsAreFoundBeforeAnythingIsWritten)
{
    std::string folder = MakeDeepFolder(installFolder, 100);
    ASSERT_TRUE(FolderExists(folder)) << folder;
    std::string longName = std::string(155, 'L') + ".DLL";  // 100 + 1 + 159 = 260 bytes
    StagedFile rows[3] = {};
    lstrcpyA(rows[0].targetName, "TLCORE.DLL");
    lstrcpyA(rows[0].stagedName, "tl001.tmp");
    lstrcpyA(rows[1].targetName, "TVBURN.DLL");
    lstrcpyA(rows[1].stagedName, "tl007.tmp");
    lstrcpyA(rows[2].targetName, longName.c_str());
    lstrcpyA(rows[2].stagedName, "tl002.tmp");
    const StagedGroup group = { rows, 3, InstallFolder, true };
    InstallPlan plan = GroupsForPlatform(OsVersion);
    plan.groups[0] = &group;

    RunFolders run;
    bool held[MAX_PLAN_ROWS];
    ASSERT_TRUE(FindRunFolders(folder.c_str(), &run, &failure));
    ASSERT_EQ(0u, LoadStagedList(run.own, GroupsForPlatform(OsVersion)));
    EXPECT_FALSE(PlanCanRun(plan, run, held, &failure));
    ExpectFailure(IDS_FOLDER_TOO_LONG, folder);
    EXPECT_EQ("", ListFolder(folder)) << "written by the checks";
    // One byte less fits: 259 bytes and the terminating zero.
    lstrcpyA(rows[2].targetName, longName.substr(1).c_str());
    EXPECT_TRUE(PlanCanRun(plan, run, held, &failure)) << failure.message;
}

// WININIT.INI as other programs leave it: lines with or without a carriage
// return, a last line without its end, the section in capitals after
// another section, or no section at all. Our line ends the first [rename]
// section and every other byte stays; the copy is then known to wait for
// the restart. A rewrite stopped between its renames is finished, one
// stopped while writing is dropped, and a file too large to read back is
// left as it is, its copies kept.
TEST(RestartList, WininitLineEndsTheRenameSectionAndKeepsEveryOtherLine)
{
    const std::string line = "C:\\T.DLL=C:\\TL001.TMP\r\n";
    const std::pair<std::string, std::string> cases[] = {
        { "", "[rename]\r\n" + line },
        { "[rename]\r\nNUL=C:\\A.TMP\r\n", "[rename]\r\nNUL=C:\\A.TMP\r\n" + line },
        { "[rename]\nNUL=C:\\A.TMP", "[rename]\nNUL=C:\\A.TMP\r\n" + line },
        { "[Other]\r\nx=1\r\n[RENAME]\r\nNUL=C:\\A.TMP\r\n[Last]\r\ny=2\r\n",
          "[Other]\r\nx=1\r\n[RENAME]\r\nNUL=C:\\A.TMP\r\n" + line + "[Last]\r\ny=2\r\n" },
        { "[Other]\r\nx=1", "[Other]\r\nx=1\r\n[rename]\r\n" + line },
    };
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string wininit = std::string(windows) + "\\WININIT.INI";
    const std::string written = std::string(windows) + "\\WININIT.TLN", old = std::string(windows) + "\\WININIT.TLO";
    for (const auto& c : cases) {
        ForgetRestartLists();
        if (!c.first.empty()) {
            ASSERT_TRUE(WriteFileBytes(wininit, c.first));
        }
        EXPECT_FALSE(WininitRenames("C:\\TL001.TMP")) << c.first;
        ClearWininitQueue();
        ASSERT_TRUE(QueueWininitLine("C:\\T.DLL", "C:\\TL001.TMP"));
        ASSERT_TRUE(WriteWininitLines()) << c.first;
        EXPECT_EQ(c.second, ReadFileBytes(wininit));
        EXPECT_TRUE(WininitRenames("c:\\tl001.tmp")) << c.first;
        EXPECT_FALSE(FileExists(written) || FileExists(old)) << c.first;
    }
    ASSERT_TRUE(WriteFileBytes(old, "[rename]\r\n") && WriteFileBytes(written, "[rename]\r\nnew\r\n"));
    DeleteFileA(wininit.c_str());
    FinishWininitRewrite();
    EXPECT_EQ("[rename]\r\nnew\r\n", ReadFileBytes(wininit));
    ASSERT_TRUE(WriteFileBytes(written, "[ren"));
    FinishWininitRewrite();
    EXPECT_EQ("[rename]\r\nnew\r\n", ReadFileBytes(wininit));
    EXPECT_FALSE(FileExists(written) || FileExists(old));
    const std::string large = "[rename]\r\n" + std::string(32760, ';');
    ASSERT_TRUE(WriteFileBytes(wininit, large));
    ASSERT_TRUE(QueueWininitLine("C:\\T.DLL", "C:\\TL001.TMP"));
    EXPECT_FALSE(WriteWininitLines());
    EXPECT_EQ(large, ReadFileBytes(wininit));
    EXPECT_TRUE(WininitRenames("C:\\TL002.TMP")) << "an unreadable list counts as naming every copy";
    EXPECT_FALSE(WininitReadable()) << "an unreadable list was taken for one that can be read";
    ClearWininitQueue();
    ForgetRestartLists();
}

// The NT family's pending renames as other programs leave them: pairs of a
// source ("\??\" and its path, or the path alone) and a target ("!" before
// it to replace, nothing to delete). Only a rename of the copy itself keeps
// it for the restart; a delete of it, or a list cut short, does not.
TEST_F(Installation, PendingRenamesNameOnlyTheCopiesTheyRename)
{
    const std::string copy = MakeScratchFolder("pending") + "\\tl005.tmp";
    ASSERT_TRUE(WriteFileBytes(copy, "copy"));
    const std::string other = "\\??\\C:\\other.tmp";
    std::string upper = copy;
    CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    const std::pair<std::string, bool> cases[] = {
        { other + '\0' + '\0' + "\\??\\" + copy + '\0' + "!C:\\T.DLL" + '\0', true },
        { copy + '\0' + "C:\\T.DLL" + '\0', true },
        { "\\??\\" + upper + '\0' + "!C:\\T.DLL" + '\0', true },
        { "\\??\\" + copy + '\0' + '\0' + other + '\0' + "!" + copy + '\0', false },
        { other + '\0' + "!C:\\T.DLL" + '\0' + "\\??\\" + copy + '\0', false },
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WritePendingRenames(c.first + '\0'));
        EXPECT_EQ(c.second, IsReplacedAtRestart(copy.c_str())) << c.first;
        EXPECT_TRUE(RestartListReadable());
    }
    // More than a run reads: it may name the copy, and the restart comes
    // first.
    std::string many;
    while (many.size() < 70000)
        many += other + '\0' + '\0';
    many += '\0';
    ASSERT_TRUE(WritePendingRenames(many));
    EXPECT_TRUE(IsReplacedAtRestart(copy.c_str()));
    EXPECT_FALSE(RestartListReadable());
}

// A program that runs has its own program file loaded: found by that file's
// path, and by its name from any folder where asked so; a file of the same
// name elsewhere is loaded by none; NT 4.0 cannot tell.
TEST_F(Installation, ModuleHolderFindsTheProgramThatHasAFileLoaded)
{
    std::string notepad = WindowsFile("notepad.exe"), command = "\"" + notepad + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessA(notepad.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &info));
    WaitForInputIdle(info.hProcess, 10000);
    const std::string elsewhere = MakeScratchFolder("modules") + "\\NOTEPAD.EXE";
    ASSERT_TRUE(WriteFileBytes(elsewhere, "no program"));
    char program[MAX_PATH] = "";
    EXPECT_EQ(ModuleLoaded, FindLoadingProgram(notepad.c_str(), false, program, sizeof program));
    EXPECT_EQ(0, lstrcmpiA("notepad.exe", program)) << program;
    EXPECT_EQ(ModuleNotLoaded, FindLoadingProgram(elsewhere.c_str(), false, program, sizeof program));
    EXPECT_EQ(ModuleLoaded, FindLoadingProgram(elsewhere.c_str(), true, program, sizeof program));
    SetPlatform(2, 4);
    EXPECT_EQ(ModuleUnknown, FindLoadingProgram(notepad.c_str(), false, program, sizeof program));
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

}  // namespace
