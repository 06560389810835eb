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
// platform's temporary file behind: the one it names goes, and so does any
// other in the copy folder, where only installers put such files.
static DWORD CopyStep(const StagedFile& row, const GroupFolders& folders)
{
    char tempName[PATH_BUFFER_SIZE];
    char tempPath[PATH_BUFFER_SIZE];
    // Both names are the staged name: the copy lands in the copy folder.
    // The header declares the name parameters writable; they are only read.
    char* stagedName = const_cast<char*>(row.stagedName);
    unsigned int waits = 0;
    for (;;) {
        UINT tempLength = TEMP_NAME_LENGTH;
        tempName[0] = 0;
        DWORD copied = OpInstallCopy(stagedName, stagedName, const_cast<char*>(folders.source),
                                     const_cast<char*>(folders.copy), tempName, &tempLength);
        if (copied == 0)
            return 0;
        if ((copied & VIF_TEMPFILE) && tempName[0] != 0 &&
            MakePath(tempPath, sizeof tempPath, 0, folders.copy, tempName, 0) && FitsFileCall(tempPath))
            RemoveFile(tempPath);
        RemoveInstallerTempFiles(folders.copy);
        if ((copied & HELD_COPY_BITS) == 0 || !WaitAgain(&waits))
            return copied;
    }
}

static bool CopyRow(const StagedFile& row, const GroupFolders& folders, InstallFailure* failure)
{
    RowPaths paths;
    if (!MakeRowPaths(row, folders, &paths))
        return FailNaming(failure, IDS_PATH_TOO_LONG, folders.shown, row.targetName);

    // A target that is gone, with only its staged copy left in its place (a
    // replacement stopped by an earlier version of this updater), keeps that
    // copy under the set-aside name: the copy step writes over the staged
    // name, and must not be able to destroy the one file that stands for
    // the target.
    if (IsCopyBesideTarget(folders) && QueryPath(paths.target) == PathMissing && !AnySetAside(row, paths) &&
        QueryPath(paths.staged) != PathMissing && !RenameWhenFree(paths.staged, paths.setAside))
        return Fail(failure, IDS_IO_ERROR);

    DWORD copied = CopyStep(row, folders);
    if (copied != 0) {
        // The release was found whole before anything was written: a source
        // that the copy step cannot read is a read error (a scratched CD)
        // unless it reads to its end, and then its content is at fault.
        if (copied & VIF_CANNOTREADSRC)
            return Fail(failure, ReadsToItsEnd(paths.source) ? IDS_DAMAGED : IDS_READ_ERROR);
        if (copied & (VIF_SHARINGVIOLATION | VIF_FILEINUSE))
            return Fail(failure, IDS_FILE_IN_USE, paths.staged);
        return Fail(failure, IDS_IO_ERROR);
    }
    switch (CheckStagedCopy(paths.staged, row.stagedName)) {
    case CopyIntact:
        return true;
    case CopyDamaged:
        return Fail(failure, IDS_DAMAGED);
    case CopyHeld:
        return Fail(failure, IDS_FILE_IN_USE, paths.staged);
    default:
        return Fail(failure, IDS_IO_ERROR);
    }
}

bool CopyPlan(HWND dialog, const InstallPlan& plan, const RunFolders& run, InstallFailure* failure)
{
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        GroupFolders folders = FoldersOf(run, group);
        for (unsigned int i = 0; i < group.rowCount; ++i) {
            if (!CopyRow(group.rows[i], folders, failure))
                return false;
            if (group.advancesProgress)
                PostMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETPOS, PercentOf(group.rowCount, i + 1), 0);
        }
    }
    return true;
}

void RemoveCopies(const InstallPlan& plan, const RunFolders& run)
{
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        GroupFolders folders = FoldersOf(run, group);
        for (unsigned int i = 0; i < group.rowCount; ++i) {
            RowPaths paths;
            if (MakeRowPaths(group.rows[i], folders, &paths) &&
                (!IsCopyBesideTarget(folders) || QueryPath(paths.target) != PathMissing ||
                 AnySetAside(group.rows[i], paths)))
                RemoveFile(paths.staged);
        }
    }
    RemoveInstallerTempFiles(run.install);
}
