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

// The copy step for one row, tried again while a holder may explain its
// failure. Returns its result (0 on success). A failed copy can leave the
// platform's temporary file ("VERnnnn.TMP") behind, named or not: once the
// copy succeeds or fails for good, every such file of the copy folder goes,
// where only installers put them.
static DWORD CopyStep(const StagedFile& row, const GroupFolders& folders)
{
    char tempName[PATH_BUFFER_SIZE];
    // Both names are the staged name: the copy lands in the copy folder.
    // The header declares the name parameters writable; they are only read.
    char* stagedName = const_cast<char*>(row.stagedName);
    unsigned int waits = 0;
    DWORD copied;
    do {
        UINT tempLength = TEMP_NAME_LENGTH;
        tempName[0] = 0;
        copied = OpInstallCopy(stagedName, stagedName, const_cast<char*>(folders.source),
                               const_cast<char*>(folders.copy), tempName, &tempLength);
    } while ((copied & HELD_COPY_BITS) != 0 && WaitAgain(&waits));
    if (waits != 0 || copied != 0)
        RemoveInstallerTempFiles(folders.copy);
    return copied;
}


// Copies one row. `ours` is set once whatever lies under the staged name in
// the copy folder is this run's to remove.
static bool CopyRow(const StagedFile& row, const GroupFolders& folders, bool* ours, InstallFailure* failure)
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
    switch (CheckStagedCopy(paths.staged, row.stagedName)) {
    case CopyIntact:
        return true;
    case CopyDamaged:
        return Fail(failure, IDS_DAMAGED);
    case CopyHeld:
        return FailNamingCopy(row, paths, folders, IDS_FILE_IN_USE, failure);
    default:
        return Fail(failure, IDS_IO_ERROR);
    }
}

bool CopyPlan(HWND dialog, const InstallPlan& plan, const RunFolders& run, unsigned int* reached,
              InstallFailure* failure)
{
    *reached = 0;
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        GroupFolders folders = FoldersOf(run, group);
        for (unsigned int i = 0; i < group.rowCount; ++i) {
            bool ours = false;
            bool copied = CopyRow(group.rows[i], folders, &ours, failure);
            *reached += ours;
            if (!copied)
                return false;
            if (group.advancesProgress)
                PostMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETPOS, PercentOf(group.rowCount, i + 1), 0);
        }
    }
    return true;
}

void RemoveCopies(const InstallPlan& plan, const RunFolders& run, unsigned int reached)
{
    unsigned int row = 0;
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        GroupFolders folders = FoldersOf(run, group);
        for (unsigned int i = 0; i < group.rowCount; ++i, ++row) {
            RowPaths paths;
            if (MakeRowPaths(group.rows[i], folders, &paths) &&
                (row < reached || !StandsForTarget(group.rows[i], paths, folders)))
                RemoveFile(paths.staged);
        }
    }
    RemoveInstallerTempFiles(run.install);
}
