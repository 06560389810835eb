// PlanCanRun: one pass over the plan's targets. GetDiskFreeSpaceExA (which also reads
// the free space of a volume mounted in a folder) is missing from the first
// Windows 95, so it is looked up at run time; GetDiskFreeSpaceA,
// which every platform has, reports at most 2 GB there, enough to answer
// whether the plan fits.
#include <windows.h>
#include "common/app_state.h"
#include "common/kernel_functions.h"
#include "common/path_helpers.h"
#include "install/plan_checks.h"
#include "install/staged_check.h"

typedef BOOL(WINAPI* GetDiskFreeSpaceExFunction)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                 PULARGE_INTEGER);

// A destination root of the plan: the clusters that the plan needs there
// now and at its fullest.
struct Volume {
    DWORD cluster;  // bytes; 0 when the volume's space cannot be read
    DWORD freeClusters;
    int need;
    int peak;
};

// Whether two folders lie on one volume, as far as their drive letters tell.
static bool OnOneVolume(const char* a, const char* b)
{
    return a[0] != 0 && a[1] == ':' && b[0] != 0 && b[1] == ':' && ((a[0] ^ b[0]) & ~0x20) == 0;
}

// The cluster size and free clusters of the volume of `folder`, asked of
// its drive's root, as the older platforms require. A folder on a network
// share is not asked about.
static void ReadVolume(const char* folder, Volume* volume)
{
    char root[] = "?:\\";
    DWORD sectors = 0, bytes = 0, total = 0;
    root[0] = folder[0];
    volume->cluster = 0;
    volume->need = 0;
    volume->peak = 0;
    if (folder[1] == ':' && GetDiskFreeSpaceA(root, &sectors, &bytes, &volume->freeClusters, &total))
        volume->cluster = sectors * bytes;
}

static int ClustersOf(DWORD size, DWORD cluster)
{
    return static_cast<int>(size / cluster + (size % cluster != 0 ? 1 : 0));
}

// The size of the file at `path` now, 0 when there is none; a file of 4 GB
// or more counts as 4 GB, which only makes the room it frees smaller.
static DWORD CurrentSize(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return found.nFileSizeHigh != 0 ? 0xFFFFFFFFu : found.nFileSizeLow;
}

// Whether the free space of the volume of `folder` holds its peak.
static bool HasRoom(const char* folder, const Volume& volume)
{
    unsigned long long needed = static_cast<unsigned long long>(volume.peak) * volume.cluster;
    GetDiskFreeSpaceExFunction freeSpaceEx =
        reinterpret_cast<GetDiskFreeSpaceExFunction>(FindKernelFunction("GetDiskFreeSpaceExA"));
    char path[PATH_BUFFER_SIZE];
    ULARGE_INTEGER available, total, free;
    if (freeSpaceEx != 0 && MakePath(path, sizeof path, 0, folder, 0, 0) &&
        freeSpaceEx(path, &available, &total, &free))
        return needed <= available.QuadPart;
    return needed <= static_cast<unsigned long long>(volume.freeClusters) * volume.cluster;
}

// Whether the target at `path` is held open by a program that denies
// writing. It is opened for writing, sharing everything, only to ask:
// nothing is written, and a scanner that shares everything passes.
static bool IsHeld(const char* path, DWORD share)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, share, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
}

bool PlanCanRun(const InstallPlan& plan, const char* installFolder, const char* systemFolder)
{
    bool windows95 = OsVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    // The 95 family refuses the delete-sharing flag.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (windows95 ? 0 : FILE_SHARE_DELETE);
    const StagedFile* main = FindAppRow(MAIN_EXECUTABLE_NAME);
    // Volume 0 is the installation folder's; the system folder's is volume
    // 1, or volume 0 again when both lie on one drive.
    Volume volumes[2];
    const char* folders[2] = { installFolder, systemFolder };
    unsigned int systemVolume = OnOneVolume(installFolder, systemFolder) ? 0 : 1;
    ReadVolume(installFolder, &volumes[0]);
    ReadVolume(systemFolder, &volumes[1]);

    char path[PATH_BUFFER_SIZE];
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        bool inInstallFolder = group.root == InstallFolder;
        Volume& volume = volumes[inInstallFolder ? 0 : systemVolume];
        for (unsigned int i = 0; i < group.rowCount; ++i) {
            const StagedFile& row = group.rows[i];
            unsigned int size = 0;
            if (!MakePath(path, sizeof path, 0, folders[inInstallFolder ? 0 : 1], row.targetName, 0))
                continue;
            bool held = IsHeld(path, share);
            if (held && (windows95 || &row == main))
                return false;
            if (volume.cluster == 0 || !GetListedSize(row.stagedName, &size))
                continue;
            // The old target's clusters are freed only when it can go now.
            DWORD old = held ? 0 : CurrentSize(path);
            int fresh = ClustersOf(size, volume.cluster);
            if (volume.need + fresh > volume.peak)
                volume.peak = volume.need + fresh;
            volume.need += fresh - ClustersOf(old, volume.cluster);
        }
    }
    for (unsigned int v = 0; v < 2; ++v)
        if (volumes[v].cluster != 0 && !HasRoom(folders[v], volumes[v]))
            return false;
    return true;
}
