// Baseline for the installation benchmark: a dialog like the updater's whose
// Start copies the same staged files to the same targets with plain
// CopyFileA and then shows an owned message box, so that it is timed
// exactly like the updater (Start press to the box).
//   bench_baseline <installation folder>
#include <windows.h>
#include <string>
#include "install/staged_files.h"

namespace {

std::string InstallationFolder;

bool CopyAll()
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
            ok = CopyFileA((own + group.rows[i].stagedName).c_str(),
                           (root + "\\" + group.rows[i].targetName).c_str(), FALSE) && ok;
    }
    return ok;
}

INT_PTR CALLBACK BaselineProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        bool ok = CopyAll();
        MessageBoxA(dialog, ok ? "done" : "failed", "Baseline", MB_OK | MB_ICONINFORMATION);
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
    if (argc != 2)
        return 2;
    InstallationFolder = argv[1];
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, BaselineProc, 0);
    return 0;
}
