// Moving the data files into "Tolvane Data" under the user's documents
// folder, with the real shell folder lookup and file system of the prefix.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "common/app_state.h"
#include "common/path_helpers.h"
#include "post/data_migration.h"
#include "res/resource.h"
#include "support/registry_fixture.h"
#include "support/scratch_files.h"
#include "support/sjis.h"

namespace {

const char SHELL_FOLDERS_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string Documents()
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path);
    return path;
}

class Migration : public ::testing::Test {
protected:
    void SetUp() override
    {
        documents = Documents();
        ASSERT_FALSE(documents.empty());
        data = documents + "\\Tolvane Data";
        RemoveTree(data);
        install = MakeScratchFolder("migrate");
    }
    void TearDown() override
    {
        RemoveTree(data);
        RemoveTree(install);
    }
    // Runs the migration; true when nothing stayed behind. `stay` receives
    // the warning it chose.
    bool Migrate(const std::string& folder)
    {
        char dataFolder[PATH_BUFFER_SIZE];
        bool complete = MigrateDataFiles(folder.c_str(), dataFolder, &stay);
        EXPECT_EQ(data, std::string(dataFolder));
        return complete;
    }
    void Put(const std::string& folder, const std::string& name, const std::string& content = "")
    {
        ASSERT_TRUE(WriteFileBytes(folder + "\\" + name, content.empty() ? "data of " + name : content));
    }
    std::string documents, data, install;
    DataStay stay;
};

TEST_F(Migration, DataFolderIsCreatedAndReceivesTheThreeKindsOfFile)
{
    Put(install, "TLCDDB.DB");
    Put(install, "CHG.LOG");
    Put(install, "DISC1.LST");
    Put(install, "TOLVANE.EXE");
    EXPECT_TRUE(Migrate(install));
    EXPECT_TRUE(FolderExists(data));
    for (const char* name : { "TLCDDB.DB", "CHG.LOG", "DISC1.LST" }) {
        EXPECT_EQ(std::string("data of ") + name, ReadFileBytes(data + "\\" + name)) << name;
        EXPECT_FALSE(FileExists(install + "\\" + name)) << name;
    }
    EXPECT_TRUE(FileExists(install + "\\TOLVANE.EXE"));
    std::string moved = ListFolder(data);
    EXPECT_EQ(2, std::count(moved.begin(), moved.end(), ' ')) << moved;
}

// Into a data folder on the same NTFS volume the NT family renames a data
// file (it keeps its index on the volume: no byte moves); the Windows 95
// family copies it. Either way it arrives whole.
TEST_F(Migration, SameVolumeRenamesOnTheNtFamilyAndCopiesOnThe95Family)
{
    OSVERSIONINFOA saved = OsVersion;
    for (DWORD platform : { VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS }) {
        OsVersion.dwPlatformId = platform;
        Put(install, "TLCDDB.DB");
        unsigned long long identity = FileIdentity(install + "\\TLCDDB.DB");
        EXPECT_TRUE(Migrate(install));
        EXPECT_EQ("data of TLCDDB.DB", ReadFileBytes(data + "\\TLCDDB.DB"));
        EXPECT_EQ(platform == VER_PLATFORM_WIN32_NT, FileIdentity(data + "\\TLCDDB.DB") == identity) << platform;
        RemoveTree(data);
    }
    OsVersion = saved;
}

TEST_F(Migration, ExistingDataFolderAndItsOtherFilesAreUntouched)
{
    ASSERT_TRUE(MakeFolder(data));
    Put(data, "NOTES.TXT", "mine");
    Put(install, "CHG.LOG");
    EXPECT_TRUE(Migrate(install));
    EXPECT_EQ("mine", ReadFileBytes(data + "\\NOTES.TXT"));
    EXPECT_EQ("data of CHG.LOG", ReadFileBytes(data + "\\CHG.LOG"));
}

