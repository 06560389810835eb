// Finding the installed copy: the App Paths registration, the version
// resource and size of the main executable, and the parent-folder retry,
// against real files and the real registry of the test prefix.
//
// Wine's registry grants every access to every key of the prefix, so a user
// who may only read the App Paths key cannot be made here; the end-to-end
// test traces the shipped updater's open of that key instead, and sees it
// ask to read only.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "common/path_helpers.h"
#include "detect/installation_lookup.h"
#include "support/registry_fixture.h"
#include "support/scratch_files.h"
#include "support/sjis.h"
#include "support/version_fixture.h"

namespace {

const char JAPANESE_BLOCK[] = "041104b0";

class Lookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = MakeScratchFolder("lookup");
        apps = root + "\\Apps";
        product = apps + "\\Product";
        MakeFolder(apps);
        MakeFolder(product);
        GetCurrentDirectoryA(sizeof savedDirectory, savedDirectory);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY);
    }
    void TearDown() override
    {
        DeleteFileA((TestProgramFolder() + "TOLVANE.EXE").c_str());
        SetCurrentDirectoryA(savedDirectory);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY);
        RemoveTree(root);
    }

    void PutMain(const std::string& folder, const std::string& version, unsigned long size,
                 const std::string& block = JAPANESE_BLOCK)
    {
        ASSERT_TRUE(WriteMainExecutable(folder + "\\TOLVANE.EXE", block, version, size));
    }

    // Runs the lookup; `folder` receives what it returned. The buffer is
    // filled with 'G' beforehand, so a value that the lookup failed to
    // terminate runs on into 'G's, and a write past the path buffer shows.
    bool Locate()
    {
        char buffer[PATH_BUFFER_SIZE + 64];
        memset(buffer, 'G', sizeof buffer);
        buffer[sizeof buffer - 1] = 0;
        bool found = LocateInstallation(buffer);
        for (unsigned int i = PATH_BUFFER_SIZE; i + 1 < sizeof buffer; ++i)
            EXPECT_EQ('G', buffer[i]) << "write past the path buffer";
        folder = buffer;
        return found;
    }

    std::string root, apps, product, folder;
    char savedDirectory[MAX_PATH];
};

TEST_F(Lookup, ExactBuildInTheRegisteredFolderIsAccepted)
{
    PutMain(product, "3, 1, 2, 0", 4345856);
    RegisterInstallFolder(product);
    EXPECT_TRUE(Locate());
    EXPECT_EQ(product, folder);
}

TEST_F(Lookup, OneByteLargerIsRejectedThereAndTheParentIsTried)
{
    PutMain(product, "3, 1, 2, 0", 4345857);
    RegisterInstallFolder(product);
    EXPECT_FALSE(Locate());
    EXPECT_EQ(apps + "\\", folder);

    // The parent holding an accepted copy is then the installation folder.
    PutMain(apps, "3, 1, 2, 0", 4345856);
    EXPECT_TRUE(Locate());
    EXPECT_EQ(apps + "\\", folder);
}

TEST_F(Lookup, VersionsAndSizesOfTheTable)
{
    struct Case {
        const char* version;
        unsigned long size;
        bool accepted;
    };
    const Case cases[] = {
        { "1, 9, 2, 0", 3278336, true },   // second row of that version
        { "1, 9, 2, 0", 3277824, true },   // first row
        { "1, 9, 2, 0", 3278000, false },  // neither size
        { "2, 0, 1, 0", 0, true },         // any size
        { "2, 0, 1, 0", 1234567, true },
        { "1, 8, 2, 0", 0, true },         // oldest accepted
        { "1, 8, 1, 0", 0, false },        // too old
        { "3, 0, 4, 0", 4495360, true },   // rows 27 and 28 share a size
        { "3, 1, 3, 0", 0, true },         // this release: a stopped update is finished
        { "3, 1, 3, 0", 4211712, true },   // whatever its size
        { "3, 1, 4, 0", 0, false },        // newer than this release
        { "3,1,2,0", 4345856, false },     // written without the spaces
        { "3, 1, 2, 0 ", 4345856, false },
        { "", 0, false },
    };
    RegisterInstallFolder(product);
    for (const Case& c : cases) {
        PutMain(product, c.version, c.size);
        EXPECT_EQ(c.accepted, Locate()) << "\"" << c.version << "\" " << c.size;
    }
}

