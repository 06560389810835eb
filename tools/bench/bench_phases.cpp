// Where the installation phase goes: the update run's steps timed one by one
// in this process, with the updater's own code and its dialog on screen, then
// the parts of the staged-file step on the same files: the progress bar's 34
// moves alone, the copy alone (VerInstallFileA against CopyFileA), the check
// of fresh copies against the release's list (read, CRC-32, flush) and the
// flushes of fresh copies alone, into scratch folders; and the flushes alone
// of fresh copies of the moved data files. Printed on one line, in
// milliseconds:
//   lookup, staged files, settings, data migration, the outcome box from its
//   call until it is active on screen, the 34 progress-bar moves,
//   VerInstallFileA alone, CopyFileA alone, the check, the staged copies'
//   flushes alone, the data copies' flushes alone
//   bench_phases        (run from the release folder's copy of this program)
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "common/app_state.h"
#include "common/lead_bytes_init.h"
#include "common/percent.h"
#include "common/res_strings.h"
#include "detect/installation_lookup.h"
#include "install/installer.h"
#include "install/staged_check.h"
#include "post/data_migration.h"
#include "post/settings_defaults.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "bench_clock.h"

namespace {

double BoxShown;

// Notes when the outcome box becomes active, and closes it.
LRESULT CALLBACK WatchBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        char className[16];
        HWND window = reinterpret_cast<HWND>(wParam);
        if (GetClassNameA(window, className, sizeof className) && lstrcmpA(className, "#32770") == 0 &&
            BoxShown == 0) {
            BoxShown = Now();
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

double TimeCopies(const std::string& own, const std::string& folder, bool verInstall)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    InstallPlan plan = GroupsForPlatform(OsVersion);
    char temp[270] = "";
    UINT tempLength = 260;
    double start = Now();
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
            char* name = const_cast<char*>(plan.groups[g]->rows[i].stagedName);
            if (verInstall)
                VerInstallFileA(VIFF_FORCEINSTALL, name, name, const_cast<char*>(own.c_str()),
                                const_cast<char*>(folder.c_str()), nullptr, temp, &tempLength);
            else
                CopyFileA((own + name).c_str(), (folder + "\\" + name).c_str(), FALSE);
        }
    return Now() - start;
}

// The check that the installation makes of each staged copy, over the
// VerInstallFileA copies in `folder`: the list loaded from the release, then
// each copy read whole for its CRC-32 and flushed. Negative when a copy does
// not pass, so that no failed check is timed as a passed one.
double TimeCheck(const std::string& own, const std::string& folder)
{
    InstallPlan plan = GroupsForPlatform(OsVersion);
    double start = Now();
    if (LoadStagedList(own.c_str(), plan) != 0)
        return -1;
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
            const char* name = plan.groups[g]->rows[i].stagedName;
            if (CheckStagedCopy((folder + "\\" + name).c_str(), name) != CopyIntact)
                return -1;
        }
    return Now() - start;
}

// FlushFileBuffers alone on every file of `folder`: each is opened before
// and closed after its flush, outside the time. Negative when one fails.
double TimeFlushes(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    double spent = 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        HANDLE file = CreateFileA((folder + "\\" + entry.cFileName).c_str(),
                                  GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            spent = -1;
            break;
        }
        double start = Now();
        BOOL flushed = FlushFileBuffers(file);
        spent += Now() - start;
        CloseHandle(file);
        if (!flushed) {
            spent = -1;
            break;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return spent;
}

// Copies every file of `from` into the new folder `to`, as the data move's
// copies are made. False when a copy fails.
bool CopyFolder(const std::string& from, const std::string& to)
{
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            ok = CopyFileA((from + "\\" + entry.cFileName).c_str(),
                           (to + "\\" + entry.cFileName).c_str(), FALSE) && ok;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return ok;
}

// Handles the dialog's messages for a while, so that it is on screen and
// painted before anything is timed.
void Settle(DWORD milliseconds)
{
    double end = Now() + milliseconds;
    MSG message;
    while (Now() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

}  // namespace

int main()
{
    AppInstance = GetModuleHandleA(nullptr);
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    GetVersionExA(&OsVersion);
    InitLeadBytes();
    HWND dialog = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_UPDATER), nullptr,
                                     UpdaterDialogProc, 0);
    ShowWindow(dialog, SW_SHOW);
    Settle(500);
    char folder[270];
    double t0 = Now();
    bool found = LocateInstallation(folder);
    double t1 = Now();
    InstallFailure failure;
    bool installed = found && InstallStagedFiles(dialog, folder, &failure);
    double t2 = Now();
    ApplySettingsDefaults();
    double t3 = Now();
    char dataFolder[270];
    DataStay stay;
    MigrateDataFiles(folder, dataFolder, &stay);
    double t4 = Now();
    if (!installed) {
        printf("not installed\n");
        return 1;
    }
    // The bar's positions were posted; they reach it before the box.
    Settle(300);
    HHOOK hook = SetWindowsHookExA(WH_CBT, WatchBox, nullptr, GetCurrentThreadId());
    const char* caption = LoadResString(IDS_CAPTION);
    const char* text = LoadResString(IDS_DONE);
    double t5 = Now();
    MessageBoxA(dialog, text, caption, MB_OK | MB_ICONINFORMATION);
    UnhookWindowsHookEx(hook);

    // The bar's moves alone, as the installation makes them.
    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    Settle(300);
    double b0 = Now();
    for (unsigned int i = 1; i <= AppGroup.rowCount; ++i)
        SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, PercentOf(AppGroup.rowCount, i), 0);
    double b1 = Now();

    char module[MAX_PATH];
    std::string own(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
    own = own.substr(0, own.find_last_of('\\') + 1);
    double viaVer = TimeCopies(own, own + "phase-ver", true);
    double viaCopy = TimeCopies(own, own + "phase-copy", false);
    // The check reads the VerInstallFileA copies just made, as the
    // installation reads each copy right after making it. The flushes alone
    // need copies of their own: the check has flushed those.
    double check = TimeCheck(own, own + "phase-ver");
    TimeCopies(own, own + "phase-flush", true);
    double stagedFlushes = TimeFlushes(own + "phase-flush");
    // The moved data files, copied once more for flushes of their own.
    double dataFlushes = -1;
    if (dataFolder[0] != 0 && CopyFolder(dataFolder, own + "phase-data"))
        dataFlushes = TimeFlushes(own + "phase-data");
    if (check < 0 || stagedFlushes < 0 || dataFlushes < 0) {
        printf("check or flush failed\n");
        return 1;
    }
    printf("%.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f\n", t1 - t0, t2 - t1,
           t3 - t2, t4 - t3, BoxShown - t5, b1 - b0, viaVer, viaCopy, check, stagedFlushes,
           dataFlushes);
    DestroyWindow(dialog);
    return 0;
}
