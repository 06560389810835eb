// PlanCanRun. GetDiskFreeSpaceExA (which also reads
// the free space of a volume mounted in a folder) is missing from the first
// Windows 95, so it is looked up at run time; GetDiskFreeSpaceA, which every
// platform has, reports at most 2 GB there, enough to answer whether the
// plan fits.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/kernel_functions.h"
#include "common/module_holder.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/restart_list.h"
#include "common/text.h"
#include "install/plan_checks.h"
#include "install/row_paths.h"
#include "install/staged_check.h"
#include "res/resource.h"

typedef BOOL(WINAPI* GetDiskFreeSpaceExFunction)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                 PULARGE_INTEGER);

// The name of the file of ours that asks a folder whether it takes a new
// file: a staged name that no row has.
static const char PROBE_NAME[] = "tl000.tmp";
static const DWORD SECTORS_PER_MEGABYTE = 2048;

// Whether Tolvane runs from the program image at `path` (NT family). A
// loaded image can be renamed, so the rename's question lets it pass, but it
// refuses to be opened for writing, as does a file that a program holds
// without write sharing. A read-only attribute refuses that open too,
// running or not: the attribute is taken away for the moment of the
// question and given back. A running program is no passing holder: it is
// asked once, without a wait.
static bool IsRunning(const char* path)
{
    DWORD attributes = 0;
    if (QueryPath(path, &attributes) != PathFile)
        return false;
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !OpSetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (readOnly)
        OpSetAttributes(path, attributes);
    return file == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION;
}

// Whether Tolvane may run from its main executable at `path`: where the
// system can tell which programs have it loaded, only such a program is
// Tolvane running, and another that holds the file (a scanner, a backup)
// leaves it to the restart like any other file. A module of its name counts
// from any folder: Tolvane may have been started through a drive or share
// that names the installation folder another way. NT 4.0 cannot tell:
// there a held main executable counts as Tolvane running.
bool TolvaneLoads(const char* path)
{
    char program[PATH_BUFFER_SIZE];
    return FindLoadingProgram(path, true, program, sizeof program) != ModuleNotLoaded;
}

unsigned int TargetCanBeReplaced(const StagedFile& row, const RowPaths& paths, HolderAnswer answer)
{
    bool main = IsMainExecutable(row);
    switch (answer) {
    case FileAbsent:
        return 0;
    case FileFree:
        return main && !IsWindows95Family() && IsRunning(paths.target) && TolvaneLoads(paths.target)
                   ? IDS_TOLVANE_RUNNING
                   : 0;
    case FileHeld:
        return main && TolvaneLoads(paths.target) ? IDS_TOLVANE_RUNNING : IDS_FILE_IN_USE;
    case FileDenied:
        return IDS_NEED_ADMIN;
    default:
        return IDS_IO_ERROR;
    }
}

// Whether the row's target can be replaced, now or at the restart;
// `answer` receives whether a program holds it. Only the main executable's
// holder is waited for: another program's file waits for the restart if
// need be.
static bool AskTarget(const StagedFile& row, const RowPaths& paths, const GroupFolders& folders,
                      HolderAnswer* answer, InstallFailure* failure)
{
    *answer = AskHolder(paths.target);
    if (IsMainExecutable(row)) {
        // A running Tolvane is no passing holder: where the system can tell,
        // it is refused at once. The programs are listed only for a main
        // executable that something holds: the list costs a tenth of a
        // second.
        char program[PATH_BUFFER_SIZE];
        bool held = *answer == FileHeld ||
                    (*answer == FileFree && !IsWindows95Family() && IsRunning(paths.target));
        if (held && FindLoadingProgram(paths.target, true, program, sizeof program) == ModuleLoaded)
            return FailNaming(failure, IDS_TOLVANE_RUNNING, folders.shown, row.targetName);
        if (*answer == FileHeld)
            *answer = AskHolderAfterWaiting(paths.target);
    }
    unsigned int message = TargetCanBeReplaced(row, paths, *answer);
    return message == 0 || message == IDS_FILE_IN_USE || FailNaming(failure, message, folders.shown, row.targetName);
}

// Whether `folder` exists and, on the NT family, takes a new file from this
// user. The file of ours that asks is deleted by the system as it is
// closed, and when the updater is ended meanwhile; one that a power cut
// left goes before the next question.
static bool CanWriteIn(const char* folder, const char* shown, InstallFailure* failure)
{
    char probe[PATH_BUFFER_SIZE];
    if (!IsFolder(folder))
        return Fail(failure, IDS_IO_ERROR, shown);
    if (IsWindows95Family())
        return true;
    if (!MakePath(probe, sizeof probe, 0, folder, PROBE_NAME, 0) || !FitsFileCall(probe))
        return Fail(failure, IDS_FOLDER_TOO_LONG, shown);
    if (QueryPath(probe) != PathMissing && !RemoveFile(probe))
        return Fail(failure, IDS_IO_ERROR, shown);
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, 0, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, 0);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return true;
    }
    return Fail(failure, GetLastError() == ERROR_ACCESS_DENIED ? IDS_NEED_ADMIN : IDS_IO_ERROR, shown);
}

// A destination volume: the clusters that the plan needs there now and at
// its fullest.
struct Volume {
    DWORD cluster;  // bytes; 0 when the volume's space cannot be read
    DWORD freeClusters;
    int need;
    int peak;
};

