// Launching the updater and driving its keyboard and buttons from outside.
#include "support/updater_process.h"
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/sjis.h"

std::string BuiltUpdaterPath()
{
    return TestProgramFolder() + "..\\TLUPDATE.exe";
}

UpdaterProcess::~UpdaterProcess()
{
    if (process != nullptr) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
            TerminateProcess(process, 99);
        CloseHandle(process);
    }
}

bool UpdaterProcess::Start(const std::string& exePath, const std::string& currentFolder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + exePath + "\"";
    std::string folder = currentFolder.empty() ? exePath.substr(0, exePath.find_last_of('\\'))
                                               : currentFolder;
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process = info.hProcess;
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
    dialog = WaitForThreadWindow(threadId, Sjis(u8"Tolvane アップデーター Ver 3.13"), 20000);
    return dialog != nullptr;
}

DWORD UpdaterProcess::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

bool UpdaterProcess::Running()
{
    return process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

HWND FocusedControl(DWORD threadId)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId, &info))
        return nullptr;
    return info.hwndFocus;
}

void PressKey(DWORD threadId, WORD key)
{
    HWND target = FocusedControl(threadId);
    if (target == nullptr) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(threadId, &info);
        target = info.hwndActive;
    }
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
