// Path, text, percentage and string-table helpers, run under code page 932.
#include <windows.h>
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "common/lead_bytes.h"
#include "common/own_folder.h"
#include "common/path_helpers.h"
#include "common/percent.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "res/resource.h"
#include "support/scratch_files.h"
#include "support/sjis.h"

namespace {

// A buffer with guard bytes on both sides, to catch writes past either end.
struct GuardedBuffer {
    static const int GUARD = 16;
    explicit GuardedBuffer(unsigned int size) : size(size), bytes(size + 2 * GUARD, '\x5A') {}
    char* data() { return &bytes[GUARD]; }
    bool GuardsIntact() const
    {
        for (int i = 0; i < GUARD; ++i)
            if (bytes[i] != '\x5A' || bytes[GUARD + size + i] != '\x5A')
                return false;
        return true;
    }
    unsigned int size;
    std::string bytes;
};

// "表" and "ソ" end in 0x5C in code page 932.
const std::string HYO = Sjis(u8"表");
const std::string SO = Sjis(u8"ソ");

TEST(CodePage, TestsRunUnderShiftJis)
{
    ASSERT_EQ(932u, GetACP());
    ASSERT_EQ('\x5C', HYO[1]);
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xDF));
    EXPECT_FALSE(IsLeadByte(0xFD));
    EXPECT_FALSE(IsLeadByte('\\'));
}

struct MakePathCase {
    const char* drive;
    std::string dir;
    const char* name;
    const char* ext;
    std::string expected;
};

TEST(MakePath, JoinsPartsWithOneSeparator)
{
    const MakePathCase cases[] = {
        { nullptr, "C:\\Dir", "A.EXE", nullptr, "C:\\Dir\\A.EXE" },
        { nullptr, "C:\\Dir\\", "A.EXE", nullptr, "C:\\Dir\\A.EXE" },
        { nullptr, "C:/Dir/", "A.EXE", nullptr, "C:/Dir/A.EXE" },
        { nullptr, "", "A.EXE", nullptr, "A.EXE" },
        { nullptr, std::string(), nullptr, nullptr, "" },
        { "C:", "\\Apps\\", "X", "txt", "C:\\Apps\\X.txt" },
        { "D", "\\Apps", "X", ".txt", "D:\\Apps\\X.txt" },
        { "", "Apps", "", "", "Apps\\" },
        { nullptr, "C:\\" + HYO, "A.EXE", nullptr, "C:\\" + HYO + "\\A.EXE" },
        { nullptr, "C:\\" + SO, "A.EXE", nullptr, "C:\\" + SO + "\\A.EXE" },
        { nullptr, "C:\\" + SO + "\\", "A.EXE", nullptr, "C:\\" + SO + "\\A.EXE" },
    };
    for (const MakePathCase& c : cases) {
        char out[PATH_BUFFER_SIZE];
        EXPECT_TRUE(MakePath(out, sizeof out, c.drive, c.dir.c_str(), c.name, c.ext)) << c.expected;
        EXPECT_EQ(c.expected, out);
    }
}

TEST(MakePath, ResultThatDoesNotFitFailsWithoutWritingPastTheBuffer)
{
    std::string dir(20, 'd');
    // "ddd...d\\name" is 20 + 1 + 4 = 25 bytes plus the terminator.
    for (unsigned int size = 1; size <= 30; ++size) {
        GuardedBuffer out(size);
        bool fits = MakePath(out.data(), size, nullptr, dir.c_str(), "name", nullptr);
        EXPECT_EQ(size >= 26, fits) << size;
        EXPECT_TRUE(out.GuardsIntact()) << size;
        if (!fits)
            EXPECT_EQ('\0', out.data()[0]) << size;
        else
            EXPECT_EQ(dir + "\\name", out.data());
    }
    GuardedBuffer empty(0);
    EXPECT_FALSE(MakePath(empty.data(), 0, "C", "x", "y", "z"));
    EXPECT_TRUE(empty.GuardsIntact());
}

TEST(MakePath, OverflowInEveryPartIsCaught)
{
    std::string big(300, 'x');
    char out[PATH_BUFFER_SIZE];
    EXPECT_FALSE(MakePath(out, sizeof out, nullptr, big.c_str(), "a", nullptr));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(MakePath(out, sizeof out, nullptr, "C:\\", big.c_str(), nullptr));
    EXPECT_FALSE(MakePath(out, sizeof out, nullptr, "C:\\", "a", big.c_str()));
    std::string edge(268, 'y');  // "C:" + 268 bytes = 270: one byte too many
    EXPECT_FALSE(MakePath(out, sizeof out, "C", edge.c_str(), nullptr, nullptr));
    edge.resize(266);  // "C:" + 266 + "\\" = 269 and terminator
    EXPECT_TRUE(MakePath(out, sizeof out, "C", edge.c_str(), nullptr, nullptr));
    EXPECT_EQ(269u, strlen(out));
}

struct SplitCase {
    std::string path, drive, dir, name, ext;
};