// The data folder's copy always wins. The installation's copy of the same
// name goes only when it holds the same bytes; one that differs, in its
// size or only in its last block, or whose data folder's copy another
// program holds, stays where it is, and the move says so.
TEST_F(Migration, ExistingDestinationWinsAndOnlyTheSameBytesAreDeleted)
{
    ASSERT_TRUE(MakeFolder(data));
    std::string database(3 * 8192 + 100, 'd'), newer = database;
    newer.back() = 'n';
    Put(data, "TLCDDB.DB", database);
    Put(install, "TLCDDB.DB", newer);
    Put(data, "CHG.LOG", "the user's log");
    Put(install, "CHG.LOG", "the user's log, longer");
    EXPECT_FALSE(Migrate(install));
    EXPECT_TRUE(ReadFileBytes(data + "\\TLCDDB.DB") == database);
    EXPECT_TRUE(ReadFileBytes(install + "\\TLCDDB.DB") == newer);
    EXPECT_EQ("the user's log, longer", ReadFileBytes(install + "\\CHG.LOG"));
    // No later run can choose between them: the user is told to.
    EXPECT_EQ(static_cast<unsigned int>(IDS_DATA_DIFFERS), stay.message);
    EXPECT_STREQ("TLCDDB.DB", stay.subject);

    Put(install, "TLCDDB.DB", database);
    Put(install, "CHG.LOG", "the user's log");
    // Open for writing in another program (which lets others write too),
    // the data folder's copy can be found but not read to be compared.
    HANDLE held = CreateFileA((data + "\\CHG.LOG").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(Migrate(install));
    CloseHandle(held);
    EXPECT_EQ("the user's log", ReadFileBytes(install + "\\CHG.LOG"));
    EXPECT_NE(static_cast<unsigned int>(IDS_DATA_DIFFERS), stay.message) << "a file not compared differs";
    EXPECT_TRUE(Migrate(install));
    EXPECT_TRUE(ReadFileBytes(data + "\\TLCDDB.DB") == database);
    EXPECT_FALSE(FileExists(install + "\\TLCDDB.DB"));
    EXPECT_FALSE(FileExists(install + "\\CHG.LOG"));
}

// A list file whose long name has a character outside code page 932 comes
// back from the ANSI search with '?' in its place; it moves under its short
// name instead of staying behind.
TEST_F(Migration, ListFileWithAnUnspellableNameMovesUnderItsShortName)
{
    std::wstring wide = std::wstring(install.begin(), install.end()) + L"\\\uD55C\uAE00 discs.LST";
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "hangul", 6, &written, nullptr);
    CloseHandle(file);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((install + "\\*.LST").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    FindClose(search);
    ASSERT_NE(std::string::npos, std::string(entry.cFileName).find('?')) << entry.cFileName;
    ASSERT_NE(0, entry.cAlternateFileName[0]) << "no short name";

    EXPECT_TRUE(Migrate(install));
    EXPECT_EQ("hangul", ReadFileBytes(data + "\\" + entry.cAlternateFileName));
    EXPECT_EQ("", ListFolder(install));
}

// A run stopped during a copy leaves part of it under the temporary name;
// that part is never taken for the user's file. The next run copies the
// whole file again, and only then deletes the source.
TEST_F(Migration, PartialCopyOfAStoppedRunIsReplacedByAWholeOne)
{
    std::string database(200000, 'd');
    Put(install, "TLCDDB.DB", database);
    ASSERT_TRUE(MakeFolder(data));
    Put(data, "TLMOVE.TMP", database.substr(0, 26000));
    SetFileAttributesA((data + "\\TLMOVE.TMP").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Migrate(install));
    EXPECT_TRUE(ReadFileBytes(data + "\\TLCDDB.DB") == database);
    EXPECT_FALSE(FileExists(install + "\\TLCDDB.DB"));
    EXPECT_EQ("TLCDDB.DB", ListFolder(data));
}

// A list file copied off a CD is read-only: it moves like any other, once,
// and its copy keeps the attribute.
TEST_F(Migration, ReadOnlyListFileMovesOnce)
{
    Put(install, "CD.LST", "list off a CD");
    ASSERT_TRUE(SetFileAttributesA((install + "\\CD.LST").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(Migrate(install));
    EXPECT_FALSE(FileExists(install + "\\CD.LST"));
    EXPECT_EQ("list off a CD", ReadFileBytes(data + "\\CD.LST"));
    EXPECT_NE(0u, GetFileAttributesA((data + "\\CD.LST").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Migrate(install));
    EXPECT_EQ("CD.LST", ListFolder(data));
    SetFileAttributesA((data + "\\CD.LST").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Migration, MissingSourceLeavesTheDestinationAlone)
{
    ASSERT_TRUE(MakeFolder(data));
    Put(data, "CHG.LOG", "older log");
    EXPECT_TRUE(Migrate(install));
    EXPECT_EQ("older log", ReadFileBytes(data + "\\CHG.LOG"));
}

TEST_F(Migration, EveryListFileMovesButNotFromSubfolders)
{
    Put(install, "A.LST");
    Put(install, "b.lst");
    Put(install, "Mixed.Lst");
    ASSERT_TRUE(MakeFolder(install + "\\Sub"));
    Put(install + "\\Sub", "DEEP.LST");
    ASSERT_TRUE(MakeFolder(install + "\\FOLDER.LST"));
    EXPECT_TRUE(Migrate(install));
    for (const char* name : { "A.LST", "b.lst", "Mixed.Lst" }) {
        EXPECT_TRUE(FileExists(data + "\\" + name)) << name;
        EXPECT_FALSE(FileExists(install + "\\" + name)) << name;
    }
    EXPECT_TRUE(FileExists(install + "\\Sub\\DEEP.LST"));
    EXPECT_FALSE(FileExists(data + "\\DEEP.LST"));
    EXPECT_TRUE(FolderExists(install + "\\FOLDER.LST"));
    EXPECT_FALSE(FileExists(data + "\\FOLDER.LST"));
}

TEST_F(Migration, TrailingSeparatorMakesNoDifference)
{
    Put(install, "TLCDDB.DB");
    Put(install, "X.LST");
    EXPECT_TRUE(Migrate(install + "\\"));
    EXPECT_TRUE(FileExists(data + "\\TLCDDB.DB"));
    EXPECT_TRUE(FileExists(data + "\\X.LST"));
    EXPECT_FALSE(FileExists(install + "\\TLCDDB.DB"));
    EXPECT_FALSE(FileExists(install + "\\X.LST"));
}

// The installation folder being the data folder must never cost the only copy.
TEST_F(Migration, SourceThatIsTheDestinationIsLeftAlone)
{
    ASSERT_TRUE(MakeFolder(data));
    Put(data, "TLCDDB.DB", "only copy");
    Put(data, "ONLY.LST", "only list");
    EXPECT_TRUE(Migrate(data));
    EXPECT_EQ("only copy", ReadFileBytes(data + "\\TLCDDB.DB"));
    EXPECT_EQ("only list", ReadFileBytes(data + "\\ONLY.LST"));
    EXPECT_TRUE(Migrate(data + "\\"));
    EXPECT_EQ("only copy", ReadFileBytes(data + "\\TLCDDB.DB"));
}

// The same data folder reached by a second path (drive Z: onto the Unix
// root, as a SUBST or mapped drive would be on Windows): every file is its
// own destination, and each must stay.
TEST_F(Migration, DataFolderReachedThroughAnotherDriveKeepsEveryFile)
{
    ASSERT_TRUE(MakeFolder(data));
    for (const char* name : { "TLCDDB.DB", "CHG.LOG", "A.LST", "b.lst" })
        Put(data, name, std::string("only copy of ") + name);
    std::string alias = AliasThroughDriveZ(data);
    ASSERT_FALSE(alias.empty());
    ASSERT_NE(data, alias);
    ASSERT_EQ("only copy of CHG.LOG", ReadFileBytes(alias + "\\CHG.LOG"));
    EXPECT_TRUE(Migrate(alias));
    for (const char* name : { "TLCDDB.DB", "CHG.LOG", "A.LST", "b.lst" })
        EXPECT_EQ(std::string("only copy of ") + name, ReadFileBytes(data + "\\" + name)) << name;

    // The same while another program holds a file open (allowing even its
    // deletion): sameness cannot be tested then, and the file must stay.
    std::string held = data + "\\CHG.LOG";
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    EXPECT_FALSE(Migrate(alias));
    CloseHandle(handle);
    EXPECT_EQ("only copy of CHG.LOG", ReadFileBytes(held));
}

// A folder in the data folder that has a data file's name is no copy of
// that file: the source stays where it is, and so does the folder.
TEST_F(Migration, FolderNamedLikeADataFileKeepsTheSource)
{
    ASSERT_TRUE(MakeFolder(data));
    for (const char* name : { "TLCDDB.DB", "CHG.LOG", "DISC.LST" }) {
        ASSERT_TRUE(MakeFolder(data + "\\" + name));
        Put(install, name);
    }
    EXPECT_FALSE(Migrate(install));
    for (const char* name : { "TLCDDB.DB", "CHG.LOG", "DISC.LST" }) {
        EXPECT_EQ(std::string("data of ") + name, ReadFileBytes(install + "\\" + name)) << name;
        EXPECT_TRUE(FolderExists(data + "\\" + name)) << name;
    }
}

TEST_F(Migration, CopyThatFailsForAnotherReasonKeepsTheSource)
{
    // A plain file where the data folder should be: every copy fails.
    Put(documents, "Tolvane Data", "not a folder");
    Put(install, "CHG.LOG");
    EXPECT_FALSE(Migrate(install));
    EXPECT_EQ("data of CHG.LOG", ReadFileBytes(install + "\\CHG.LOG"));
    DeleteFileA(data.c_str());
}

// A list file whose path does not fit a path buffer (made through the wide
// call, which takes longer paths) is skipped; the other files still move.
// A list file whose path the ANSI calls cannot take (266 bytes: it fits a
// path buffer but not MAX_PATH; 283 bytes: it fits neither; both made
// through the wide call) stays where it is, and the run says so; the other
// files still move.
TEST_F(Migration, PathsThatDoNotFitSkipTheFile)
{
    std::string deep = MakeDeepFolder(install, 250);
    ASSERT_TRUE(FolderExists(deep));
    for (std::string longName : { "A_LONG_NAME.LST", "A_LIST_FILE_WITH_A_LONG_NAME.LST" }) {
        SCOPED_TRACE(longName);
        std::wstring wide = L"\\\\?\\" + std::wstring(deep.begin(), deep.end()) + L"\\" +
                            std::wstring(longName.begin(), longName.end());
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
        Put(deep, "CHG.LOG");
        EXPECT_FALSE(Migrate(deep));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wide.c_str()));
        EXPECT_FALSE(FileExists(data + "\\" + longName));
        EXPECT_TRUE(FileExists(data + "\\CHG.LOG"));
        DeleteFileW(wide.c_str());
        RemoveTree(data);
    }
}

TEST(DocumentsLookup, DoubleByteDocumentsFolder)
{
    RegValue saved = ReadValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal");
    std::string root = MakeScratchFolder("docs");
    std::string docs = root + "\\" + Sjis(u8"書類表");
    ASSERT_TRUE(MakeFolder(docs));
    WriteStringValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal", docs);
    std::string install = MakeScratchFolder("migrate-dbcs");
    WriteFileBytes(install + "\\CHG.LOG", "log");

    char found[PATH_BUFFER_SIZE];
    bool ok = GetDocumentsFolder(found);
    char dataFolder[PATH_BUFFER_SIZE];
    DataStay stay;
    bool complete = MigrateDataFiles(install.c_str(), dataFolder, &stay);
    bool moved = ReadFileBytes(docs + "\\Tolvane Data\\CHG.LOG") == "log";

    if (saved.exists)
        WriteRawValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal", saved.type,
                      saved.data.data(), static_cast<DWORD>(saved.data.size()));
    RemoveTree(root);
    RemoveTree(install);
    EXPECT_TRUE(ok);
    EXPECT_EQ(docs, found);
    EXPECT_TRUE(complete);
    EXPECT_EQ(docs + "\\Tolvane Data", std::string(dataFolder));
    EXPECT_TRUE(moved);
}

// Stand-in SHFOLDER.DLLs beside a probe program of their own; the probe is
// told to prefer the native SHFOLDER.DLL through Wine's per-program
// DLL overrides.
class Fallback : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeScratchFolder("probe");
        install = MakeScratchFolder("probe-install");
        data = Documents() + "\\Tolvane Data";
        RemoveTree(data);
        ASSERT_TRUE(CopyFileA((TestProgramFolder() + "docs_probe.exe").c_str(),
                              (folder + "\\docs_probe.exe").c_str(), FALSE));
        WriteStringValue(HKEY_CURRENT_USER, OVERRIDES, "shfolder", "native,builtin");
        WriteFileBytes(install + "\\CHG.LOG", "log");
    }
    void TearDown() override
    {
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\docs_probe.exe");
        RemoveTree(folder);
        RemoveTree(install);
        RemoveTree(data);
    }
    std::string RunProbe()
    {
        std::string command = "\"" + folder + "\\docs_probe.exe\" \"" + install + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            folder.c_str(), &startup, &info))
            return "not started";
        WaitForSingleObject(info.hProcess, 30000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return ReadFileBytes(folder + "\\probe.txt");
    }
    static constexpr const char* OVERRIDES = "Software\\Wine\\AppDefaults\\docs_probe.exe\\DllOverrides";
    std::string folder, install, data;
};