TEST_F(Lookup, OnlyTheJapaneseUnicodeBlockCounts)
{
    RegisterInstallFolder(product);
    PutMain(product, "3, 1, 2, 0", 4345856, "040904b0");
    EXPECT_FALSE(Locate());
    PutMain(product, "3, 1, 2, 0", 4345856, "");  // no version resource at all
    EXPECT_FALSE(Locate());
}

TEST_F(Lookup, RegisteredSubfolderIsAcceptedThroughTheRetry)
{
    MakeFolder(product + "\\Sub");
    PutMain(product, "3, 1, 2, 0", 4345856);
    RegisterInstallFolder(product + "\\Sub");
    EXPECT_TRUE(Locate());
    EXPECT_EQ(product + "\\", folder);
}

TEST_F(Lookup, TrailingSeparatorRetriesTheSameFolder)
{
    PutMain(product, "1, 8, 1, 0", 0);
    PutMain(apps, "3, 1, 2, 0", 4345856);  // must not be found: the retry stays in Product
    RegisterInstallFolder(product + "\\");
    EXPECT_FALSE(Locate());
    EXPECT_EQ(product + "\\", folder);

    char direct[PATH_BUFFER_SIZE];
    lstrcpyA(direct, (product + "\\").c_str());
    EXPECT_FALSE(IsAcceptedVersion(direct));
    EXPECT_EQ(product + "\\", std::string(direct));
}

TEST_F(Lookup, FolderEndingInADoubleByteCharacterWithTrailByte5C)
{
    std::string hyo = product + "\\" + Sjis(u8"表");
    ASSERT_EQ('\x5C', hyo.back());
    ASSERT_TRUE(MakeFolder(hyo));
    PutMain(hyo, "3, 1, 2, 0", 4345856);
    RegisterInstallFolder(hyo);
    EXPECT_TRUE(Locate());
    EXPECT_EQ(hyo, folder);
}

TEST_F(Lookup, NoKeyMeansNotInstalled)
{
    PutMain(product, "3, 1, 2, 0", 4345856);
    EXPECT_FALSE(Locate());
}

// An empty or unreadable "Path" leaves the folder empty, and an empty or
// relative folder is no installation, even though the bare file name (or the
// relative path) would find an accepted copy in the current folder and
// beside the running program.
TEST_F(Lookup, EmptyOrRelativeFolderIsNotAnInstallation)
{
    std::string own = TestProgramFolder();
    PutMain(root, "3, 1, 2, 0", 4345856);
    PutMain(own.substr(0, own.size() - 1), "3, 1, 2, 0", 4345856);
    SetCurrentDirectoryA(root.c_str());

    WriteStringValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Other", "x");  // key without "Path"
    EXPECT_FALSE(Locate());
    RegisterInstallFolder("");
    EXPECT_FALSE(Locate());
    std::string leadingZero = std::string(1, '\0') + product;
    WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_BINARY, leadingZero.data(),
                  static_cast<DWORD>(leadingZero.size()));
    EXPECT_FALSE(Locate());
    EXPECT_EQ("", folder);
    std::string tooLong = product + "\\" + std::string(300 - product.size(), 'x');
    RegisterInstallFolder(tooLong);
    EXPECT_FALSE(Locate());
    RegisterInstallFolder("TOLVANE.EXE");  // a name without a folder: the retry folder is empty
    EXPECT_FALSE(Locate());
    EXPECT_EQ("", folder);

    // Relative to the current folder, and relative to the current drive.
    MakeFolder(root + "\\Sub");
    PutMain(root + "\\Sub", "3, 1, 2, 0", 4345856);
    for (const char* relative : { "Sub", "Sub\\", ".\\Sub", "Sub\\Deeper" }) {
        RegisterInstallFolder(relative);
        EXPECT_FALSE(Locate()) << relative;
    }
    RegisterInstallFolder(root.substr(0, 2) + "Sub");  // "C:Sub": the current folder of drive C:
    EXPECT_FALSE(Locate());
    RegisterInstallFolder(root.substr(2) + "\\Sub");  // "\tolvane-tests\...", no drive
    EXPECT_FALSE(Locate());
    RegisterInstallFolder(root + "\\Sub");
    EXPECT_TRUE(Locate());
}

