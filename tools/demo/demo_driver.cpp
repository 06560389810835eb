// Drives the updater as a user would, for the demo, and photographs each
// step: the window and every message box, each picture cut to the window
// (and its box) with the caption. Each line it reports goes to standard
// output and to <report file>, in UTF-8.
//   demo_driver update <updater.exe> <screenshot folder> <report file> <yes|no>
//       Start, the outcome box (OK), Exit, the restart question (answered)
//   demo_driver not-installed <updater.exe> <screenshot folder> <report file>
//       Start on a machine without Tolvane, the box (OK), Exit
//   demo_driver labels <updater.exe> <report file>
//       each one-line label's text width in the dialog's own font against
//       its control's width
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "res/resource.h"
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/updater_process.h"

namespace {

const int SCREENSHOT_MARGIN = 12;

std::string ReportFile;

std::string Utf8(const std::string& ansi)
{
    int wide = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &w[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(bytes > 0 ? bytes - 1 : 0);
    return out;
}

void Say(const std::string& text)
{
    std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
              nullptr);
    HANDLE report = CreateFileA(ReportFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (report != INVALID_HANDLE_VALUE) {
        WriteFile(report, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(report);
    }
}

// Saves, as a BMP, the part of the screen that holds `first` and, when
// given, `second`, with a margin, so that the whole window and its caption show.
void Screenshot(const std::string& path, HWND first, HWND second = nullptr)
{
    RECT area, other;
    GetWindowRect(first, &area);
    if (second != nullptr && GetWindowRect(second, &other))
        UnionRect(&area, &area, &other);
    InflateRect(&area, SCREENSHOT_MARGIN, SCREENSHOT_MARGIN);
    RECT screen = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    IntersectRect(&area, &area, &screen);
    int w = area.right - area.left, h = area.bottom - area.top;
    HDC display = GetDC(nullptr);
    std::vector<DWORD> pixels = CapturePixels(display, area.left, area.top, w, h);
    ReleaseDC(nullptr, display);
    WriteFileBytes(path, BmpOf(pixels, w, h));
}

int Bar(HWND dialog)
{
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

// Presses a button of the dialog and waits for the box that follows; the box
// is photographed with the dialog, reported, and answered with `answer`.
bool PressAndAnswer(UpdaterProcess& updater, int button, int answer, const std::string& shot,
                    const std::string& what)
{
    HWND dialog = updater.dialog;
    BoxWatcher watcher(updater.threadId, { answer }, [&](HWND box, const SeenBox& seen) {
        Sleep(500);
        Screenshot(shot, dialog, box);
        Say(what + " [" + Utf8(seen.caption) + ", " + BoxIconName(seen.icon) + " icon, bar at " +
            std::to_string(Bar(dialog)) + "]: " + Utf8(seen.text));
    });
    PressButton(dialog, button);
    if (!watcher.WaitForBoxes(1, 120000)) {
        Say(what + ": no message box appeared");
        return false;
    }
    return true;
}

void WaitForButtons(HWND dialog)
{
    for (int i = 0; i < 200 && !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)); ++i)
        Sleep(50);
}

int Update(const std::string& exe, const std::string& shots, int answer)
{
    UpdaterProcess updater;
    if (!updater.Start(exe)) {
        Say("the updater window did not appear");
        return 1;
    }
    Sleep(1000);
    Screenshot(shots + "\\2-window-before-start.bmp", updater.dialog);
    Say("window shown before Start: screenshot 2-window-before-start");
    if (!PressAndAnswer(updater, IDOK, IDOK, shots + "\\3-finished.bmp", "message after Start"))
        return 1;
    WaitForButtons(updater.dialog);
    if (!PressAndAnswer(updater, IDCANCEL, answer, shots + "\\4-restart-question.bmp", "message after Exit"))
        return 1;
    Say(std::string("answered: ") + (answer == IDYES ? "Yes" : "No"));
    DWORD code = updater.WaitForExit(60000);
    Say(code == STILL_ACTIVE ? "the updater is still running"
                             : "the updater ended with exit code " + std::to_string(code));
    return 0;
}

int NotInstalled(const std::string& exe, const std::string& shots)
{
    UpdaterProcess updater;
    if (!updater.Start(exe)) {
        Say("the updater window did not appear");
        return 1;
    }
    Sleep(1000);
    if (!PressAndAnswer(updater, IDOK, IDOK, shots + "\\1-not-installed.bmp", "message after Start"))
        return 1;
    WaitForButtons(updater.dialog);
    BoxWatcher question(updater.threadId, { IDNO });
    PressButton(updater.dialog, IDCANCEL);
    DWORD code = updater.WaitForExit(20000);
    Say(question.Boxes().empty() ? "Exit closed the updater without a question"
                                 : "Exit asked: " + Utf8(question.Boxes()[0].text));
    return code == 0 ? 0 : 1;
}

INT_PTR CALLBACK PassiveDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The updater's own dialog template, made in this process (whose build and
// Wine match the updater's), so that each label's font is the one that the
// dialog manager chose for it.
int Labels(const std::string& exe)
{
    InitCommonControls();
    HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HWND dialog = image == nullptr ? nullptr
                                   : CreateDialogParamA(image, MAKEINTRESOURCEA(IDD_UPDATER),
                                                        nullptr, PassiveDialog, 0);
    if (dialog == nullptr) {
        Say("the dialog could not be made from " + exe);
        return 1;
    }
    int label = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32], text[256];
        GetClassNameA(child, className, sizeof className);
        LONG type = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
        int length = GetWindowTextA(child, text, sizeof text);
        if (lstrcmpiA(className, "Static") != 0 || type != SS_LEFT || length == 0)
            continue;
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        char face[LF_FACESIZE] = "";
        GetTextFaceA(dc, sizeof face, face);
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text, length, &extent);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        RECT client;
        GetClientRect(child, &client);
        Say("label " + std::to_string(++label) + " \"" + Utf8(text) + "\": text " +
            std::to_string(extent.cx) + " px, control " + std::to_string(client.right) + " px, " +
            (extent.cx <= client.right ? "fits" : "cut by " + std::to_string(extent.cx - client.right) + " px") +
            " (font " + Utf8(face) + ")");
    }
    DestroyWindow(dialog);
    FreeLibrary(image);
    return label == 2 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "update" && argc == 6) {
        ReportFile = argv[4];
        return Update(argv[2], argv[3], std::string(argv[5]) == "yes" ? IDYES : IDNO);
    }
    if (mode == "not-installed" && argc == 5) {
        ReportFile = argv[4];
        return NotInstalled(argv[2], argv[3]);
    }
    if (mode == "labels" && argc == 4) {
        ReportFile = argv[3];
        return Labels(argv[2]);
    }
    fprintf(stderr, "usage: demo_driver update <updater.exe> <screenshot folder> <report file> <yes|no>\n"
                    "       demo_driver not-installed <updater.exe> <screenshot folder> <report file>\n"
                    "       demo_driver labels <updater.exe> <report file>\n");
    return 2;
}
