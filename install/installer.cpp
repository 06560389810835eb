// InstallStagedFiles and InstallGroup. Before anything is written, the
// release's list, the folders that the copy step is given, the targets'
// holders and the free space are checked. A target is touched only once its
// replacement lies complete in the copy folder, matches the release's list
// and is flushed to the disk; then the old target is renamed aside, the copy
// takes its name, and only after that is the old one deleted (at the next
// restart, when it is still loaded). A stop at any point leaves the target
// or a copy of ours in its place, so the next run can always finish.
// Nothing is rolled back: the first failing row stops the run, and the next
// run installs everything again from the first row.
#include <windows.h>
#include <commctrl.h>
#include "common/app_state.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/own_folder.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/percent.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "install/copy_step_paths.h"
#include "install/installer.h"
#include "install/plan_checks.h"
#include "install/staged_check.h"
#include "res/resource.h"

static const UINT SYSTEM_FOLDER_SIZE = 516;
static const UINT TEMP_NAME_LENGTH = 260;

enum RowResult { RowInstalled, RowFailed, RowDamaged };

// Whether a file (or anything that cannot be told from one) has this name.
static bool Exists(const char* path)
{
    return QueryPath(path) != PathMissing;
}

// Whether a file is a temporary file of the platform's file installer: its
// name is "VER", one to four hexadecimal digits and ".TMP", and it is a
// plain file (the installer never makes one read-only, hidden or system).
static bool IsInstallerTempFile(const WIN32_FIND_DATAA& entry)
{
    const DWORD notPlain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const char* name = entry.cFileName;
    if (entry.dwFileAttributes & notPlain)
        return false;
    const char prefix[] = "VER";
    for (int i = 0; i < 3; ++i)
        if ((name[i] & ~0x20) != prefix[i])
            return false;
    int digits = 0;
    const char* p = name + 3;
    for (; digits < 5; ++p, ++digits) {
        char c = *p;
        bool hex = (c >= '0' && c <= '9') || ((c & ~0x20) >= 'A' && (c & ~0x20) <= 'F');
        if (!hex)
            break;
    }
    return digits >= 1 && digits <= 4 && lstrcmpiA(p, ".TMP") == 0;
}
static void RemoveFilesOf(const char* folder, bool (*wanted)(const WIN32_FIND_DATAA&))
{
    char path[PATH_BUFFER_SIZE];
    if (!MakePath(path, sizeof path, 0, folder, "*", 0))
        return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && wanted(entry) &&
            MakePath(path, sizeof path, 0, folder, entry.cFileName, 0))
            RemoveFile(path);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

static bool AnyFile(const WIN32_FIND_DATAA&)
{
    return true;
}

// The paths of a row: the staged copy in the copy folder, the target, the
// folder that holds the target, and the set-aside name of our own beside the
// target that the old target takes while the copy replaces it.
struct RowPaths {
    char staged[PATH_BUFFER_SIZE];
    char target[PATH_BUFFER_SIZE];
    char targetFolder[PATH_BUFFER_SIZE];
    char setAside[PATH_BUFFER_SIZE];
};

// Set-aside name `index` of the row, beside its target.
static bool MakeSetAsidePath(const StagedFile& row, const RowPaths& paths, unsigned int index, char* out)
{
    char name[PATH_PART_SIZE];
    return MakeSetAsideName(name, sizeof name, row.stagedName, index) &&
           MakePath(out, PATH_BUFFER_SIZE, 0, paths.targetFolder, name, 0);
}

static bool MakeRowPaths(const StagedFile& row, const GroupFolders& folders, RowPaths* paths)
{
    char targetDir[PATH_PART_SIZE];
    return MakePath(paths->staged, PATH_BUFFER_SIZE, 0, folders.copy, row.stagedName, 0) &&
           MakePath(paths->target, PATH_BUFFER_SIZE, 0, folders.destination, row.targetName, 0) &&
           SplitPath(row.targetName, 0, targetDir, 0, 0) &&
           MakePath(paths->targetFolder, PATH_BUFFER_SIZE, 0, folders.destination, targetDir, 0) &&
           MakeSetAsidePath(row, *paths, 0, paths->setAside);
}

// Searches the target's folder for old copies of the row under any of its
// set-aside names ("tl002.old", "tl002.ol1" ...). INVALID_HANDLE_VALUE when
// there is none; otherwise `found` holds the first.
static HANDLE FindSetAside(const StagedFile& row, const RowPaths& paths, char* pattern,
                           WIN32_FIND_DATAA* found)
{
    // The names differ in their last character only.
    if (!MakeSetAsidePath(row, paths, 0, pattern))
        return INVALID_HANDLE_VALUE;
    pattern[TextLength(pattern) - 1] = '?';
    return FindFirstFileA(pattern, found);
}

