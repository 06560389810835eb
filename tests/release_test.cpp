// The release tool: staging a product tree into the updater's folder and
// installing it through the updater's own installation code, and the check
// that catches a broken release folder.
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include "common/app_state.h"
#include "install/installer.h"
#include "install/staged_files.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/version_fixture.h"

namespace {

const char* const GROUP_FOLDERS[] = { "App", "Win9xHelper", "Win9xIoDriver", "Nt4Driver", "Nt5Driver" };

std::string ToolPath()
{
    return TestProgramFolder() + "..\\tools\\release_tool.exe";
}

// Runs the release tool; its exit code, with what it printed in `output`.
DWORD RunTool(const std::string& arguments, std::string* output)
{
    std::string log = TestProgramFolder() + "release_tool.log";
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE file = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + ToolPath() + "\" " + arguments;
    DWORD code = 999;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &info)) {
        WaitForSingleObject(info.hProcess, 60000);
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(file);
    *output = ReadFileBytes(log);
    return code;
}

bool SharedTarget(const char* target)
{
    int uses = 0;
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i)
            uses += lstrcmpiA(group->rows[i].targetName, target) == 0;
    return uses > 1;
}

class Release : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = MakeScratchFolder("release");
        product = root + "\\product";
        output = root + "\\out";
        MakeFolder(product);
        for (unsigned int g = 0; g < STAGED_GROUP_COUNT; ++g) {
            const StagedGroup& group = *AllStagedGroups[g];
            for (unsigned int i = 0; i < group.rowCount; ++i) {
                std::string target = group.rows[i].targetName;
                std::string folder = SharedTarget(target.c_str()) ? product + "\\" + GROUP_FOLDERS[g] : product;
                MakeFolder(folder);
                std::string path = folder + "\\" + target;
                if (target.find('\\') != std::string::npos)
                    MakeFolder(path.substr(0, path.find_last_of('\\')));
                std::string content;
                for (int k = 0; k < 200; ++k)
                    content += std::string(GROUP_FOLDERS[g]) + " " + target + " line " + std::to_string(k) + "\r\n";
                if (target == "TOLVANE.EXE")
                    ASSERT_TRUE(WriteMainExecutable(path, "041104b0", "3, 1, 3, 0", 300000));
                else
                    ASSERT_TRUE(WriteFileBytes(path, content));
                sources[group.rows[i].stagedName] = path;
            }
        }
    }
    void TearDown() override { RemoveTree(root); }

    std::string root, product, output;
    std::map<std::string, std::string> sources;  // staged name -> product file
};

TEST_F(Release, StagedFolderInstallsToTheProductFilesPlainAndCompressed)
{
    std::string own = TestProgramFolder();
    OSVERSIONINFOA saved = OsVersion;
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UPDATER),
                                     nullptr, UpdaterDialogProc, 0);
    for (const char* mode : { "", " --compress" }) {
        SCOPED_TRACE(mode);
        RemoveTree(output);
        std::string said;
        ASSERT_EQ(0u, RunTool("stage \"" + product + "\" \"" + output + "\"" + mode, &said)) << said;
        ASSERT_EQ(0u, RunTool("check \"" + output + "\"", &said)) << said;
        EXPECT_TRUE(FileExists(output + "\\TLUPDATE.exe"));
        bool compressed = ReadFileBytes(output + "\\tl001.tmp").substr(0, 4) == "SZDD";
        EXPECT_EQ(*mode != 0, compressed);
        for (const auto& staged : sources)
            ASSERT_TRUE(CopyFileA((output + "\\" + staged.first).c_str(), (own + staged.first).c_str(), FALSE));

        struct Family { DWORD id, major; };
        for (Family family : { Family{ 1, 4 }, Family{ 2, 4 }, Family{ 2, 5 } }) {
            OsVersion.dwPlatformId = family.id;
            OsVersion.dwMajorVersion = family.major;
            std::string install = MakeScratchFolder("release-install");
            std::string system;
            {
                char buffer[MAX_PATH];
                system.assign(buffer, GetSystemDirectoryA(buffer, MAX_PATH));
            }
            MakeFolder(system + "\\IOSUBSYS");
            BoxWatcher boxes(GetCurrentThreadId(), { IDOK });
            EXPECT_TRUE(InstallStagedFiles(dialog, install.c_str()));
            EXPECT_TRUE(boxes.Boxes().empty());
            InstallPlan plan = GroupsForPlatform(OsVersion);
            for (unsigned int g = 0; g < plan.groupCount; ++g)
                for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
                    const StagedFile& row = plan.groups[g]->rows[i];
                    std::string target = (plan.groups[g]->root == InstallFolder ? install : system) +
                                         "\\" + row.targetName;
                    EXPECT_TRUE(ReadFileBytes(target) == ReadFileBytes(sources[row.stagedName]))
                        << row.targetName << " from " << row.stagedName;
                    if (plan.groups[g]->root == SystemFolder)
                        DeleteFileA(target.c_str());
                }
            RemoveTree(install);
        }
        for (const auto& staged : sources)
            DeleteFileA((own + staged.first).c_str());
    }
    DestroyWindow(dialog);
    OsVersion = saved;
}