TEST_F(Fallback, SystemLookupFindsTheDocumentsFolder)
{
    EXPECT_EQ("1|1|" + Documents(), RunProbe());
    EXPECT_TRUE(FileExists(data + "\\CHG.LOG"));
}

// No lookup at all (Windows 95 without the redistributable): nothing moves
// and nothing is to be said.
TEST_F(Fallback, ShfolderWithoutTheFunctionMeansNoMigration)
{
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "shfolder_missing.dll").c_str(),
                          (folder + "\\SHFOLDER.DLL").c_str(), FALSE));
    EXPECT_EQ("0|1|", RunProbe());
    EXPECT_EQ("log", ReadFileBytes(install + "\\CHG.LOG"));
    EXPECT_FALSE(FolderExists(data));
}

// A lookup that gives no folder moves nothing, and says that the data stayed.
TEST_F(Fallback, FunctionThatFailsMeansNoMigration)
{
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "shfolder_failing.dll").c_str(),
                          (folder + "\\SHFOLDER.DLL").c_str(), FALSE));
    EXPECT_EQ("0|0|", RunProbe());
    EXPECT_EQ("log", ReadFileBytes(install + "\\CHG.LOG"));
    EXPECT_FALSE(FolderExists(data));
    EXPECT_FALSE(FolderExists(folder + "\\Tolvane Data"));
}

}  // namespace