// Whether an old copy of the row lies under any of its set-aside names.
static bool AnySetAside(const StagedFile& row, const RowPaths& paths)
{
    char pattern[PATH_BUFFER_SIZE];
    WIN32_FIND_DATAA found;
    HANDLE search = FindSetAside(row, paths, pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

// The first set-aside name that holds no file becomes the row's. A name
// whose old copy could be deleted now is not taken even so: a copy that
// was held when an earlier run left it is also deleted at the restart,
// which must not take this run's old target with it. False when no name
// is free.
static bool ChooseSetAside(const StagedFile& row, RowPaths* paths)
{
    for (unsigned int i = 0; i < SET_ASIDE_NAME_COUNT; ++i)
        if (MakeSetAsidePath(row, *paths, i, paths->setAside) && QueryPath(paths->setAside) == PathMissing)
            return true;
    return false;
}

// Deletes every old copy of the row: this run's and any that earlier runs
// left. One that another program still holds is deleted at the restart.
static void RemoveSetAside(const StagedFile& row, const RowPaths& paths)
{
    char pattern[PATH_BUFFER_SIZE];
    char path[PATH_BUFFER_SIZE];
    WIN32_FIND_DATAA found;
    HANDLE search = FindSetAside(row, paths, pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (MakePath(path, sizeof path, 0, paths.targetFolder, found.cFileName, 0) && !RemoveFile(path))
            DeleteAtRestart(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Copies, checks and flushes the staged file, then replaces the target in
// three steps: the old target is renamed aside, the copy renamed to the
// target, the old one deleted. A read-only attribute stops none of the
// renames; the delete clears it.
static RowResult InstallRow(const StagedFile& row, const GroupFolders& folders)
{
    RowPaths paths;
    if (!MakeRowPaths(row, folders, &paths))
        return RowFailed;
    // Only a copy beside its target can stand for it in the lookup.
    bool besideTarget = lstrcmpiA(folders.copy, folders.destination) == 0;

    // A target that is gone, with only its staged copy left in its place (a
    // replacement stopped by an earlier version of this updater), keeps that
    // copy under the set-aside name: the copy step below writes over the
    // staged name, and must not be able to destroy the one file that stands
    // for the target.
    if (besideTarget && !Exists(paths.target) && !AnySetAside(row, paths) && Exists(paths.staged) &&
        !OpRename(paths.staged, paths.setAside))
        return RowFailed;

    // Both names are the staged name: the copy lands in the copy folder. The
    // header declares the name parameters writable; they are only read.
    char tempName[PATH_BUFFER_SIZE];
    char tempPath[PATH_BUFFER_SIZE];
    UINT tempLength = TEMP_NAME_LENGTH;
    tempName[0] = 0;
    char* stagedName = const_cast<char*>(row.stagedName);
    DWORD copied = OpInstallCopy(stagedName, stagedName, const_cast<char*>(folders.source),
                                 const_cast<char*>(folders.copyStep), tempName, &tempLength);
    if (copied != 0) {
        // A failed copy can leave the platform's temporary file behind; when
        // it names it, it goes now, and any other goes in the next run.
        if ((copied & VIF_TEMPFILE) && tempName[0] != 0 &&
            MakePath(tempPath, sizeof tempPath, 0, folders.copy, tempName, 0))
            RemoveFile(tempPath);
        return RowFailed;
    }

    RowResult result = RowFailed;
    bool setAside = false;
    PathKind target = QueryPath(paths.target);
    CopyCheck check = CheckStagedCopy(paths.staged, row.stagedName);
    if (check != CopyIntact) {
        result = check == CopyDamaged ? RowDamaged : RowFailed;
        goto fail;
    }
    if (target == PathFolder || target == PathUnknown)
        goto fail;
    if (target == PathFile) {
        if (!ChooseSetAside(row, &paths) || !OpRename(paths.target, paths.setAside))
            goto fail;
        setAside = true;
    }
    if (!OpRename(paths.staged, paths.target)) {
        if (setAside)
            OpRename(paths.setAside, paths.target);
        goto fail;
    }
    // The old target (this run's, or one that an earlier run set aside and
    // was stopped before it could delete) is no longer needed.
    RemoveSetAside(row, paths);
    return RowInstalled;

fail:
    // The staged copy goes, unless it lies beside a target that is gone with
    // no old copy set aside: then it is the one file that stands for it.
    if (!besideTarget || Exists(paths.target) || AnySetAside(row, paths))
        RemoveFile(paths.staged);
    return result;
}

bool InstallGroup(HWND dialog, const StagedGroup& group, const GroupFolders& folders,
                  unsigned int* failure)
{
    for (unsigned int i = 0; i < group.rowCount; ++i) {
        RowResult result = InstallRow(group.rows[i], folders);
        if (result != RowInstalled) {
            *failure = result == RowDamaged ? IDS_DAMAGED : IDS_IO_ERROR;
            return false;
        }
        // Posted: the installation never waits for the bar to repaint.
        if (group.advancesProgress)
            PostMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETPOS,
                         PercentOf(group.rowCount, i + 1), 0);
    }
    return true;
}

// A folder of our own where staged copies are made: in the system folder,
// and in the installation folder when the updater runs from there. Only
// this updater puts files in it, so whatever a stopped run left in it (a
// partial copy, the platform's temporary file) can be removed; the folders
// around it are shared with every other installer, whose temporary files
// may still be wanted.
static bool PrepareWorkFolder(const char* workFolder)
{
    switch (QueryPath(workFolder)) {
    case PathMissing:
        return OpCreateFolder(workFolder) != FALSE;
    case PathFolder:
        RemoveFilesOf(workFolder, AnyFile);
        return true;
    default:
        return false;
    }
}

// The folders of a run: where the release lies, the destination roots, the
// work folders, and the forms of them that the copy step is given.
struct RunFolders {
    char own[PATH_BUFFER_SIZE];
    char ownStep[PATH_BUFFER_SIZE];
    char system[SYSTEM_FOLDER_SIZE];
    char systemWork[PATH_BUFFER_SIZE];
    char systemWorkStep[PATH_BUFFER_SIZE];
    char installWork[PATH_BUFFER_SIZE];
    char installStep[PATH_BUFFER_SIZE];
    bool fromInstallFolder;
};

// Finds every folder of the run without writing anything. Returns the
// message of a failure, or 0.
static unsigned int FindRunFolders(const char* installFolder, RunFolders* run)
{
    char workName[PATH_PART_SIZE];
    UINT length = GetSystemDirectoryA(run->system, SYSTEM_FOLDER_SIZE);
    // Without its name the work folder would be the folder around it.
    if (!GetOwnFolder(run->own, sizeof run->own) || length == 0 || length >= SYSTEM_FOLDER_SIZE ||
        !CopyText(workName, sizeof workName, LoadResString(IDS_WORK_FOLDER)) || workName[0] == 0)
        return IDS_IO_ERROR;
    // Run from the installation folder itself, the release's own files lie
    // beside the targets under the staged names: the copies are made in a
    // work folder there instead, as in the system folder.
    run->fromInstallFolder = IsSameFolder(run->own, installFolder);
    if (!MakePath(run->systemWork, PATH_BUFFER_SIZE, 0, run->system, workName, 0) ||
        !MakePath(run->installWork, PATH_BUFFER_SIZE, 0, installFolder, workName, 0))
        return IDS_IO_ERROR;
    if (!MakeCopyStepFolder(run->own, 0, run->ownStep) ||
        !MakeCopyStepFolder(run->system, workName, run->systemWorkStep) ||
        !MakeCopyStepFolder(installFolder, run->fromInstallFolder ? workName : 0, run->installStep))
        return IDS_PATH_TOO_LONG;
    return 0;
}

bool InstallStagedFiles(HWND dialog, const char* installFolder, unsigned int* failure)
{
    RunFolders run;
    bool systemPrepared = false;
    bool installed = true;

    InstallPlan plan = GroupsForPlatform(OsVersion);
    *failure = FindRunFolders(installFolder, &run);
    if (*failure != 0)
        return false;
    // A release whose list is missing or damaged is refused before anything
    // is touched; so is a plan that a program in use or a full disk would
    // stop part-way.
    if (!LoadStagedList(run.own, plan)) {
        *failure = IDS_DAMAGED;
        return false;
    }
    *failure = IDS_IO_ERROR;
    if (!PlanCanRun(plan, installFolder, run.system))
        return false;

    // A run stopped inside the copy step leaves the platform's temporary
    // file in the installation folder, where only installers put such files.
    RemoveFilesOf(installFolder, IsInstallerTempFile);
    if (run.fromInstallFolder && !PrepareWorkFolder(run.installWork))
        return false;

    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        GroupFolders folders;
        folders.source = run.ownStep;
        folders.destination = installFolder;
        folders.copy = run.fromInstallFolder ? run.installWork : installFolder;
        folders.copyStep = run.installStep;
        if (group.root == SystemFolder) {
            if (!systemPrepared && !PrepareWorkFolder(run.systemWork)) {
                installed = false;
                break;
            }
            systemPrepared = true;
            folders.destination = run.system;
            folders.copy = run.systemWork;
            folders.copyStep = run.systemWorkStep;
        }
        if (!InstallGroup(dialog, group, folders, failure)) {
            installed = false;
            break;
        }
    }
    // Empty now: every staged copy made there has taken its target's name,
    // or was removed with its failing row.
    if (systemPrepared)
        OpRemoveFolder(run.systemWork);
    if (run.fromInstallFolder)
        OpRemoveFolder(run.installWork);
    if (installed)
        *failure = 0;
    return installed;
}
