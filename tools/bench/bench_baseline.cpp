// Baselines for the installation benchmark: a dialog like the updater's whose
// Start puts the same staged files in place for the same targets and then
// shows the updater's own success box, owned by the dialog, so that each is
// timed exactly like the updater (Start press to the box).
//   bench_baseline copy <installation folder>
//       plain CopyFileA of each staged file onto its target
//   bench_baseline verinstall <installation folder>
//       the least that the updater's design needs: VerInstallFileA of each
//       staged file under its staged name, DeleteFileA of the target and
//       MoveFileA of the copy onto it; no lookup, progress bar or settings
#include <windows.h>
#include <string>
#include "common/app_state.h"
#include "common/res_strings.h"
#include "install/staged_files.h"
#include "res/resource.h"

namespace {

std::string InstallationFolder;
bool UseVerInstall;

bool PutInPlace(const std::string& own, const std::string& root, const StagedFile& row)
{
    if (!UseVerInstall)
        return CopyFileA((own + row.stagedName).c_str(), (root + "\\" + row.targetName).c_str(), FALSE) != FALSE;
    char tempName[MAX_PATH] = "";
    UINT tempLength = MAX_PATH;
    char* name = const_cast<char*>(row.stagedName);
    if (VerInstallFileA(VIFF_FORCEINSTALL, name, name, const_cast<char*>(own.c_str()),
                        const_cast<char*>(root.c_str()), nullptr, tempName, &tempLength) != 0)
        return false;
    std::string target = root + "\\" + row.targetName;
    DeleteFileA(target.c_str());
    return MoveFileA((root + "\\" + row.stagedName).c_str(), target.c_str()) != FALSE;
}

bool InstallAll()
{
    char module[MAX_PATH], system[MAX_PATH];
    std::string own(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
    own = own.substr(0, own.find_last_of('\\') + 1);
    std::string systemFolder(system, GetSystemDirectoryA(system, MAX_PATH));
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    InstallPlan plan = GroupsForPlatform(version);
    bool ok = true;
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        std::string root = group.root == InstallFolder ? InstallationFolder : systemFolder;
        for (unsigned int i = 0; i < group.rowCount; ++i)
            ok = PutInPlace(own, root, group.rows[i]) && ok;
    }
    return ok;
}

INT_PTR CALLBACK BaselineProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        bool ok = InstallAll();
        const char* caption = LoadResString(IDS_CAPTION);
        MessageBoxA(dialog, ok ? LoadResString(IDS_DONE) : "failed", caption, MB_OK | MB_ICONINFORMATION);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    UseVerInstall = std::string(argv[1]) == "verinstall";
    InstallationFolder = argv[2];
    AppInstance = GetModuleHandleA(nullptr);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, BaselineProc, 0);
    return 0;
}
