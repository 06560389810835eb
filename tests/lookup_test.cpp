// Finding the installed copy: the App Paths registration, the version
// resource and size of the main executable, and the parent-folder retry,
// against real files and the real registry of the test prefix.
//
// One case cannot be produced here: a key that can be read but not opened
// with full access. Wine's registry grants full access to every key in the
// prefix, so the refusal that makes the lookup fail on a locked-down NT
// machine is not reproducible, and no stand-in is used for it.
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
        SetCurrentDirectoryA(savedDirectory);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY);
        RemoveTree(root);
    }

    void PutMain(const std::string& folder, const std::string& version, unsigned long size,
                 const std::string& block = JAPANESE_BLOCK)
    {
        ASSERT_TRUE(WriteMainExecutable(folder + "\\TOLVANE.EXE", block, version, size));
    }

    // Runs the lookup; `folder` receives what it returned.
    bool Locate()
    {
        char buffer[PATH_BUFFER_SIZE + 16];
        memset(buffer, 'G', sizeof buffer);
        bool found = LocateInstallation(buffer);
        for (unsigned int i = PATH_BUFFER_SIZE; i < sizeof buffer; ++i)
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
        { "3, 1, 3, 0", 0, false },        // already updated
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
    PutMain(product, "3, 1, 3, 0", 0);
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

// An empty or unreadable "Path" leaves the folder empty: the candidate is
// then the bare file name, which the version functions look for themselves
// (the current folder among other places). An accepted copy there shows
// that the value was read as empty rather than as something else.
TEST_F(Lookup, EmptyOrUnreadablePathFallsBackToTheBareFileName)
{
    PutMain(root, "2, 0, 1, 0", 0);
    SetCurrentDirectoryA(root.c_str());

    WriteStringValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Other", "x");  // key without "Path"
    EXPECT_TRUE(Locate());
    EXPECT_EQ("", folder);

    RegisterInstallFolder("");
    EXPECT_TRUE(Locate());
    EXPECT_EQ("", folder);

    std::string tooLong = product + "\\" + std::string(300 - product.size(), 'x');
    RegisterInstallFolder(tooLong);
    EXPECT_TRUE(Locate());
    EXPECT_EQ("", folder);

    // Without the bare-name copy, each of them is simply not installed.
    DeleteFileA((root + "\\TOLVANE.EXE").c_str());
    EXPECT_FALSE(Locate());
}

TEST_F(Lookup, PathValueWithoutTerminatingZeroIsReadAsText)
{
    PutMain(product, "3, 1, 2, 0", 4345856);
    WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_SZ, product.data(),
                  static_cast<DWORD>(product.size()));
    EXPECT_TRUE(Locate());
    EXPECT_EQ(product, folder);
}

// 260 bytes without a zero fill the read limit exactly: the text is either
// taken whole (Windows) or the read fails for want of room for the
// terminator (Wine). Either way it names no accepted copy, and nothing is
// written past the path buffer (Locate checks the guard bytes).
TEST_F(Lookup, PathValueOfExactly260BytesWithoutZeroIsNoMatch)
{
    std::string value = product + "\\" + std::string(259 - product.size(), 'y');
    ASSERT_EQ(260u, value.size());
    WriteRawValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", REG_SZ, value.data(), 260);
    PutMain(product, "3, 1, 2, 0", 4345856);
    EXPECT_FALSE(Locate());
    EXPECT_LE(folder.size(), 260u);
}

TEST_F(Lookup, ValueTypeIsNotLookedAt)
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
    EXPECT_EQ("", folder);  // "ABC" has no directory part: the retry folder is empty
}

}  // namespace