TEST_F(Release, CheckFindsEachKindOfFault)
{
    std::string said;
    ASSERT_EQ(0u, RunTool("stage \"" + product + "\" \"" + output + "\" --compress", &said)) << said;

    DeleteFileA((output + "\\tl017.tmp").c_str());
    EXPECT_NE(0u, RunTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("missing tl017.tmp")) << said;

    // A rename that changes only the case keeps the old name, so go through another.
    MoveFileA((output + "\\tl005.tmp").c_str(), (output + "\\renaming").c_str());
    MoveFileA((output + "\\renaming").c_str(), (output + "\\TL005.TMP").c_str());
    std::string truncated = ReadFileBytes(output + "\\tl009.tmp");
    WriteFileBytes(output + "\\tl009.tmp", truncated.substr(0, truncated.size() / 2));
    EXPECT_NE(0u, RunTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("wrong case: TL005.TMP should be tl005.tmp")) << said;
    EXPECT_NE(std::string::npos, said.find("does not expand: tl009.tmp")) << said;
    EXPECT_NE(std::string::npos, said.find("missing tl017.tmp")) << said;

    // A product whose main executable is still the old version.
    RemoveTree(output);
    ASSERT_TRUE(WriteMainExecutable(product + "\\TOLVANE.EXE", "041104b0", "3, 1, 2, 0", 0));
    ASSERT_EQ(0u, RunTool("stage \"" + product + "\" \"" + output + "\"", &said)) << said;
    EXPECT_NE(0u, RunTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("has version \"3, 1, 2, 0\"")) << said;
}

TEST_F(Release, StagingErrorsLeaveNothingThatLooksComplete)
{
    std::string said;
    DeleteFileA((product + "\\TVMP3.DLL").c_str());
    DeleteFileA((product + "\\Nt5Driver\\Drivers\\TVPKT.SYS").c_str());
    WriteFileBytes(product + "\\Drivers\\TVPKT.SYS", "one build for both groups is not enough");
    EXPECT_NE(0u, RunTool("stage \"" + product + "\" \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("missing product file TVMP3.DLL")) << said;
    EXPECT_NE(std::string::npos, said.find("missing product file Nt5Driver\\Drivers\\TVPKT.SYS")) << said;
    EXPECT_FALSE(FolderExists(output));
    EXPECT_FALSE(FolderExists(output + ".partial"));

    MakeFolder(output);
    WriteFileBytes(output + "\\KEEP.TXT", "someone else's file");
    WriteFileBytes(product + "\\TVMP3.DLL", "back");
    WriteFileBytes(product + "\\Nt5Driver\\Drivers\\TVPKT.SYS", "nt5 build");
    EXPECT_NE(0u, RunTool("stage \"" + product + "\" \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("exists and is not empty")) << said;
    EXPECT_EQ("someone else's file", ReadFileBytes(output + "\\KEEP.TXT"));
    EXPECT_FALSE(FileExists(output + "\\tl001.tmp"));
}

}  // namespace