// The "Path" value's bytes exactly as stored, without a terminating zero
// (REG_BINARY, so that nothing adds one): the text ends where the stored
// bytes end, also at 259 and 260 bytes, the read limit.
TEST_F(Lookup, PathValueWithoutTerminatingZeroEndsWithItsBytes)
{
    PutMain(product, "3, 1, 2, 0", 4345856);
    WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_BINARY, product.data(),
                  static_cast<DWORD>(product.size()));
    EXPECT_TRUE(Locate());
    EXPECT_EQ(product, folder);

    // A subfolder name long enough that the value is 259 or 260 bytes: its
    // candidate does not fit a path buffer, and the retry finds the copy in
    // the parent. Read past its end, the name would run on into the 'G's
    // and be too long for the retry's split.
    for (size_t length : { 259u, 260u }) {
        std::string value = product + "\\" + std::string(length - product.size() - 1, 's');
        ASSERT_EQ(length, value.size());
        WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_BINARY, value.data(),
                      static_cast<DWORD>(value.size()));
        EXPECT_TRUE(Locate()) << length;
        EXPECT_EQ(product + "\\", folder) << length;
    }
}

// A program installed at a drive's root may be registered as "T:" (here a
// drive letter substituted for the product folder): "T:\TOLVANE.EXE" is an
// absolute candidate.
TEST_F(Lookup, FolderRegisteredAsABareDriveIsFound)
{
    PutMain(product, "3, 1, 2, 0", 4345856);
    ASSERT_TRUE(MapDrive("T:", product));
    RegisterInstallFolder("T:");
    bool found = Locate();
    UnmapDrive("T:");
    EXPECT_TRUE(found);
    EXPECT_EQ("T:", folder);
}

// A replacement of the main executable stopped between its two renames
// leaves the folder without TOLVANE.EXE but with the updater's own copy of
// it: the new one under its staged name, or the old one set aside. Either
// keeps the folder an installation; nothing else does.
TEST_F(Lookup, OwnCopyStandsForAMissingMainExecutable)
{
    RegisterInstallFolder(product);
    for (const char* copy : { "tl002.tmp", "tl002.old" }) {
        ASSERT_TRUE(WriteMainExecutable(product + "\\" + copy, JAPANESE_BLOCK,
                                        copy[6] == 't' ? "3, 1, 3, 0" : "3, 1, 2, 0",
                                        copy[6] == 't' ? 0 : 4345856));
        EXPECT_TRUE(Locate()) << copy;
        EXPECT_EQ(product, folder);
        PutMain(product, "1, 8, 1, 0", 0);  // a main executable that is not accepted
        EXPECT_FALSE(Locate()) << copy;
        DeleteFileA((product + "\\TOLVANE.EXE").c_str());
        ASSERT_TRUE(WriteMainExecutable(product + "\\" + copy, JAPANESE_BLOCK, "1, 8, 1, 0", 0));
        EXPECT_FALSE(Locate()) << copy;
        DeleteFileA((product + "\\" + copy).c_str());
    }
    ASSERT_TRUE(WriteMainExecutable(product + "\\tl001.tmp", JAPANESE_BLOCK, "3, 1, 3, 0", 0));
    EXPECT_FALSE(Locate()) << "only the main executable's own copies count";
}

// Only a REG_EXPAND_SZ value is expanded, within the 260 bytes of a path
// value; every other type is taken as text, as it is stored.
TEST_F(Lookup, OnlyAnExpandableValueIsExpanded)
{
    PutMain(product, "3, 1, 2, 0", 4345856);
    std::string text = product + std::string(1, '\0');
    WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_BINARY, text.data(),
                  static_cast<DWORD>(text.size()));
    EXPECT_TRUE(Locate());
    EXPECT_EQ(product, folder);

    DWORD number = 0x00434241;  // "ABC"
    WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_DWORD, &number, sizeof number);
    EXPECT_FALSE(Locate());

    SetEnvironmentVariableA("TOLVANE_TEST_PRODUCT", product.c_str());
    const std::string expandable = "%TOLVANE_TEST_PRODUCT%";
    for (DWORD type : { REG_SZ, REG_EXPAND_SZ }) {
        WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", type, expandable.c_str(),
                      static_cast<DWORD>(expandable.size() + 1));
        EXPECT_EQ(type == REG_EXPAND_SZ, Locate()) << type;
    }
    EXPECT_EQ(product, folder);
    // An expansion longer than a path value is no installation.
    SetEnvironmentVariableA("TOLVANE_TEST_PRODUCT",
                            (product + "\\" + std::string(260 - product.size(), '.') + "\\..").c_str());
    EXPECT_FALSE(Locate());
    SetEnvironmentVariableA("TOLVANE_TEST_PRODUCT", nullptr);
}

}  // namespace
