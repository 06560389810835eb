// CopyPlan and RemoveCopies. The copy step is the platform's file installer
// (VerInstallFileA, forced), which also expands a staged file stored in the
// LZ format; it writes a temporary file in the copy folder and renames it
// to the staged name, which it first deletes.
#include <windows.h>
#include <commctrl.h>
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/path_kind.h"
#include "common/restart_list.h"
#include "common/percent.h"
#include "install/folder_sweep.h"
#include "install/row_paths.h"
#include "install/staged_check.h"
#include "install/staged_copies.h"
#include "res/resource.h"

static const UINT TEMP_NAME_LENGTH = 260;

// The failures of the copy step that a program holding its temporary file
// or the staged copy for a moment explains. Some installers say only that
// the file could not be created, renamed or deleted.
static const DWORD HELD_COPY_BITS = VIF_SHARINGVIOLATION | VIF_ACCESSVIOLATION | VIF_FILEINUSE |
                                    VIF_CANNOTCREATE | VIF_CANNOTDELETE | VIF_CANNOTRENAME;

// The rows whose fresh copy a program held when it was to be checked.
static bool Unchecked[MAX_PLAN_ROWS];

// The copy step for one row, tried again while a holder may explain its
// failure. Returns its result (0 on success). A temporary file that the
// copy step reports having made is handed back to it, so that a try again
// finishes that copy rather than making another. A failed copy can leave
// the platform's temporary file ("VERnnnn.TMP") behind, named or not: once
// the copy succeeds or fails for good, every such file of the copy folder
// goes, where only installers put them.
static DWORD CopyStep(const StagedFile& row, const GroupFolders& folders)
{
    char tempName[PATH_BUFFER_SIZE];
    // Both names are the staged name: the copy lands in the copy folder.
    // The header declares the name parameters writable; they are only read.
    char* stagedName = const_cast<char*>(row.stagedName);
    unsigned int waits = 0;
    DWORD copied;
    tempName[0] = 0;
    do {
        UINT tempLength = TEMP_NAME_LENGTH;
        copied = OpInstallCopy(stagedName, stagedName, const_cast<char*>(folders.source),
                               const_cast<char*>(folders.copy), tempName, &tempLength);
        if ((copied & VIF_TEMPFILE) == 0)
            tempName[0] = 0;
    } while ((copied & HELD_COPY_BITS) != 0 && WaitAgain(&waits));
    if (waits != 0 || copied != 0)
        RemoveInstallerTempFiles(folders.copy);
    return copied;
}

// The message for a copy that the copy step made but that is not as the
// list says.
static bool FailChecking(CopyCheck check, const StagedFile& row, const RowPaths& paths, const GroupFolders& folders,
                         InstallFailure* failure)
{
    switch (check) {
    case CopyDamaged:
        return Fail(failure, IDS_DAMAGED);
    case CopyHeld:
        return FailNamingCopy(row, paths, folders, IDS_FILE_IN_USE, failure);
    default:
        return Fail(failure, IDS_IO_ERROR);
    }
}

// Copies one row. `ours` is set once whatever lies under the staged name in
// the copy folder is this run's to remove; `held`, when a program held the
// fresh copy as it was to be checked (CheckHeldCopies comes back to it).
static bool CopyRow(const StagedFile& row, const GroupFolders& folders, bool* ours, bool* held,
                    InstallFailure* failure)
{
    RowPaths paths;
    if (!RowPathsFit(row, folders, &paths, failure))
        return false;

    // A copy that stands for the main executable is kept under its set-aside
    // name, where it still does: the copy step writes over the staged name.
    if (StandsForTarget(row, paths, folders) && !RenameWhenFree(paths.staged, paths.setAside))
        return Fail(failure, IDS_IO_ERROR);
    *ours = true;

    DWORD copied = CopyStep(row, folders);
    if (copied != 0) {
        // The release was found whole before anything was written: a source
        // that the copy step cannot read is a read error (a scratched CD)
        // unless it reads to its end, and then its content is at fault.
        char source[PATH_BUFFER_SIZE];
        if (copied & VIF_CANNOTREADSRC)
            return Fail(failure, MakePath(source, sizeof source, 0, folders.source, row.stagedName, 0) &&
                                         ReadsToItsEnd(source)
                                     ? IDS_DAMAGED
                                     : IDS_READ_ERROR);
        if (copied & (VIF_SHARINGVIOLATION | VIF_FILEINUSE))
            return FailNamingCopy(row, paths, folders, IDS_FILE_IN_USE, failure);
        return Fail(failure, IDS_IO_ERROR);
    }
    CopyCheck check = CheckStagedCopy(paths.staged, row.stagedName);
    *held = check == CopyHeld;
    return check == CopyIntact || *held || FailChecking(check, row, paths, folders, failure);
}

// Checks the copies that a program held when they were made, all of them in
// turn until none is left, each as soon as it is let go; they are waited for
// together, from the last time one of them could be checked.
static bool CheckHeldCopies(const InstallPlan& plan, const RunFolders& run, InstallFailure* failure)
{
    DWORD checked = GetTickCount();
    for (bool last = false;; last = !WaitForOwnFiles(checked)) {
        bool left = false;
        PlanRow at;
        RowPaths paths;
        for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at)) {
            if (!Unchecked[at.number] || !MakeRowPaths(*at.row, at.folders, &paths))
                continue;
            CopyCheck check = CheckStagedCopy(paths.staged, at.row->stagedName);
            if (check == CopyHeld && !last) {
                left = true;
                continue;
            }
            if (check != CopyIntact)
                return FailChecking(check, *at.row, paths, at.folders, failure);
            Unchecked[at.number] = false;
            checked = GetTickCount();
        }
        if (!left)
            return true;
    }
}

bool CopyPlan(HWND dialog, const InstallPlan& plan, const RunFolders& run, unsigned int* reached,
              InstallFailure* failure)
{
    *reached = 0;
    PlanRow at;
    RowPaths paths;
    for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at)) {
        if (!PlanRowPathsFit(at, &paths, failure))
            return false;
        bool ours = false;
        bool copied = true;
        Unchecked[at.number] = false;
        // A copy that waits for the restart, left by an earlier run, is kept
        // as it is: the restart renames it.
        if (!IsReplacedAtRestart(paths.staged))
            copied = CopyRow(*at.row, at.folders, &ours, &Unchecked[at.number], failure);
        *reached += ours;
        if (!copied)
            return false;
        const StagedGroup& group = *plan.groups[at.group];
        if (group.advancesProgress)
            PostMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETPOS, PercentOf(group.rowCount, at.index + 1), 0);
    }
    return CheckHeldCopies(plan, run, failure);
}

void RemoveCopies(const InstallPlan& plan, const RunFolders& run, unsigned int reached)
{
    PlanRow at;
    RowPaths paths;
    for (bool more = FirstPlanRow(plan, run, &at); more; more = NextPlanRow(plan, run, &at))
        if (MakeRowPaths(*at.row, at.folders, &paths) &&
            (at.number < reached || !StandsForTarget(*at.row, paths, at.folders)) &&
            !IsReplacedAtRestart(paths.staged))
            RemoveFile(paths.staged);
    RemoveInstallerTempFiles(run.install);
}