TEST(SplitPath, SplitsAtTheLastSeparatorAndDot)
{
    const SplitCase cases[] = {
        { "C:\\Program Files\\Maker\\App", "C:", "\\Program Files\\Maker\\", "App", "" },
        { "C:\\Program Files\\Maker\\App\\", "C:", "\\Program Files\\Maker\\App\\", "", "" },
        { "C:\\Dir\\A.EXE", "C:", "\\Dir\\", "A", ".EXE" },
        { "C:\\a.b\\c", "C:", "\\a.b\\", "c", "" },
        { "x.tar.gz", "", "", "x.tar", ".gz" },
        { "\\\\server\\share\\f.txt", "", "\\\\server\\share\\", "f", ".txt" },
        { "C:", "C:", "", "", "" },
        { "", "", "", "", "" },
        { "C:/a/b", "C:", "/a/", "b", "" },
        // The trail byte 0x5C of a double-byte character is not a separator.
        { "C:\\" + HYO + "\\x.txt", "C:", "\\" + HYO + "\\", "x", ".txt" },
        { "C:\\" + SO, "C:", "\\", SO, "" },
        { "C:\\" + SO + SO + ".ab", "C:", "\\", SO + SO, ".ab" },
    };
    for (const SplitCase& c : cases) {
        char drive[PATH_DRIVE_SIZE], dir[PATH_PART_SIZE], name[PATH_PART_SIZE], ext[PATH_PART_SIZE];
        EXPECT_TRUE(SplitPath(c.path.c_str(), drive, dir, name, ext)) << c.path;
        EXPECT_EQ(c.drive, drive) << c.path;
        EXPECT_EQ(c.dir, dir) << c.path;
        EXPECT_EQ(c.name, name) << c.path;
        EXPECT_EQ(c.ext, ext) << c.path;
    }
}

TEST(SplitPath, AbsentOutputsAreNotProduced)
{
    char dir[PATH_PART_SIZE];
    EXPECT_TRUE(SplitPath("C:\\a\\b.c", nullptr, dir, nullptr, nullptr));
    EXPECT_STREQ("\\a\\", dir);
}

TEST(SplitPath, LongPartsAreCutAt255BytesAndReported)
{
    std::string longName(300, 'n');
    GuardedBuffer dir(PATH_PART_SIZE), name(PATH_PART_SIZE), ext(PATH_PART_SIZE);
    char drive[PATH_DRIVE_SIZE];
    std::string path = "C:\\" + longName + "\\" + longName + "." + longName;
    EXPECT_FALSE(SplitPath(path.c_str(), drive, dir.data(), name.data(), ext.data()));
    EXPECT_EQ(255u, strlen(dir.data()));
    EXPECT_EQ(255u, strlen(name.data()));
    EXPECT_EQ(255u, strlen(ext.data()));
    EXPECT_TRUE(dir.GuardsIntact());
    EXPECT_TRUE(name.GuardsIntact());
    EXPECT_TRUE(ext.GuardsIntact());

    std::string exact = "C:\\" + std::string(254, 'd') + "\\f";  // directory of 256 bytes
    EXPECT_FALSE(SplitPath(exact.c_str(), drive, dir.data(), name.data(), ext.data()));
    exact = "C:\\" + std::string(253, 'd') + "\\f";  // directory of 255 bytes
    EXPECT_TRUE(SplitPath(exact.c_str(), drive, dir.data(), name.data(), ext.data()));
}

TEST(PercentOf, FollowsTheProgressOfThirtyFourRows)
{
    const unsigned int expected[34] = { 2,  5,  8,  11, 14, 17, 20, 23, 26, 29, 32, 35,
                                        38, 41, 44, 47, 50, 52, 55, 58, 61, 64, 67, 70,
                                        73, 76, 79, 82, 85, 88, 91, 94, 97, 100 };
    for (unsigned int done = 1; done <= 34; ++done)
        EXPECT_EQ(expected[done - 1], PercentOf(34, done)) << done;
}

TEST(PercentOf, EdgeValues)
{
    EXPECT_EQ(1u, PercentOf(300, 1));
    EXPECT_EQ(1u, PercentOf(0, 5));
    EXPECT_EQ(0u, PercentOf(5, 0));
    EXPECT_EQ(0u, PercentOf(0, 0));
    EXPECT_EQ(200u, PercentOf(1, 2));
    EXPECT_EQ(0xFFFFFFFFu, PercentOf(1, 0xFFFFFFFFu));
    EXPECT_EQ(100u, PercentOf(0xFFFFFFFFu, 0xFFFFFFFFu));
}

