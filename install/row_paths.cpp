// MakeRowPaths, with the failure of a path that does not fit, and the
// set-aside copies of a row, found by a search of their names, which differ
// in their last character only.
#include <windows.h>
#include "common/file_holder.h"
#include "common/file_removal.h"
#include "common/path_kind.h"
#include "common/restart_list.h"
#include "common/text.h"
#include "install/row_paths.h"
#include "res/resource.h"

// Set-aside name `index` of the row, beside its target.
static bool MakeSetAsidePath(const StagedFile& row, const RowPaths& paths, unsigned int index, char* out)
{
    char name[PATH_PART_SIZE];
    return MakeSetAsideName(name, sizeof name, row.stagedName, index) &&
           MakePath(out, PATH_BUFFER_SIZE, 0, paths.targetFolder, name, 0) && FitsFileCall(out);
}

bool MakeRowPaths(const StagedFile& row, const GroupFolders& folders, RowPaths* paths)
{
    char targetDir[PATH_PART_SIZE];
    return MakePath(paths->staged, PATH_BUFFER_SIZE, 0, folders.copy, row.stagedName, 0) &&
           MakePath(paths->target, PATH_BUFFER_SIZE, 0, folders.destination, row.targetName, 0) &&
           SplitPath(row.targetName, 0, targetDir, 0, 0) &&
           MakePath(paths->targetFolder, PATH_BUFFER_SIZE, 0, folders.destination, targetDir, 0) &&
           FitsFileCall(paths->staged) && FitsFileCall(paths->target) &&
           MakeSetAsidePath(row, *paths, 0, paths->setAside);
}

bool RowPathsFit(const StagedFile& row, const GroupFolders& folders, RowPaths* paths, InstallFailure* failure)
{
    return MakeRowPaths(row, folders, paths) || Fail(failure, IDS_FOLDER_TOO_LONG, folders.shown);
}

bool PlanRowPathsFit(const PlanRow& at, RowPaths* paths, InstallFailure* failure)
{
    return at.number < MAX_PLAN_ROWS ? RowPathsFit(*at.row, at.folders, paths, failure) : Fail(failure, IDS_IO_ERROR);
}

bool IsCopyBesideTarget(const GroupFolders& folders)
{
    return lstrcmpiA(folders.copy, folders.destination) == 0;
}

bool StandsForTarget(const StagedFile& row, const RowPaths& paths, const GroupFolders& folders)
{
    return IsMainExecutable(row) && IsCopyBesideTarget(folders) && QueryPath(paths.target) == PathMissing &&
           !AnySetAside(row, paths) && QueryPath(paths.staged) != PathMissing;
}

bool FailNamingCopy(const StagedFile& row, const RowPaths& paths, const GroupFolders& folders,
                    unsigned int message, InstallFailure* failure)
{
    if (IsCopyBesideTarget(folders))
        return FailNaming(failure, message, folders.shown, row.stagedName);
    return Fail(failure, message, paths.staged);
}

// Searches the target's folder for old copies of the row under any of its
// set-aside names. INVALID_HANDLE_VALUE when there is none; otherwise
// `found` holds the first.
static HANDLE FindSetAside(const StagedFile& row, const RowPaths& paths, WIN32_FIND_DATAA* found)
{
    char pattern[PATH_BUFFER_SIZE];
    if (!MakeSetAsidePath(row, paths, 0, pattern))
        return INVALID_HANDLE_VALUE;
    pattern[TextLength(pattern) - 1] = '?';
    return FindFirstFileA(pattern, found);
}

bool AnySetAside(const StagedFile& row, const RowPaths& paths)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindSetAside(row, paths, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

bool ChooseSetAside(const StagedFile& row, RowPaths* paths)
{
    for (unsigned int i = 0; i < SET_ASIDE_NAME_COUNT; ++i)
        if (MakeSetAsidePath(row, *paths, i, paths->setAside) && QueryPath(paths->setAside) == PathMissing)
            return true;
    return false;
}

SetAsideLeft RemoveSetAside(const StagedFile& row, const RowPaths& paths, bool atRestart)
{
    char path[PATH_BUFFER_SIZE];
    WIN32_FIND_DATAA found;
    SetAsideLeft left = NoSetAsideLeft;
    HANDLE search = FindSetAside(row, paths, &found);
    if (search == INVALID_HANDLE_VALUE)
        return left;
    do {
        if (!MakePath(path, sizeof path, 0, paths.targetFolder, found.cFileName, 0) || !FitsFileCall(path) ||
            RemoveFile(path, false))
            continue;
        if (atRestart)
            DeleteAtRestart(path);
        else if (AskHolder(path) == FileHeld)
            left = SetAsideHeld;
        else if (left == NoSetAsideLeft)
            left = SetAsideLoaded;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return left;
}
