// The release tool: staging a product tree into the updater's folder and
// installing it through the updater's own installation code, the check that
// catches a broken release folder or an updater that is not the shipped
// program, and the care it takes with folders it did not make.
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <functional>
#include <vector>
#include "common/app_state.h"
#include "common/crc32.h"
#include "install/installer.h"
#include "install/staged_files.h"
#include "install/staged_list.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/sjis.h"
#include "support/staged_release.h"
#include "support/updater_process.h"
#include "support/version_fixture.h"

namespace {

// Offset of the PE header in an image's bytes.
DWORD PeHeaderOffset(const std::string& bytes)
{
    return *reinterpret_cast<const DWORD*>(&bytes[0x3C]);
}

// An x86-64 updater at `path`: the x86_64 build's own; in the i686 build,
// which has none, the shipped updater with its machine set to x86-64.
bool WriteX64Updater(const std::string& path)
{
#if defined(_WIN64)
    return CopyFileA(BuiltUpdaterPath().c_str(), path.c_str(), FALSE) != FALSE;
#else
    std::string bytes = ReadFileBytes(BuiltUpdaterPath());
    if (bytes.size() < 0x40)
        return false;
    DWORD pe = PeHeaderOffset(bytes);
    bytes[pe + 4] = static_cast<char>(0x64);
    bytes[pe + 5] = static_cast<char>(0x86);
    return WriteFileBytes(path, bytes);
#endif
}

// Replaces the first occurrence of `from` in the file's bytes with `to`.
bool PatchBytes(const std::string& path, const std::string& from, const std::string& to)
{
    std::string bytes = ReadFileBytes(path);
    size_t at = bytes.find(from);
    if (at == std::string::npos || from.size() != to.size())
        return false;
    bytes.replace(at, from.size(), to);
    return WriteFileBytes(path, bytes);
}

std::string Utf16(const std::u16string& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::string Dword(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

class Release : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = MakeScratchFolder("release");
        product = root + "\\product";
        output = root + "\\out";
        ASSERT_TRUE(WriteProductTree(product, "3, 1, 3, 0", &sources));
    }
    void TearDown() override
    {
        if (!link.empty())
            RemoveFolderLink(link);
        RemoveTree(root);
    }

    std::string Check(DWORD* code)
    {
        std::string said;
        *code = RunReleaseTool("check \"" + output + "\"", &said);
        return said;
    }

    std::string root, product, output, link;
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
        ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"" + mode, &said)) << said;
        ASSERT_EQ(0u, RunReleaseTool("check \"" + output + "\"", &said)) << said;
        EXPECT_TRUE(FileExists(output + "\\TLUPDATE.exe"));
        bool compressed = ReadFileBytes(output + "\\tl001.tmp").substr(0, 4) == "SZDD";
        EXPECT_EQ(*mode != 0, compressed);
        for (const auto& staged : sources)
            ASSERT_TRUE(CopyFileA((output + "\\" + staged.first).c_str(), (own + staged.first).c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((output + "\\" + STAGED_LIST_FILE).c_str(), (own + STAGED_LIST_FILE).c_str(), FALSE));

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
            InstallFailure failure;
            EXPECT_TRUE(InstallStagedFiles(dialog, install.c_str(), &failure)) << failure.message;
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
        RemoveStagedFiles(own.substr(0, own.size() - 1));
    }
    DestroyWindow(dialog);
    OsVersion = saved;
}

