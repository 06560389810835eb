// InstallStagedFiles and the second pass, which replaces the targets. A
// target is touched only once every replacement lies complete in its copy
// folder, matches the release's list and is flushed to the disk; then the
// old target is renamed aside, the copy takes its name, and only after that
// is the old one deleted. A target or copy that another program holds is
// replaced when Windows restarts instead, and the update goes on. A stop at
// any point leaves the target, or a copy of ours that the next run or the
// restart puts in its place.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_holder.h"
#include "common/path_kind.h"
#include "common/restart_list.h"
#include "install/folder_sweep.h"
#include "install/installer.h"
#include "install/plan_checks.h"
#include "install/row_paths.h"
#include "install/run_folders.h"
#include "install/staged_check.h"
#include "install/staged_copies.h"
#include "res/resource.h"

// What the second pass does with each row of the plan, in plan order.
enum RowFate {
    ReplaceNow,
    AtRestart,  // asked for in this run or an earlier one
    Replaced           // replaced now; its old target still to be deleted
};
static RowFate Fates[MAX_PLAN_ROWS];
// The targets that a program held before anything was written, and when
// they began to be asked.
static bool HeldBefore[MAX_PLAN_ROWS];
static DWORD AskedBefore;

// Asks every copy and target once more before the first target is touched,
// and chooses each row's fate: a row that another program holds (its target
// or its copy) waits for the restart, and so does one that an earlier run
// left for it. Fails before anything is asked of the restart when Tolvane
// runs from its main executable or a target cannot be replaced at all. (On
// the NT family each row is asked of the restart at once: should asking
// fail for a later row, the earlier ones stay asked, and the next run
// finishes the rest.)
static bool ChooseFates(const InstallPlan& plan, const RunFolders& run, InstallFailure* failure)
{
    PlanRow at;
    RowPaths paths;
    // A restart list that a program has made unreadable since the run began
    // would tell every copy to wait for the restart, and take no line.
    if (!RestartListReadable())
        return Fail(failure, IDS_RESTART_FIRST);
    for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at)) {
        if (!PlanRowPathsFit(at, &paths, failure))
            return false;
        RowFate* fate = &Fates[at.number];
        *fate = ReplaceNow;
        if (IsReplacedAtRestart(paths.staged)) {
            *fate = AtRestart;
            continue;
        }
        // A holder that was there before the copies were made has had its
        // time to let go since then.
        HolderAnswer answer = AskHolderUntil(paths.target, HeldBefore[at.number] ? AskedBefore : GetTickCount(),
                                             HOLDER_WAIT_TOTAL_MS);
        unsigned int message = TargetCanBeReplaced(*at.row, paths, answer);
        if (message != 0 && message != IDS_FILE_IN_USE)
            return FailNaming(failure, message, at.folders.shown, at.row->targetName);
        if (message != 0 || AskHolderAfterWaiting(paths.staged, true) == FileHeld)
            *fate = AtRestart;
    }
    // Only now, with every row known to go through, is the restart asked.
    // Should it refuse a row, that row is named, with the program that has
    // it loaded. The 95 family's list, written at the end, can refuse only
    // as a whole (our lines would make it more than a run reads back): the
    // restart that carries it out and clears it comes first.
    PlanRow named;
    bool asked = true;
    for (bool more = FirstPlanRow(plan, run, &at); more && asked; more = NextPlanRow(plan, run, &at)) {
        if (Fates[at.number] != AtRestart || !MakeRowPaths(*at.row, at.folders, &paths) ||
            IsReplacedAtRestart(paths.staged))
            continue;
        asked = ReplaceAtRestart(paths.staged, paths.target);
        if (!asked)
            named = at;
    }
    if (asked && CommitRestartList())
        return true;
    if (asked)
        return Fail(failure, IDS_RESTART_FIRST);
    if (!MakeRowPaths(*named.row, named.folders, &paths))
        return Fail(failure, IDS_IO_ERROR);
    return FailNamingHeld(failure, named.folders.shown, named.row->targetName, paths.target);
}

// Leaves the row to the restart: its copy replaces the target then. With
// `oldTarget` (the target renamed aside, which could not be put back), the
// old one is deleted after that. Fails naming the target when the restart
// cannot be asked.
static bool LeaveToRestart(const PlanRow& at, const RowPaths& paths, const char* oldTarget,
                           InstallFailure* failure)
{
    Fates[at.number] = AtRestart;
    if (ReplaceAtRestart(paths.staged, paths.target) && (oldTarget == 0 || DeleteAtRestart(oldTarget)) &&
        CommitRestartList())
        return true;
    if (IsMainExecutable(*at.row) && TolvaneLoads(paths.target))
        return FailNaming(failure, IDS_TOLVANE_RUNNING, at.folders.shown, at.row->targetName);
    return FailNamingHeld(failure, at.folders.shown, at.row->targetName, paths.target);
}

