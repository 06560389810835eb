// InstallStagedFiles and the second pass, which replaces the targets. A
// target is touched only once every replacement lies complete in its copy
// folder, matches the release's list and is flushed to the disk; then the
// old target is renamed aside, the copy takes its name, and only after that
// is the old one deleted. A stop at any point leaves the target or a copy
// of ours in its place, so the next run can always finish.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_holder.h"
#include "common/path_kind.h"
#include "install/folder_sweep.h"
#include "install/installer.h"
#include "install/plan_checks.h"
#include "install/row_paths.h"
#include "install/run_folders.h"
#include "install/staged_check.h"
#include "install/staged_copies.h"
#include "res/resource.h"

// The message for a rename of the target (or of its copy) that failed
// although the targets asked to be replaceable: a program that took hold of
// it since, or the unexpected.
static bool FailReplacing(const StagedFile& row, const RowPaths& paths, bool copy, const GroupFolders& folders,
                          InstallFailure* failure)
{
    if (AskHolder(copy ? paths.staged : paths.target) != FileHeld)
        return Fail(failure, IDS_IO_ERROR);
    if (copy)
        return FailNamingCopy(row, paths, folders, IDS_FILE_IN_USE, failure);
    return FailNaming(failure, IsMainExecutable(row) ? IDS_TOLVANE_RUNNING : IDS_FILE_IN_USE, folders.shown,
                      row.targetName);
}

// Replaces the target with its checked copy in three steps: the old target
// is renamed aside, the copy renamed to the target, the old one deleted. A
// read-only attribute stops none of the renames; the delete clears it.
static bool ReplaceRow(const StagedFile& row, const GroupFolders& folders, InstallFailure* failure)
{
    RowPaths paths;
    if (!RowPathsFit(row, folders, &paths, failure))
        return false;
    bool setAside = false;
    switch (QueryPath(paths.target)) {
    case PathMissing:
        break;
    case PathFile:
        if (!ChooseSetAside(row, &paths) || !RenameWhenFree(paths.target, paths.setAside))
            return FailReplacing(row, paths, false, folders, failure);
        setAside = true;
        break;
    default:
        return FailNaming(failure, IDS_IO_ERROR, folders.shown, row.targetName);
    }
    if (!RenameWhenFree(paths.staged, paths.target)) {
        if (setAside)
            RenameWhenFree(paths.setAside, paths.target);
        return FailReplacing(row, paths, true, folders, failure);
    }
    // The old target (this run's, or one that an earlier run set aside and
    // was stopped before it could delete) is no longer needed.
    RemoveSetAside(row, paths);
    return true;
}

static bool ReplacePlan(const InstallPlan& plan, const RunFolders& run, InstallFailure* failure)
{
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        GroupFolders folders = FoldersOf(run, group);
        for (unsigned int i = 0; i < group.rowCount; ++i)
            if (!ReplaceRow(group.rows[i], folders, failure))
                return false;
    }
    return true;
}

bool InstallStagedFiles(HWND dialog, const char* installFolder, InstallFailure* failure)
{
    RunFolders run;
    InstallPlan plan = GroupsForPlatform(OsVersion);
    Fail(failure, 0);
    if (!FindRunFolders(installFolder, &run, failure))
        return false;
    // A release whose list or files are missing, damaged or unreadable is
    // refused before anything is touched; so is a plan that a long path, a
    // program in use, the user's rights or a full disk would stop.
    unsigned int release = LoadStagedList(run.own, plan);
    if (release != 0)
        return Fail(failure, release);
    if (!PlanCanRun(plan, run, true, failure))
        return false;

    // A run stopped inside the copy step leaves the platform's temporary
    // file in the installation folder, where only installers put such files.
    RemoveInstallerTempFiles(run.install);
    bool installed = false;
    unsigned int reached = 0;
    if (!PrepareWorkFolders(run))
        Fail(failure, IDS_IO_ERROR);
    else if (CopyPlan(dialog, plan, run, &reached, failure) && PlanCanRun(plan, run, false, failure))
        installed = ReplacePlan(plan, run, failure);
    // Every copy has taken its target's name; those of a run that stopped
    // go, and so does whatever they left in the work folders.
    if (!installed)
        RemoveCopies(plan, run, reached);
    RemoveWorkFolders(run);
    return installed;
}
