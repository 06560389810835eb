// FindRunFolders, FoldersOf and the work folders. Only this updater puts
// files in a work folder, so whatever a stopped run left in one (a partial
// copy, the platform's temporary file) can be removed; the folders around
// it are shared with every other installer, whose temporary files may
// still be wanted.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/own_folder.h"
#include "common/path_kind.h"
#include "common/res_strings.h"
#include "common/restart_list.h"
#include "common/text.h"
#include "install/copy_step_paths.h"
#include "install/run_folders.h"
#include "install/folder_sweep.h"
#include "res/resource.h"

bool FindRunFolders(const char* installFolder, RunFolders* run, InstallFailure* failure)
{
    char own[PATH_BUFFER_SIZE];
    char workName[PATH_PART_SIZE];
    UINT length = GetSystemDirectoryA(run->systemShown, SYSTEM_FOLDER_SIZE);
    run->installShown = installFolder;
    // Without its name a work folder would be the folder around it.
    if (!GetOwnFolder(own, sizeof own) || length == 0 || length >= SYSTEM_FOLDER_SIZE ||
        !CopyText(workName, sizeof workName, LoadResString(IDS_WORK_FOLDER)) || workName[0] == 0)
        return Fail(failure, IDS_IO_ERROR);
    run->fromInstallFolder = IsSameFolder(own, installFolder);
    // The release may be moved to a shorter folder; the installation and
    // system folders may not (Tolvane and Windows are registered there), so
    // their refusal names them and says not to rename them. The work folder
    // of the installation folder must fit only where copies are made in it.
    run->installWork[0] = 0;
    if (!MakeCopyStepFolder(own, 0, run->own))
        return Fail(failure, IDS_PATH_TOO_LONG, own);
    if (!MakeCopyStepFolder(installFolder, 0, run->install) ||
        (run->fromInstallFolder && !MakeCopyStepFolder(installFolder, workName, run->installWork)))
        return Fail(failure, IDS_FOLDER_TOO_LONG, installFolder);
    if (!MakeCopyStepFolder(run->systemShown, 0, run->system) ||
        !MakeCopyStepFolder(run->systemShown, workName, run->systemWork))
        return Fail(failure, IDS_FOLDER_TOO_LONG, run->systemShown);
    return true;
}

GroupFolders FoldersOf(const RunFolders& run, const StagedGroup& group)
{
    GroupFolders folders;
    folders.source = run.own;
    if (group.root == SystemFolder) {
        folders.copy = run.systemWork;
        folders.destination = run.system;
        folders.shown = run.systemShown;
    } else {
        folders.copy = run.fromInstallFolder ? run.installWork : run.install;
        folders.destination = run.install;
        folders.shown = run.installShown;
    }
    return folders;
}

// Settles `at` on the row it counts, the first of the next group with rows
// when its group has no more.
static bool SettlePlanRow(const InstallPlan& plan, const RunFolders& run, PlanRow* at)
{
    while (at->group < plan.groupCount && at->index >= plan.groups[at->group]->rowCount) {
        ++at->group;
        at->index = 0;
    }
    if (at->group >= plan.groupCount)
        return false;
    at->row = &plan.groups[at->group]->rows[at->index];
    at->folders = FoldersOf(run, *plan.groups[at->group]);
    return true;
}

bool FirstPlanRow(const InstallPlan& plan, const RunFolders& run, PlanRow* at)
{
    at->group = 0;
    at->index = 0;
    at->number = 0;
    return SettlePlanRow(plan, run, at);
}

bool NextPlanRow(const InstallPlan& plan, const RunFolders& run, PlanRow* at)
{
    ++at->index;
    ++at->number;
    return SettlePlanRow(plan, run, at);
}

static bool PrepareWorkFolder(const char* workFolder)
{
    switch (QueryPath(workFolder)) {
    case PathMissing:
        return OpCreateFolder(workFolder) != FALSE;
    case PathFolder:
        EmptyWorkFolder(workFolder);
        return true;
    default:
        return false;
    }
}

bool PrepareWorkFolders(const RunFolders& run)
{
    if ((!run.fromInstallFolder || PrepareWorkFolder(run.installWork)) && PrepareWorkFolder(run.systemWork))
        return true;
    RemoveWorkFolders(run);
    return false;
}

// Removes a work folder and what this run left in it. One that still holds
// a copy that waits for the restart (a driver's) goes at the restart too, on
// the NT family: the session manager removes a folder that is empty by then,
// and carries out the requests in order, the copy's rename first. The 95
// family's WININIT.INI deletes files only; there the next run removes it.
static void RemoveWorkFolder(const char* workFolder)
{
    if (QueryPath(workFolder) != PathFolder)
        return;
    EmptyWorkFolder(workFolder);
    if (!OpRemoveFolder(workFolder) && !IsWindows95Family() && QueryPath(workFolder) == PathFolder)
        DeleteAtRestart(workFolder);
}

void RemoveWorkFolders(const RunFolders& run)
{
    if (run.fromInstallFolder)
        RemoveWorkFolder(run.installWork);
    RemoveWorkFolder(run.systemWork);
}
