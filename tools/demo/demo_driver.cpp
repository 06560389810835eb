// Drives one update as a user would, for the demo: starts the updater,
// takes a screenshot of the window, presses Start, photographs and answers
// the outcome box, presses Exit, photographs the restart question and
// answers it. Prints what each box said, in UTF-8.
//   demo_driver <updater.exe> <screenshot folder> <yes|no>
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/updater_process.h"

namespace {

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
}

// Saves the whole screen (the virtual desktop) as a 24-bit BMP.
void Screenshot(const std::string& path)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP shot = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = ((w * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + stride * h;
    std::string bytes(reinterpret_cast<char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<char*>(&info.bmiHeader), sizeof info.bmiHeader);
    bytes.append(static_cast<char*>(bits), stride * h);
    WriteFileBytes(path, bytes);
    SelectObject(memory, old);
    DeleteObject(shot);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: demo_driver <updater.exe> <screenshot folder> <yes|no>\n");
        return 2;
    }
    std::string shots = argv[2];
    int answer = std::string(argv[3]) == "yes" ? IDYES : IDNO;
    UpdaterProcess updater;
    if (!updater.Start(argv[1])) {
        Say("the updater window did not appear");
        return 1;
    }
    HWND dialog = updater.dialog;
    Sleep(1000);
    Screenshot(shots + "\\1-window-before-start.bmp");
    Say("window shown before Start: screenshot 1-window-before-start");

    {
        BoxWatcher watcher(updater.threadId, { IDOK }, [&](HWND, const SeenBox& box) {
            Sleep(500);
            Screenshot(shots + "\\2-finished.bmp");
            int bar = static_cast<int>(SendMessageA(GetDlgItem(dialog, 1004), PBM_GETPOS, 0, 0));
            Say("message after Start [" + Utf8(box.caption) + ", " + BoxIconName(box.icon) +
                " icon, bar at " + std::to_string(bar) + "]: " + Utf8(box.text));
        });
        PressButton(dialog, IDOK);
        if (!watcher.WaitForBoxes(1, 120000)) {
            Say("no message after Start");
            return 1;
        }
        for (int i = 0; i < 100 && !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)); ++i)
            Sleep(50);
    }

    BoxWatcher watcher(updater.threadId, { answer }, [&](HWND, const SeenBox& box) {
        Sleep(500);
        Screenshot(shots + "\\3-restart-question.bmp");
        Say("message after Exit [" + Utf8(box.caption) + ", " + BoxIconName(box.icon) + " icon]: " +
            Utf8(box.text));
        Say(std::string("answered: ") + (answer == IDYES ? "Yes" : "No"));
    });
    PressButton(dialog, IDCANCEL);
    watcher.WaitForBoxes(1, 30000);
    DWORD code = updater.WaitForExit(60000);
    if (code == STILL_ACTIVE)
        Say("the updater is still running");
    else
        Say("the updater ended with exit code " + std::to_string(code));
    return 0;
}