// The cluster size and free clusters of the volume of `folder`, asked of
// its drive's root, as the older platforms require. A folder on a network
// share is not asked about: a volume without a cluster size counts no copy,
// and so costs no search for an old one.
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
// or more counts as 4 GB.
static DWORD CurrentSize(const char* path)
{
    DWORD low = 0, high = 0;
    if (!FindFileSize(path, &low, &high))
        return 0;
    return high != 0 ? 0xFFFFFFFFu : low;
}

// Counts the row's copy into its volume. Every copy is made before the first
// target is replaced, so the plan is at its fullest when the last copy is
// made; the copy step writes a new copy beside the one that an earlier run
// may have left under the staged name, then deletes the old one.
static void CountCopy(const StagedFile& row, const RowPaths& paths, Volume* volume)
{
    unsigned int size = 0;
    if (volume->cluster == 0 || !GetListedSize(row.stagedName, &size))
        return;
    int fresh = ClustersOf(size, volume->cluster);
    if (volume->need + fresh > volume->peak)
        volume->peak = volume->need + fresh;
    volume->need += fresh - ClustersOf(CurrentSize(paths.staged), volume->cluster);
}

// Whether the volume of `folder` has room for its peak; when not, the drive
// and how many MB more it needs. Counted in whole clusters, in 32 bits: 4 GB
// of free space hold any plan.
static bool HasRoom(const char* folder, const char* shown, const Volume& volume, InstallFailure* failure)
{
    DWORD available = volume.freeClusters;
    GetDiskFreeSpaceExFunction freeSpaceEx =
        reinterpret_cast<GetDiskFreeSpaceExFunction>(FindKernelFunction("GetDiskFreeSpaceExA"));
    char path[PATH_BUFFER_SIZE];
    ULARGE_INTEGER availableEx, total, free;
    if (freeSpaceEx != 0 && MakePath(path, sizeof path, 0, folder, 0, 0) &&
        freeSpaceEx(path, &availableEx, &total, &free))
        available = availableEx.HighPart != 0 ? 0xFFFFFFFFu : availableEx.LowPart / volume.cluster;
    DWORD peak = static_cast<DWORD>(volume.peak);
    if (peak <= available)
        return true;
    char drive[3] = { shown[0], ':', 0 };
    Fail(failure, IDS_NO_ROOM, drive);
    // The clusters short in 512-byte sectors, then whole MB, rounded up.
    DWORD sectors = (peak - available) * (volume.cluster / 512);
    wsprintfA(failure->detail, "%lu", static_cast<unsigned long>((sectors + SECTORS_PER_MEGABYTE - 1) / SECTORS_PER_MEGABYTE));
    return false;
}

bool PlanCanRun(const InstallPlan& plan, const RunFolders& run, bool* heldBefore, InstallFailure* failure)
{
    // Which copies an earlier run left to the restart, and whether the
    // restart can take more, is known only from a list that can be read:
    // the restart that carries out the one there clears it.
    if (!RestartListReadable())
        return Fail(failure, IDS_RESTART_FIRST);
    // Volume 0 is the installation folder's; the system folder's is volume
    // 1, or volume 0 again when both lie on one drive.
    Volume volumes[2];
    const char* roots[2] = { run.install, run.system };
    const char* shown[2] = { run.installShown, run.systemShown };
    unsigned int systemVolume = OnOneVolume(run.installShown, run.systemShown) ? 0 : 1;
    for (unsigned int v = 0; v < 2; ++v) {
        ReadVolume(roots[v], &volumes[v]);
        if (!CanWriteIn(roots[v], shown[v], failure))
            return false;
    }
    // A driver's folder below the root ("Drivers") is asked too, once for
    // the rows that share it, and named as the run reaches it (the system
    // folder is short enough for the copy step as it is, in practice); the
    // roots were asked above.
    char asked[PATH_BUFFER_SIZE];
    PlanRow at;
    RowPaths paths;
    for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at)) {
        if (at.index == 0 && !MakePath(asked, sizeof asked, 0, at.folders.destination, 0, 0))
            return Fail(failure, IDS_FOLDER_TOO_LONG, at.folders.shown);
        if (!PlanRowPathsFit(at, &paths, failure))
            return false;
        if (lstrcmpiA(paths.targetFolder, asked) != 0) {
            if (!CanWriteIn(paths.targetFolder, paths.targetFolder, failure))
                return false;
            CopyText(asked, sizeof asked, paths.targetFolder);
        }
        // A row that an earlier run left to the restart keeps its copy as
        // it is, and asks nothing of its target.
        heldBefore[at.number] = false;
        if (IsReplacedAtRestart(paths.staged))
            continue;
        HolderAnswer answer = FileAbsent;
        if (!AskTarget(*at.row, paths, at.folders, &answer, failure))
            return false;
        heldBefore[at.number] = answer == FileHeld;
        // Every set-aside name taken by an old copy that waits for a
        // restart (ten runs without one) would stop the replacement.
        if (answer != FileAbsent && !ChooseSetAside(*at.row, &paths))
            return FailNaming(failure, IDS_IO_ERROR, at.folders.shown, at.row->targetName);
        CountCopy(*at.row, paths, &volumes[plan.groups[at.group]->root == InstallFolder ? 0 : systemVolume]);
    }
    for (unsigned int v = 0; v < 2; ++v)
        if (volumes[v].cluster != 0 && !HasRoom(roots[v], shown[v], volumes[v], failure))
            return false;
    return true;
}
