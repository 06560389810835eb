// Path, text, percentage and string-table helpers, run under code page 932.
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include "common/lead_bytes.h"
#include "common/own_folder.h"
#include "common/path_helpers.h"
#include "common/percent.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "res/resource.h"
#include "support/platform_calls.h"
#include "support/relay_trace.h"
#include "support/scratch_files.h"
#include "support/updater_process.h"
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

// Every message box text goes through wsprintfA with four texts: a message
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
                                    Message{ IDS_PATH_TOO_LONG, 1 }, Message{ IDS_READ_ERROR, 0 },
                                    Message{ IDS_UPDATER_ALONE, 0 }, Message{ IDS_FILE_IN_USE, 1 }, Message{ IDS_FILE_IN_USE_BY, 2 }, Message{ IDS_RESTART_FIRST, 0 },
                                    Message{ IDS_TOLVANE_RUNNING, 1 }, Message{ IDS_NEED_ADMIN, 1 },
                                    Message{ IDS_FOLDER_TOO_LONG, 1 }, Message{ IDS_NO_ROOM, 2 },
                                    Message{ IDS_DATA_STAYED, 2 }, Message{ IDS_DATA_NO_ROOM, 4 },
                                    Message{ IDS_DATA_IN_USE, 3 }, Message{ IDS_DATA_DENIED, 2 },
                                    Message{ IDS_DATA_DIFFERS, 3 } }) {
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

// The check of traced calls against what each platform accepts, on a trace
// written as Wine writes it (x86_64 form: whole registers, with garbage in
// the upper halves of 32-bit values): only the updater's own calls count,
// and each kind of refusal is found on the platforms that refuse it.
TEST(PlatformCalls, TraceIsReadAndEachKindOfRefusalFound)
{
    const std::string exe = BuiltUpdaterPath();
    unsigned long long base = 0, size = 0;
    ASSERT_TRUE(ExecutableRange(exe, base, size));
    std::ostringstream address;
    address << std::hex << base + 0x1100;  // a return address in the updater's code
    const std::string own = address.str();
    std::string folder = MakeScratchFolder("platform-calls");
    std::string longPath = "C:\\\\" + std::string(257, 'x');  // 260 bytes once read: one too many
    std::string lines =
        "0030:0034:Call KERNEL32.GetVersionExA(14000f020) ret=" + own + "\n"
        "0030:0034:Call window proc 0x140003280 (hwnd=0x1004a,msg=WM_PAINT,wp=00000000,lp=00000000)\n"
        "0030:0034:Call KERNEL32.CreateFileA(0021f000 \"C:\\\\a\",00010000,00000007,00000000,deadbeef00000003,"
        "00000080,00000000) ret=" + own + "\n"
        "0030:0034:Call KERNEL32.CreateFileA(0021f000 \"" + longPath + "\",80000000,00000001,00000000,00000003,"
        "00000080,00000000) ret=" + own + "\n"
        "0030:0034:Call KERNEL32.GetFileAttributesA(0021f000 \"C:\\\\" + std::string(300, 'y') + "\"...) ret=" + own + "\n"
        "0030:0034:Call user32.MsgWaitForMultipleObjects(00000001,0021f000,00000000,ffffffff,000004ff) ret=" + own + "\n"
        "0030:0034:Call KERNEL32.CreateThread(00000000,00000000,140002000,0021f000,00000000,00000000) ret=" + own + "\n"
        "0030:0034:Call KERNEL32.GetProcAddress(7b000000,0021f000 \"GetLongPathNameA\") ret=" + own + "\n"
        "0030:0034:Call KERNEL32.FindFirstFileA(0021f000 \"C:\\\\folder\\\\\",0021f100) ret=" + own + "\n"
        // A folder asked with its separator; a drive's root, which keeps
        // it; a name whose last character's trail byte is 0x5C.
        "0030:0034:Call KERNEL32.GetFileAttributesA(0021f000 \"C:\\\\folder\\\\\") ret=" + own + "\n"
        "0030:0034:Call KERNEL32.GetFileAttributesA(0021f000 \"C:\\\\\") ret=" + own + "\n"
        "0030:0034:Call KERNEL32.GetFileAttributesA(0021f000 \"C:\\\\\\x95\\\\\") ret=" + own + "\n"
        "0030:0034:Call KERNEL32.ReplaceFileA(0021f000 \"C:\\\\a\") ret=" + own + "\n"
        "0030:0034:Call ntdll.memmove(0021f000,0021f100,00000010) ret=7b001234\n"
        "0040:0044:Call KERNEL32.ReplaceFileA(0021f000 \"C:\\\\a\") ret=" + own + "\n";
    const std::string trace = folder + "\\trace.txt";
    ASSERT_TRUE(WriteFileBytes(trace, lines));
    std::vector<RelayCall> calls = CallsFromExecutable(ReadRelayTrace(trace), 0x30, exe);
    ASSERT_EQ(12u, calls.size()) << "another process's calls, or calls from Wine's modules, were counted";
    EXPECT_EQ("CreateFileA", calls[1].function);
    EXPECT_EQ("C:\\a", calls[1].arguments[0].text);
    EXPECT_TRUE(calls[3].arguments[0].cut);

    auto refusals = [&calls](Platform platform) {
        PlatformCallCheck check;
        CheckPlatformCalls(calls, platform, check);
        std::string all;
        for (const std::string& why : check.refused)
            all += why + "\n";
        return all;
    };
    const std::string win95 = refusals(PLATFORM_WIN95), nt40 = refusals(PLATFORM_NT40), xp = refusals(PLATFORM_WINXP);
    // Refused everywhere: a path of 260 bytes, a path that the trace cut, a
    // trailing separator for FindFirstFileA and for a folder's attributes
    // (but not a root's, nor a double-byte character's trail byte), a
    // function without a row, a function looked up without a row.
    for (const std::string* refused : { &win95, &nt40, &xp })
        for (const char* part : { "path of 260 bytes", "cut short", "FindFirstFileA: path ends in a separator",
                                  "GetFileAttributesA: path ends in a separator: C:\\folder\\\n",
                                  "ReplaceFileA: no row", "looks up GetLongPathNameA" })
            EXPECT_NE(std::string::npos, refused->find(part)) << part << " in:\n" << *refused;
    // Only the 95 family: DELETE access and FILE_SHARE_DELETE, no thread id.
    EXPECT_NE(std::string::npos, win95.find("desired access 0x10000"));
    EXPECT_NE(std::string::npos, win95.find("thread id is NULL"));
    EXPECT_EQ(std::string::npos, nt40.find("desired access"));
    EXPECT_EQ(std::string::npos, nt40.find("thread id"));
    // The wake mask of XP, which 95 and NT 4.0 refuse.
    EXPECT_NE(std::string::npos, nt40.find("wake mask 0x4ff"));
    EXPECT_EQ(std::string::npos, xp.find("wake mask"));
    // The creation disposition's upper half is the register's, not the call's.
    EXPECT_EQ(std::string::npos, xp.find("disposition"));
    EXPECT_EQ(6u, static_cast<size_t>(std::count(xp.begin(), xp.end(), '\n'))) << xp;
    RemoveTree(folder);
}

}  // namespace
