// Baseline for the installation benchmark: the same staged files copied to
// the same targets with plain CopyFileA, between two message boxes so that
// it is timed exactly like the updater (button press to box).
//   bench_baseline <installation folder>
#include <windows.h>
#include <string>
#include "install/staged_files.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    char module[MAX_PATH], system[MAX_PATH];
    std::string own(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
    own = own.substr(0, own.find_last_of('\\') + 1);
    std::string systemFolder(system, GetSystemDirectoryA(system, MAX_PATH));
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);

    MessageBoxA(nullptr, "ready", "Baseline", MB_OK);
    InstallPlan plan = GroupsForPlatform(version);
    bool ok = true;
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        std::string root = group.root == InstallFolder ? std::string(argv[1]) : systemFolder;
        for (unsigned int i = 0; i < group.rowCount; ++i)
            ok = CopyFileA((own + group.rows[i].stagedName).c_str(),
                           (root + "\\" + group.rows[i].targetName).c_str(), FALSE) && ok;
    }
    MessageBoxA(nullptr, ok ? "done" : "failed", "Baseline", MB_OK);
    return ok ? 0 : 1;
}
