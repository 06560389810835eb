// Times the updater and its baselines from outside, the same way for each:
//   bench_driver install <TLUPDATE.exe>          Start press to the outcome box,
//                                                then the longest time the window
//                                                took to answer a probe meanwhile
//   bench_driver baseline <bench_baseline.exe> <copy|verinstall> <installation folder>
//                                                Start press to its success box
//   bench_driver startup <exe> <caption>         process start to an idle window
// Prints the milliseconds measured on one line.
#include <windows.h>
#include <cstdio>
#include <string>
#include "support/answer_probe.h"
#include "support/box_watcher.h"
#include "support/sjis.h"
#include "support/updater_process.h"
#include "bench_clock.h"

namespace {

struct Found {
    HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data)
{
    if (IsMessageBox(window)) {
        reinterpret_cast<Found*>(data)->box = window;
        return FALSE;
    }
    return TRUE;
}

// Polls for a message box of the thread every millisecond.
HWND WaitForBox(DWORD thread, HWND except, DWORD timeoutMs)
{
    double deadline = Now() + timeoutMs;
    while (Now() < deadline) {
        Found found;
        EnumThreadWindows(thread, FindBox, reinterpret_cast<LPARAM>(&found));
        if (found.box != nullptr && found.box != except)
            return found.box;
        Sleep(1);
    }
    return nullptr;
}

void Answer(HWND box, int id)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

int Install(const std::string& exe)
{
    UpdaterProcess updater;
    if (!updater.Start(exe))
        return 1;
    WaitForInputIdle(updater.process, 10000);
    AnswerProbe probe(updater.dialog, 100);
    double start = Now();
    PressButton(updater.dialog, IDOK);
    HWND box = WaitForBox(updater.threadId, nullptr, 120000);
    double end = Now();
    probe.Stop();
    if (box == nullptr)
        return 1;
    // Only a complete update counts.
    if (ReadMessageBox(box).text != Sjis(u8"アップデートは正常に終了しました。")) {
        printf("not a complete update\n");
        Answer(box, IDOK);
        return 1;
    }
    printf("%.1f %lu\n", end - start, static_cast<unsigned long>(probe.LongestUnanswered()));
    Answer(box, IDOK);
    Sleep(200);
    PressButton(updater.dialog, IDCANCEL);
    HWND question = WaitForBox(updater.threadId, box, 10000);
    if (question != nullptr)
        Answer(question, IDNO);
    updater.WaitForExit(10000);
    return 0;
}

int Baseline(const std::string& exe, const std::string& mode, const std::string& folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + exe + "\" " + mode + " \"" + folder + "\"";
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
    HWND dialog = WaitForThreadWindow(info.dwThreadId, "Baseline", 20000);
    if (dialog == nullptr)
        return 1;
    WaitForInputIdle(info.hProcess, 10000);
    double start = Now();
    PressButton(dialog, IDOK);
    HWND done = WaitForBox(info.dwThreadId, nullptr, 120000);
    double end = Now();
    if (done == nullptr || ReadMessageBox(done).text != Sjis(u8"アップデートは正常に終了しました。"))
        return 1;
    printf("%.1f\n", end - start);
    Answer(done, IDOK);
    Sleep(200);
    PressButton(dialog, IDCANCEL);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

int Startup(const std::string& exe, const std::string& caption)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + exe + "\"";
    double start = Now();
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
    HWND window = WaitForThreadWindow(info.dwThreadId, caption, 20000);
    WaitForInputIdle(info.hProcess, 10000);
    double end = Now();
    if (window == nullptr)
        return 1;
    printf("%.1f\n", end - start);
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "install" && argc == 3)
        return Install(argv[2]);
    if (mode == "baseline" && argc == 5)
        return Baseline(argv[2], argv[3], argv[4]);
    if (mode == "startup" && argc == 4)
        return Startup(argv[2], std::string(argv[3]) == "updater"
                                    ? Sjis(u8"Tolvane アップデーター Ver 3.13") : argv[3]);
    fprintf(stderr, "usage: bench_driver install|baseline|startup ...\n");
    return 2;
}