TEST_F(Release, CheckFindsEachKindOfFault)
{
    std::string said;
    ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\" --compress", &said)) << said;

    DeleteFileA((output + "\\tl017.tmp").c_str());
    // A compressed file that expands whole, to another file's bytes.
    ASSERT_TRUE(CopyFileA((output + "\\tl004.tmp").c_str(), (output + "\\tl003.tmp").c_str(), FALSE));
    EXPECT_NE(0u, RunReleaseTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("missing tl017.tmp")) << said;
    EXPECT_NE(std::string::npos, said.find("tl003.tmp does not match TLFILES.DAT")) << said;

    // A rename that changes only the case keeps the old name, so go through another.
    MoveFileA((output + "\\tl005.tmp").c_str(), (output + "\\renaming").c_str());
    MoveFileA((output + "\\renaming").c_str(), (output + "\\TL005.TMP").c_str());
    std::string truncated = ReadFileBytes(output + "\\tl009.tmp");
    WriteFileBytes(output + "\\tl009.tmp", truncated.substr(0, truncated.size() / 2));
    EXPECT_NE(0u, RunReleaseTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("wrong case: TL005.TMP should be tl005.tmp")) << said;
    EXPECT_NE(std::string::npos, said.find("does not expand: tl009.tmp")) << said;
    EXPECT_NE(std::string::npos, said.find("missing tl017.tmp")) << said;

    // The list with one byte altered, with a record renamed under a fresh
    // CRC of its own, and gone. Files are compared only with an intact list.
    std::string listPath = output + "\\TLFILES.DAT";
    std::string list = ReadFileBytes(listPath);
    ASSERT_NE(std::string::npos, list.find("tl020.tmp"));
    std::string altered = list;
    altered[list.find("tl020.tmp") + 16] ^= 1;
    ASSERT_TRUE(WriteFileBytes(listPath, altered));
    EXPECT_NE(0u, RunReleaseTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("the list of staged files TLFILES.DAT is damaged")) << said;
    EXPECT_EQ(std::string::npos, said.find("does not match")) << said;
    altered = list;
    altered.replace(list.find("tl020.tmp"), 9, "tl099.tmp");
    altered.replace(list.size() - 4, 4, Dword(Crc32Of(altered.data(), static_cast<unsigned int>(list.size() - 4))));
    ASSERT_TRUE(WriteFileBytes(listPath, altered));
    EXPECT_NE(0u, RunReleaseTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("tl020.tmp is not listed in TLFILES.DAT")) << said;
    EXPECT_EQ(std::string::npos, said.find("damaged")) << said;
    ASSERT_TRUE(DeleteFileA(listPath.c_str()));
    EXPECT_NE(0u, RunReleaseTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("missing the list of staged files TLFILES.DAT")) << said;

    // A product whose main executable is still the old version, and a plain
    // staged file with one byte altered: same size, another CRC.
    RemoveTree(output);
    ASSERT_TRUE(WriteMainExecutable(product + "\\TOLVANE.EXE", "041104b0", "3, 1, 2, 0", 0));
    ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said)) << said;
    std::string plain = ReadFileBytes(output + "\\tl020.tmp");
    plain[plain.size() / 2] ^= 1;
    ASSERT_TRUE(WriteFileBytes(output + "\\tl020.tmp", plain));
    EXPECT_NE(0u, RunReleaseTool("check \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("has version \"3, 1, 2, 0\"")) << said;
    EXPECT_NE(std::string::npos, said.find("tl020.tmp does not match TLFILES.DAT")) << said;
}

TEST_F(Release, StagingErrorsLeaveNothingThatLooksComplete)
{
    std::string said;
    DeleteFileA((product + "\\TVMP3.DLL").c_str());
    DeleteFileA((product + "\\Nt5Driver\\Drivers\\TVPKT.SYS").c_str());
    WriteFileBytes(product + "\\Drivers\\TVPKT.SYS", "one build for both groups is not enough");
    EXPECT_EQ(1u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("missing product file TVMP3.DLL")) << said;
    EXPECT_NE(std::string::npos, said.find("missing product file Nt5Driver\\Drivers\\TVPKT.SYS")) << said;
    EXPECT_FALSE(FolderExists(output));
    EXPECT_FALSE(FolderExists(output + ".partial"));

    MakeFolder(output);
    WriteFileBytes(output + "\\KEEP.TXT", "someone else's file");
    WriteFileBytes(product + "\\TVMP3.DLL", "back");
    WriteFileBytes(product + "\\Nt5Driver\\Drivers\\TVPKT.SYS", "nt5 build");
    EXPECT_EQ(1u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("exists and is not empty")) << said;
    EXPECT_EQ("someone else's file", ReadFileBytes(output + "\\KEEP.TXT"));
    EXPECT_FALSE(FileExists(output + "\\tl001.tmp"));
}

// The release carries the shipped updater, and check proves it: each way of
// carrying another program is named, with the property that failed.
TEST_F(Release, CheckAcceptsOnlyTheShippedUpdater)
{
    std::string said;
    DWORD code = 0;
    ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said)) << said;
    EXPECT_EQ(std::string::npos, said.find("warning")) << said;
    said = Check(&code);
    EXPECT_EQ(0u, code) << said;
    std::string shipped = ReadFileBytes(ReleaseToolFolder() + "TLUPDATE.exe");
    ASSERT_GT(shipped.size(), 1000u);
    EXPECT_TRUE(shipped == ReadFileBytes(output + "\\TLUPDATE.exe")) << "not the updater beside the tool";

    std::string updater = output + "\\TLUPDATE.exe";
    struct Case {
        const char* what;
        std::function<bool()> make;
        const char* reported;
    };
    const Case cases[] = {
        { "an x86-64 build", [&] { return WriteX64Updater(updater); },
          "is built for machine 0x8664, not for the 32-bit i386" },
        { "a text file", [&] { return WriteFileBytes(updater, "MZ!\n"); },
          "is not a Windows program" },
        { "file version 3.1.2.0",
          [&] { return PatchBytes(updater, Dword(0xFEEF04BD) + Dword(0x00010000) + Dword(0x00030001) + Dword(0x00030000),
                                  Dword(0xFEEF04BD) + Dword(0x00010000) + Dword(0x00030001) + Dword(0x00020000)); },
          "has file version 3.1.2.0, not 3.1.3.0" },
        { "another caption", [&] { return PatchBytes(updater, Utf16(u"Ver 3.13"), Utf16(u"Ver 3.12")); },
          "has the dialog caption" },
        { "subsystem version 5.0", [&] {
              std::string bytes = ReadFileBytes(updater);
              bytes[PeHeaderOffset(bytes) + 24 + 48] = 5;
              return WriteFileBytes(updater, bytes);
          },
          "has subsystem version 5.0, not 4.0" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(updater, shipped));
        ASSERT_TRUE(c.make());
        said = Check(&code);
        EXPECT_EQ(1u, code) << said;
        EXPECT_NE(std::string::npos, said.find("the updater TLUPDATE.exe " + std::string(c.reported))) << said;
        if (std::string(c.what) != "an x86-64 build" && std::string(c.what) != "a text file") {
            // Only the altered property is named.
            size_t first = said.find("the updater");
            EXPECT_EQ(std::string::npos, said.find("the updater", first + 1)) << said;
        }
    }

    // Staging an updater that check will refuse says so at once.
    RemoveTree(output);
    std::string x64 = root + "\\x64-updater.exe";
    ASSERT_TRUE(WriteX64Updater(x64));
    ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\" --updater \"" + x64 + "\"", &said))
        << said;
    EXPECT_NE(std::string::npos, said.find("warning: the updater")) << said;
}

