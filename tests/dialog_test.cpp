// The updater window as a user sees it: the real executable in its own
// process, inspected and driven from this one; the exit handling with a
// completed update, driven in this process.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
#include "common/app_state.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/sjis.h"
#include "support/updater_process.h"

namespace {

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window)
{
    int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    std::string text(length + 1, '\0');
    SendMessageA(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    return text;
}

// The raw terms resource without its terminating zero.
std::string TermsResource()
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_TERMS), RT_RCDATA);
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    DWORD size = SizeofResource(nullptr, found);
    return std::string(data, size ? size - 1 : 0);
}

struct ExpectedControl {
    int id;
    const char* className;
    std::string text;
    int x, y, w, h;
};

class UpdaterWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(updater.Start(BuiltUpdaterPath())); }
    UpdaterProcess updater;
};

TEST_F(UpdaterWindow, HasItsCaptionAndNoCloseBox)
{
    LONG style = GetWindowLongA(updater.dialog, GWL_STYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_EQ(Sjis(u8"Tolvane アップデーター Ver 3.13"), TextOf(updater.dialog));
}

TEST_F(UpdaterWindow, HoldsEveryControlInTemplateOrder)
{
    // Dialog units to pixels from the client size (306 x 189 units).
    RECT client;
    GetClientRect(updater.dialog, &client);
    auto px = [&](int units, bool horizontal) {
        return horizontal ? MulDiv(units, client.right, 306) : MulDiv(units, client.bottom, 189);
    };
    const ExpectedControl expected[] = {
        { IDOK, "Button", Sjis(u8"開始(&S)"), 93, 168, 50, 14 },
        { IDCANCEL, "Button", Sjis(u8"終了(&C)"), 162, 168, 50, 14 },
        { IDC_PROGRESS, "msctls_progress32", "Progress1", 98, 144, 201, 10 },
        { -1, "Static", Sjis(u8"使用許諾に同意していただける場合には、開始を押して下さい。"), 98, 129, 201, 8 },
        // A bitmap picture control takes the size of its 144 x 216 bitmap.
        { -1, "Static", "", 7, 7, 0, 0 },
        { -1, "Static", "", 7, 160, 292, 1 },
        { IDC_TERMS, "Edit", TermsResource(), 97, 7, 202, 107 },
        { -1, "Static", Sjis(u8"Windows NT4.0/2000/XPでは、アドミニストレータで実行してください。"), 98, 118, 202, 8 },
        { IDC_LOGO, "Static", "", 233, 166, 66, 16 },
    };
    HWND child = GetWindow(updater.dialog, GW_CHILD);
    for (const ExpectedControl& c : expected) {
        ASSERT_NE(nullptr, child) << c.className;
        EXPECT_EQ(c.id, static_cast<int>(static_cast<short>(GetDlgCtrlID(child))));
        EXPECT_STRCASEEQ(c.className, ClassOf(child).c_str());
        bool picture = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
        if (c.id != IDC_PROGRESS && !picture) {
            EXPECT_EQ(c.text, TextOf(child)) << c.id;
        }
        RECT r;
        GetWindowRect(child, &r);
        POINT origin = { r.left, r.top };
        ScreenToClient(updater.dialog, &origin);
        EXPECT_NEAR(px(c.x, true), origin.x, 2) << c.id << " x";
        EXPECT_NEAR(px(c.y, false), origin.y, 2) << c.id << " y";
        if (c.w == 0) {
            EXPECT_TRUE(picture);
            EXPECT_EQ(144, r.right - r.left);
            EXPECT_EQ(216, r.bottom - r.top);
            EXPECT_NE(0, SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        } else {
            EXPECT_NEAR(px(c.w, true), r.right - r.left, 2) << c.id << " w";
            EXPECT_NEAR(px(c.h, false), r.bottom - r.top, 2) << c.id << " h";
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child);

    HWND terms = GetDlgItem(updater.dialog, IDC_TERMS);
    LONG termsStyle = GetWindowLongA(terms, GWL_STYLE);
    EXPECT_TRUE(termsStyle & ES_MULTILINE);
    EXPECT_TRUE(termsStyle & ES_READONLY);
    EXPECT_TRUE(termsStyle & WS_VSCROLL);
    EXPECT_FALSE(termsStyle & WS_TABSTOP);
    EXPECT_TRUE(GetWindowLongA(terms, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(updater.dialog, IDC_LOGO)));
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(updater.dialog, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(UpdaterWindow, TermsBoxHoldsExactlyTheResourceText)
{
    std::string terms = TermsResource();
    EXPECT_GT(terms.size(), 4000u);
    EXPECT_EQ(std::string::npos, terms.find('\0'));
    EXPECT_NE(std::string::npos, terms.find(Sjis(u8"1.82")));
    EXPECT_EQ(terms, TextOf(GetDlgItem(updater.dialog, IDC_TERMS)));
}

// The range is watched as the dialog is made: 0..100 is also the control's
// own default, so reading it back afterwards would prove nothing.
std::vector<LPARAM> RangesSet;

LRESULT CALLBACK WatchProgressRange(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == PBM_SETRANGE && GetDlgCtrlID(sent->hwnd) == IDC_PROGRESS)
        RangesSet.push_back(sent->lParam);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(ProgressBar, StartsEmptyWithItsRangeSetToZeroToHundred)
{
    RangesSet.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchProgressRange, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UPDATER),
                                     nullptr, UpdaterDialogProc, 0);
    UnhookWindowsHookEx(hook);
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(1u, RangesSet.size());
    EXPECT_EQ(MAKELPARAM(0, 100), RangesSet[0]);
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETRANGE, TRUE, 0));
    EXPECT_EQ(100, SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    DestroyWindow(dialog);
}

TEST_F(UpdaterWindow, ExitClosesWithoutAQuestion)
{
    BoxWatcher boxes(updater.threadId, { IDNO });
    PressButton(updater.dialog, IDCANCEL);
    EXPECT_EQ(0u, updater.WaitForExit(10000));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(UpdaterWindow, EscClosesWithoutAQuestion)
{
    BoxWatcher boxes(updater.threadId, { IDNO });
    PressKey(updater.threadId, VK_ESCAPE);
    EXPECT_EQ(0u, updater.WaitForExit(10000));
    EXPECT_TRUE(boxes.Boxes().empty());
}

// A screenshot of the running window, checked: the terms box is black text
// on white, and the logo stands at the hidden IDC_LOGO frame with its white
// pixels showing the dialog's own background. Kept in the build tree.
TEST_F(UpdaterWindow, ScreenshotShowsTermsOnWhiteAndTheLogoAtItsFrame)
{
    SetForegroundWindow(updater.dialog);
    RedrawWindow(updater.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Sleep(700);
    RECT window;
    GetWindowRect(updater.dialog, &window);
    int w = window.right - window.left, h = window.bottom - window.top;

    HDC screen = GetDC(nullptr);
    std::vector<DWORD> bits = CapturePixels(screen, window.left, window.top, w, h);
    auto at = [&](POINT screenPoint) {
        return bits[(screenPoint.y - window.top) * w + (screenPoint.x - window.left)] & 0xFFFFFF;
    };

    // Keep the picture for people to look at.
    std::string folder = TestProgramFolder() + "artifacts";
    MakeFolder(folder);
    EXPECT_TRUE(WriteFileBytes(folder + "\\updater-window.bmp", BmpOf(bits, w, h)));

    // Terms box: white background, some black text pixels.
    RECT terms;
    GetWindowRect(GetDlgItem(updater.dialog, IDC_TERMS), &terms);
    int white = 0, black = 0, other = 0;
    for (int y = terms.top + 3; y < terms.bottom - 3; ++y)
        for (int x = terms.left + 3; x < terms.right - 24; ++x) {
            DWORD p = at(POINT{ x, y });
            if (p == 0xFFFFFF)
                ++white;
            else if (p == 0)
                ++black;
            else
                ++other;
        }
    EXPECT_GT(white, (white + black + other) / 2);
    EXPECT_GT(black, 200);

    // Logo: compare with the bitmap resource, pixel for pixel.
    RECT frame;
    GetWindowRect(GetDlgItem(updater.dialog, IDC_LOGO), &frame);
    DWORD background = GetSysColor(COLOR_BTNFACE);
    background = ((background & 0xFF) << 16) | (background & 0xFF00) | ((background >> 16) & 0xFF);
    HBITMAP logo = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_LOGO));
    BITMAPINFO logoInfo = {};
    logoInfo.bmiHeader.biSize = sizeof logoInfo.bmiHeader;
    logoInfo.bmiHeader.biWidth = 110;
    logoInfo.bmiHeader.biHeight = -28;
    logoInfo.bmiHeader.biPlanes = 1;
    logoInfo.bmiHeader.biBitCount = 32;
    std::vector<DWORD> logoBits(110 * 28);
    GetDIBits(screen, logo, 0, 28, logoBits.data(), &logoInfo, DIB_RGB_COLORS);
    // Only the part inside the client area can show; the font decides how
    // much of the 110 x 28 logo fits before the dialog's right edge.
    RECT client;
    GetClientRect(updater.dialog, &client);
    POINT clientEnd = { client.right, client.bottom };
    ClientToScreen(updater.dialog, &clientEnd);
    int matching = 0, whiteShowsBackground = 0, whiteCount = 0, colouredCount = 0;
    for (int y = 0; y < 28 && frame.top + y < clientEnd.y; ++y)
        for (int x = 0; x < 110 && frame.left + x < clientEnd.x; ++x) {
            DWORD expected = logoBits[y * 110 + x] & 0xFFFFFF;
            DWORD shown = at(POINT{ frame.left + x, frame.top + y });
            if (expected == 0xFFFFFF) {
                ++whiteCount;
                whiteShowsBackground += shown == background;
            } else {
                ++colouredCount;
                matching += shown == expected;
            }
        }
    EXPECT_GT(colouredCount, 300);
    EXPECT_EQ(colouredCount, matching);
    EXPECT_EQ(whiteCount, whiteShowsBackground);
    EXPECT_GT(whiteCount, 1000);
    DeleteObject(logo);
    ReleaseDC(nullptr, screen);
}

// The restart question after a completed update, with the real dialog
// procedure in this process. Yes is driven only end to end (a separate
// updater process), because the restart it requests ends every windowed
// process of the session, this test program included.
class ExitAfterUpdate : public ::testing::Test {
protected:
    void SetUp() override { RestartPending = true; }
    void TearDown() override { RestartPending = false; }

    // Runs the dialog modally here, pressing Exit (or Esc) once it shows.
    INT_PTR RunAndLeave(bool useEsc, std::vector<SeenBox>* seen)
    {
        DWORD self = GetCurrentThreadId();
        BoxWatcher boxes(self, { IDNO });
        std::thread presser([&] {
            HWND dialog = WaitForThreadWindow(self, Sjis(u8"Tolvane アップデーター Ver 3.13"), 10000);
            if (dialog == nullptr)
                return;
            if (useEsc)
                PressKey(self, VK_ESCAPE);
            else
                PressButton(dialog, IDCANCEL);
        });
        ModalDeadline deadline(30000);
        INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UPDATER),
                                         nullptr, UpdaterDialogProc, 0);
        presser.join();
        EXPECT_FALSE(deadline.Expired()) << "the dialog did not close; ended after 30 s";
        *seen = boxes.Boxes();
        return result;
    }
};

TEST_F(ExitAfterUpdate, ExitAsksToRestartAndNoCloses)
{
    std::vector<SeenBox> seen;
    EXPECT_EQ(0, RunAndLeave(false, &seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(Sjis(u8"Tolvane アップデーター"), seen[0].caption);
    EXPECT_EQ(Sjis(u8"ソフトを使用するためには、システムを再起動する必要があります。\n今すぐ再起動しても宜しいですか？"),
              seen[0].text);
    EXPECT_TRUE(seen[0].hasYes);
    EXPECT_TRUE(seen[0].hasNo);
    EXPECT_FALSE(seen[0].hasOk);
    EXPECT_EQ(BoxIcon::Information, seen[0].icon);
}

TEST_F(ExitAfterUpdate, EscAsksTheSameQuestion)
{
    std::vector<SeenBox> seen;
    EXPECT_EQ(0, RunAndLeave(true, &seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(Sjis(u8"ソフトを使用するためには、システムを再起動する必要があります。\n今すぐ再起動しても宜しいですか？"),
              seen[0].text);
}

}  // namespace