// Replaces the target with its checked copy: the old target is renamed
// aside, then the copy renamed to the target; the old one is deleted later
// (RemoveOldTargets). A read-only attribute stops none of the renames. A
// program that took hold of either file since they were asked leaves the
// row to the restart, the old target put back first.
static bool ReplaceRow(const PlanRow& at, InstallFailure* failure)
{
    RowPaths paths;
    if (!RowPathsFit(*at.row, at.folders, &paths, failure))
        return false;
    bool setAside = false;
    switch (QueryPath(paths.target)) {
    case PathMissing:
        break;
    case PathFile:
        if (!ChooseSetAside(*at.row, &paths))
            return FailNaming(failure, IDS_IO_ERROR, at.folders.shown, at.row->targetName);
        if (!RenameWhenFree(paths.target, paths.setAside))
            return LeaveToRestart(at, paths, 0, failure);
        setAside = true;
        break;
    default:
        return FailNaming(failure, IDS_IO_ERROR, at.folders.shown, at.row->targetName);
    }
    if (!RenameWhenFree(paths.staged, paths.target)) {
        bool putBack = !setAside || RenameWhenFree(paths.setAside, paths.target);
        return LeaveToRestart(at, paths, putBack ? 0 : paths.setAside, failure);
    }
    Fates[at.number] = Replaced;
    return true;
}

// Deletes the old targets of the rows replaced now, and those that earlier
// runs left. An old target that a program holds for a moment (a virus
// scanner looking at the name it has just taken) is waited for, all of them
// together; one still held then, or still loaded, goes at the restart.
static void RemoveOldTargets(const InstallPlan& plan, const RunFolders& run)
{
    DWORD since = GetTickCount();
    for (bool last = false;;) {
        SetAsideLeft left = NoSetAsideLeft;
        PlanRow at;
        RowPaths paths;
        for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at)) {
            if (Fates[at.number] != Replaced || !MakeRowPaths(*at.row, at.folders, &paths))
                continue;
            SetAsideLeft row = RemoveSetAside(*at.row, paths, last);
            if (row > left)
                left = row;
        }
        // Old targets left where the restart cannot be asked to delete them
        // are removed by the next run: the update itself is complete.
        if (last || left == NoSetAsideLeft) {
            CommitRestartList();
            return;
        }
        last = left != SetAsideHeld || !WaitForOwnFiles(since);
    }
}

// Replaces the rows left to replace now, in plan order; `waiting` tells
// whether any row waits for the restart.
static bool ReplacePlan(const InstallPlan& plan, const RunFolders& run, bool* waiting, InstallFailure* failure)
{
    PlanRow at;
    for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at)) {
        if (Fates[at.number] == ReplaceNow && !ReplaceRow(at, failure))
            return false;
        *waiting = *waiting || Fates[at.number] == AtRestart;
    }
    RemoveOldTargets(plan, run);
    return true;
}

bool InstallStagedFiles(HWND dialog, const char* installFolder, InstallFailure* failure, bool* waitsForRestart)
{
    RunFolders run;
    InstallPlan plan = GroupsForPlatform(OsVersion);
    bool waiting = false;
    Fail(failure, 0);
    StartRestartList();
    if (!FindRunFolders(installFolder, &run, failure))
        return false;
    // A release whose list or files are missing, damaged or unreadable is
    // refused before anything is touched; so is a plan that a long path,
    // Tolvane running, the user's rights or a full disk would stop.
    unsigned int release = LoadStagedList(run.own, plan);
    if (release != 0)
        return Fail(failure, release);
    // A holder found now has its time from now: the main executable's,
    // already waited for here, is not waited for again.
    AskedBefore = GetTickCount();
    if (!PlanCanRun(plan, run, HeldBefore, failure))
        return false;

    // A run stopped inside the copy step leaves the platform's temporary
    // file in the installation folder, where only installers put such files.
    RemoveInstallerTempFiles(run.install);
    bool installed = false;
    bool replacing = false;
    unsigned int reached = 0;
    if (!PrepareWorkFolders(run))
        Fail(failure, IDS_IO_ERROR);
    else if (CopyPlan(dialog, plan, run, &reached, failure) && ChooseFates(plan, run, failure)) {
        replacing = true;
        installed = ReplacePlan(plan, run, &waiting, failure);
    }
    // Every copy has taken its target's name or waits for the restart; the
    // copies of a run that stopped before replacing go, and so does what
    // they left in the work folders. Once replacing has begun, whatever is
    // left is what the next run or the restart needs.
    if (!installed && !replacing)
        RemoveCopies(plan, run, reached);
    if (installed || !replacing)
        RemoveWorkFolders(run);
    // The copy step's temporary files that a program held when the copy
    // step tried to remove them have been let go by now.
    if (installed)
        RemoveInstallerTempFiles(run.install);
    if (waitsForRestart != 0)
        *waitsForRestart = installed && waiting;
    return installed;
}
