// Where the installation phase goes: the update run's steps timed one by one
// in this process (the dialog hidden, so without painting or the final box),
// and the copy step alone, VerInstallFileA against CopyFileA, on the same
// staged files into scratch folders.
//   bench_phases        (run from the release folder's copy of this program)
#include <windows.h>
#include <cstdio>
#include <string>
#include "common/app_state.h"
#include "common/lead_bytes_init.h"
#include "detect/installation_lookup.h"
#include "install/installer.h"
#include "post/data_migration.h"
#include "post/settings_defaults.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "bench_clock.h"

int main()
{
    AppInstance = GetModuleHandleA(nullptr);
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    GetVersionExA(&OsVersion);
    InitLeadBytes();
    HWND dialog = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_UPDATER), nullptr,
                                     UpdaterDialogProc, 0);
    char folder[270];
    double t0 = Now();
    bool found = LocateInstallation(folder);
    double t1 = Now();
    bool installed = found && InstallStagedFiles(dialog, folder);
    double t2 = Now();
    ApplySettingsDefaults();
    double t3 = Now();
    MigrateDataFiles(folder);
    double t4 = Now();
    if (!installed) {
        printf("not installed\n");
        return 1;
    }

    char module[MAX_PATH];
    std::string own(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
    own = own.substr(0, own.find_last_of('\\') + 1);
    std::string viaVer = own + "phase-ver", viaCopy = own + "phase-copy";
    CreateDirectoryA(viaVer.c_str(), nullptr);
    CreateDirectoryA(viaCopy.c_str(), nullptr);
    InstallPlan plan = GroupsForPlatform(OsVersion);
    char temp[270] = "";
    UINT tempLength = 260;
    double v0 = Now();
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
            char* name = const_cast<char*>(plan.groups[g]->rows[i].stagedName);
            VerInstallFileA(VIFF_FORCEINSTALL, name, name, const_cast<char*>(own.c_str()),
                            const_cast<char*>(viaVer.c_str()), nullptr, temp, &tempLength);
        }
    double v1 = Now();
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i) {
            std::string name = plan.groups[g]->rows[i].stagedName;
            CopyFileA((own + name).c_str(), (viaCopy + "\\" + name).c_str(), FALSE);
        }
    double v2 = Now();
    printf("%.1f %.1f %.1f %.1f %.1f %.1f\n", t1 - t0, t2 - t1, t3 - t2, t4 - t3, v1 - v0, v2 - v1);
    return 0;
}