// Folders the tool did not make are never emptied; a trailing separator on
// the output folder is the same folder, also after a double-byte character
// whose trail byte is '\' (as in 表, ソ and 能); the exit code tells what
// happened.
TEST_F(Release, OutputFoldersAndExitCodes)
{
    std::string said;
    for (const char* name : { "out", u8"発表", u8"ソ", u8"機能" })
        for (const char* separator : { "", "\\\\" }) {
            std::string folder = root + "\\" + Sjis(name);
            SCOPED_TRACE(std::string(name) + separator);
            ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + folder + separator + "\"", &said))
                << said;
            EXPECT_NE(std::string::npos, said.find(" into " + folder + "\r\n")) << said;
            EXPECT_TRUE(FileExists(folder + "\\tl001.tmp"));
            EXPECT_FALSE(FileExists(folder + "\\release_tool.partial"));
            EXPECT_EQ(0u, RunReleaseTool("check \"" + folder + separator + "\"", &said)) << said;
            EXPECT_NE(std::string::npos, said.find("release folder complete")) << said;
            RemoveTree(folder);
            EXPECT_EQ("product", ListFolder(root)) << "a folder other than the one asked for";
        }

    // A working folder that someone else made stays as it was.
    ASSERT_TRUE(MakeFolder(output + ".partial"));
    ASSERT_TRUE(WriteFileBytes(output + ".partial\\NOTES.TXT", "someone's notes"));
    EXPECT_EQ(1u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said));
    EXPECT_NE(std::string::npos, said.find("was not made by release_tool")) << said;
    EXPECT_EQ("someone's notes", ReadFileBytes(output + ".partial\\NOTES.TXT"));
    EXPECT_FALSE(FolderExists(output));

    // One left by an interrupted run of the tool is cleared, and a junction
    // inside it is removed as a link, never followed into its target. (Wine
    // cannot remove a link through the Windows calls, so there the tool says
    // that it could not clear the folder; Windows removes the junction.)
    std::string elsewhere = root + "\\elsewhere";
    link = output + ".partial\\link";
    ASSERT_TRUE(MakeFolder(elsewhere));
    ASSERT_TRUE(WriteFileBytes(elsewhere + "\\KEEP.TXT", "not the tool's"));
    ASSERT_TRUE(WriteFileBytes(output + ".partial\\release_tool.partial", ""));
    ASSERT_TRUE(MakeFolderLink(link, elsewhere));
    DWORD code = RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said);
    EXPECT_EQ("not the tool's", ReadFileBytes(elsewhere + "\\KEEP.TXT"));
    if (code == 0) {
        EXPECT_FALSE(FolderExists(link));
        EXPECT_FALSE(FolderExists(output + "\\link")) << "the link was moved into the release";
        EXPECT_TRUE(FileExists(output + "\\TLUPDATE.exe"));
    } else {
        EXPECT_EQ(1u, code);
        EXPECT_NE(std::string::npos, said.find("cannot clear")) << said;
        EXPECT_FALSE(FolderExists(output));
        ASSERT_TRUE(RemoveFolderLink(link));
    }
    link.clear();
    RemoveTree(output);
    RemoveTree(output + ".partial");
    ASSERT_EQ(0u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\"", &said)) << said;
    EXPECT_TRUE(FileExists(output + "\\TLUPDATE.exe"));
    EXPECT_FALSE(FolderExists(output + ".partial"));

    EXPECT_EQ(0u, RunReleaseTool("--help", &said));
    EXPECT_NE(std::string::npos, said.find("usage: release_tool stage")) << said;
    EXPECT_EQ(2u, RunReleaseTool("stage \"" + product + "\"", &said));
    EXPECT_EQ(2u, RunReleaseTool("publish", &said));
    EXPECT_EQ(2u, RunReleaseTool("stage \"" + product + "\" \"" + output + "\" --fast", &said));
    EXPECT_EQ(1u, RunReleaseTool("check \"" + root + "\\nothing\"", &said));
    EXPECT_EQ(1u, RunReleaseTool("stage \"" + root + "\\nothing\" \"" + root + "\\out2\"", &said));
}

}  // namespace
