// Launching the updater and driving its keyboard and buttons from outside.
#include "support/updater_process.h"
#include <cstdio>
#include "support/box_watcher.h"
#include "support/scratch_files.h"
#include "support/sjis.h"

std::string BuiltUpdaterPath()
{
    return TestProgramFolder() + "..\\TLUPDATE.exe";
}

UpdaterProcess::~UpdaterProcess()
{
    Forget();
}

void UpdaterProcess::Forget()
{
    if (process != nullptr) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
            TerminateProcess(process, 99);
        CloseHandle(process);
    }
    process = nullptr;
    dialog = nullptr;
}

bool UpdaterProcess::Start(const std::string& exePath, const std::string& currentFolder, bool waitForDialog)
{
    Forget();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + exePath + "\"";
    std::string folder = currentFolder.empty() ? exePath.substr(0, exePath.find_last_of('\\'))
                                               : currentFolder;
    // Wine has now and then failed a start in this suite (right after an
    // updater was ended) for no cause the tests could see: the error is
    // printed and the start tried once more.
    for (int attempt = 0; !CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                          folder.c_str(), &startup, &info);
         ++attempt) {
        fprintf(stderr, "starting %s failed with error %lu\n", exePath.c_str(), GetLastError());
        if (attempt == 1)
            return false;
        Sleep(500);
    }
    CloseHandle(info.hThread);
    process = info.hProcess;
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
    if (!waitForDialog)
        return true;
    dialog = WaitForThreadWindow(threadId, Sjis(u8"Tolvane アップデーター Ver 3.13"), 20000);
    return dialog != nullptr;
}

static const char DEBUG_KEY[] = "Software\\Wine\\Debug";

bool UpdaterProcess::StartTraced(const std::string& exePath, const std::string& traceFile,
                                 const std::string& excluded)
{
    const std::string caption = Sjis(u8"Tolvane アップデーター Ver 3.13");
    // A function that no module has: a process that reads it traces nothing.
    const char nothing[] = "none.none";
    Forget();
    HWND before = FindWindowA(nullptr, caption.c_str());
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, DEBUG_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegDeleteValueA(key, "RelayInclude");
    RegSetValueExA(key, "RelayExclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(excluded.c_str()),
                   static_cast<DWORD>(excluded.size() + 1));
    // Wine's own loader, which it names to Windows programs only. In the
    // background: the shell ends at once, the program runs on.
    char loader[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("WINELOADER", loader, MAX_PATH);
    bool started = length != 0 && length < MAX_PATH &&
                   RunUnixShell("cd '" + UnixPathOf(exePath.substr(0, exePath.find_last_of('\\'))) +
                                "' && WINEDEBUG=-all,+pid,+relay '" + loader + "' '" + exePath + "' 2>'" +
                                UnixPathOf(traceFile) + "' >/dev/null </dev/null &");
    HWND found = nullptr;
    for (int waited = 0; started && found == nullptr && waited < 20000; waited += 50) {
        Sleep(50);
        HWND window = FindWindowA(nullptr, caption.c_str());
        if (window != nullptr && window != before)
            found = window;
    }
    // Each process reads these at its start. The processes that the traced
    // one starts (a restart starts Wine's services again, which then live
    // on) inherit its WINEDEBUG, and trace nothing.
    RegSetValueExA(key, "RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(nothing), sizeof nothing);
    RegCloseKey(key);
    if (found == nullptr)
        return false;
    threadId = GetWindowThreadProcessId(found, &processId);
    process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    dialog = WaitForThreadWindow(threadId, caption, 20000);
    return process != nullptr && dialog != nullptr;
}

void EndRelayTracing()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, DEBUG_KEY, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, "RelayInclude");
    RegDeleteValueA(key, "RelayExclude");
    RegCloseKey(key);
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