#if defined(__i386__)
// Double precision whatever the x87 is set to: the 32-bit test programs'
// C runtime sets 64-bit precision, under which these come out otherwise,
// rounded to a double at the end or not (100, 60, 50; 59, 29, 14); the
// updater itself starts at Windows' 53 bits. PercentOf leaves the caller's
// setting as it was. (The x86_64 build computes in SSE doubles and has no
// such setting, so the test is built only for i686.)
TEST(PercentOf, DoublePrecisionWhateverTheFpuPrecision)
{
    unsigned short found = 0, extended = 0x037F, after = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(found));
    __asm__ __volatile__("fldcw %0" : : "m"(extended));
    EXPECT_EQ(99u, PercentOf(97, 97));
    EXPECT_EQ(59u, PercentOf(195, 117));
    EXPECT_EQ(49u, PercentOf(194, 97));
    EXPECT_EQ(60u, PercentOf(35, 21));
    EXPECT_EQ(30u, PercentOf(70, 21));
    EXPECT_EQ(15u, PercentOf(140, 21));
    EXPECT_EQ(100u, PercentOf(0xFFFFFFFFu, 0xFFFFFFFFu));
    __asm__ __volatile__("fnstcw %0" : "=m"(after));
    __asm__ __volatile__("fldcw %0" : : "m"(found));
    EXPECT_EQ(extended, after);
}
#endif

TEST(LoadResString, AlternatesBetweenTwoBuffers)
{
    const char* caption = LoadResString(IDS_CAPTION);
    const char* text = LoadResString(IDS_DONE);
    EXPECT_NE(caption, text);
    EXPECT_EQ(Sjis(u8"Tolvane アップデーター"), caption);
    EXPECT_EQ(Sjis(u8"アップデートは正常に終了しました。"), text);
    const char* third = LoadResString(IDS_IO_ERROR);
    EXPECT_EQ(caption, third);
    EXPECT_EQ(Sjis(u8"予期せぬI/Oエラーが発生しました。\nハードディスク容量や起動しているソフトがないことをご確認下さい。"),
              third);
    EXPECT_EQ(Sjis(u8"アップデートは正常に終了しました。"), text);
}

TEST(LoadResString, HoldsTheRegistryAndFolderNames)
{
    EXPECT_STREQ("\\StringFileInfo\\041104b0\\FileVersion", LoadResString(IDS_VERSION_QUERY));
    EXPECT_STREQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TOLVANE.EXE",
                 LoadResString(IDS_APP_PATHS_KEY));
    EXPECT_STREQ("Tolvane Data", LoadResString(IDS_DATA_FOLDER));
    EXPECT_STREQ("Morvex\\Tolvane", LoadResString(IDS_SETTINGS_KEY));
    EXPECT_STREQ("DVDCompatible", LoadResString(IDS_DVD_COMPATIBLE));
    EXPECT_STREQ("", LoadResString(9999));
}

// Every message box text goes through wsprintfA with two texts: a message
// holds a "%s" for each thing it names, and no other '%', which would
// garble it or read an argument that is not there.
TEST(LoadResString, MessagesNameWhatTheirBoxesPassThem)
{
    struct Message {
        unsigned int id;
        size_t names;
    };
    for (const Message& message : { Message{ IDS_NOT_INSTALLED, 0 }, Message{ IDS_DONE, 0 },
                                    Message{ IDS_IO_ERROR, 0 }, Message{ IDS_DAMAGED, 0 },
                                    Message{ IDS_PATH_TOO_LONG, 0 }, Message{ IDS_READ_ERROR, 0 },
                                    Message{ IDS_UPDATER_ALONE, 0 }, Message{ IDS_FILE_IN_USE, 1 },
                                    Message{ IDS_TOLVANE_RUNNING, 1 }, Message{ IDS_NEED_ADMIN, 1 },
                                    Message{ IDS_NO_ROOM, 2 }, Message{ IDS_DATA_STAYED, 2 } }) {
        std::string text = LoadResString(message.id);
        ASSERT_FALSE(text.empty()) << message.id;
        size_t percents = 0, names = 0;
        for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
            ++percents;
            names += text.compare(at, 2, "%s") == 0;
        }
        EXPECT_EQ(message.names, percents) << message.id;
        EXPECT_EQ(message.names, names) << message.id;
    }
}

TEST(GetOwnFolder, GivesTheProgramFolderWithItsSeparator)
{
    char out[PATH_BUFFER_SIZE];
    ASSERT_TRUE(GetOwnFolder(out, sizeof out));
    EXPECT_EQ(TestProgramFolder(), out);
}

TEST(GetOwnFolder, FailsRatherThanTruncating)
{
    std::string folder = TestProgramFolder();
    unsigned int needed = static_cast<unsigned int>(folder.size()) + 1;
    GuardedBuffer small(needed - 1);
    EXPECT_FALSE(GetOwnFolder(small.data(), needed - 1));
    EXPECT_EQ('\0', small.data()[0]);
    EXPECT_TRUE(small.GuardsIntact());
    GuardedBuffer exact(needed);
    EXPECT_TRUE(GetOwnFolder(exact.data(), needed));
    EXPECT_TRUE(exact.GuardsIntact());
}

TEST(CopyText, BoundsEveryWrite)
{
    GuardedBuffer out(4);
    EXPECT_TRUE(CopyText(out.data(), 4, "abc"));
    EXPECT_FALSE(AppendText(out.data(), 4, "d"));
    EXPECT_STREQ("abc", out.data());
    EXPECT_FALSE(CopyText(out.data(), 4, "abcd"));
    EXPECT_STREQ("", out.data());
    EXPECT_TRUE(out.GuardsIntact());
}

}  // namespace
