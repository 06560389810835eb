// InstallStagedFiles and InstallGroup. A target is touched only once its
// replacement lies complete beside it, matches the release's list and is
// flushed to the disk; then the old target is renamed aside, the copy takes
// its name, and only after that is the old one deleted. A stop at any point
// leaves the target or a copy of ours in its place, so the next run can
// always finish. Nothing is rolled back: the first failing row stops the
// run, and the next run installs everything again from the first row.
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
#include "install/installer.h"
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

// Deletes the files of `folder` (not its subfolders) that `wanted` accepts.
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

// The three paths of a row: the staged copy in the copy folder, the target,
// and the name of our own beside the target that the old target takes while
// the copy replaces it.
struct RowPaths {
    char staged[PATH_BUFFER_SIZE];
    char target[PATH_BUFFER_SIZE];
    char setAside[PATH_BUFFER_SIZE];
};

static bool MakeRowPaths(const StagedFile& row, const char* copyFolder,
                         const char* destinationFolder, RowPaths* paths)
{
    char targetDir[PATH_PART_SIZE];
    char targetFolder[PATH_BUFFER_SIZE];
    char setAsideName[PATH_PART_SIZE];
    return MakePath(paths->staged, PATH_BUFFER_SIZE, 0, copyFolder, row.stagedName, 0) &&
           MakePath(paths->target, PATH_BUFFER_SIZE, 0, destinationFolder, row.targetName, 0) &&
           SplitPath(row.targetName, 0, targetDir, 0, 0) &&
           MakePath(targetFolder, sizeof targetFolder, 0, destinationFolder, targetDir, 0) &&
           MakeSetAsideName(setAsideName, sizeof setAsideName, row.stagedName) &&
           MakePath(paths->setAside, PATH_BUFFER_SIZE, 0, targetFolder, setAsideName, 0);
}

// Copies, checks and flushes the staged file, then replaces the target in
// three steps: the old target is renamed aside, the copy renamed to the
// target, the old one deleted. A read-only attribute stops none of the
// renames; the delete clears it.
static RowResult InstallRow(const StagedFile& row, const char* copyFolder,
                            const char* destinationFolder, const char* ownFolder)
{
    RowPaths paths;
    if (!MakeRowPaths(row, copyFolder, destinationFolder, &paths))
        return RowFailed;
    // Only a copy beside its target can stand for it in the lookup.
    bool besideTarget = lstrcmpiA(copyFolder, destinationFolder) == 0;

    // A target that is gone, with only its staged copy left in its place (a
    // replacement stopped by an earlier version of this updater), keeps that
    // copy under the set-aside name: the copy step below writes over the
    // staged name, and must not be able to destroy the one file that stands
    // for the target.
    if (besideTarget && !Exists(paths.target) && !Exists(paths.setAside) && Exists(paths.staged) &&
        !OpRename(paths.staged, paths.setAside))
        return RowFailed;

    // Both names are the staged name: the copy lands in the copy folder. The
    // header declares the name parameters writable; they are only read.
    char tempName[PATH_BUFFER_SIZE];
    char tempPath[PATH_BUFFER_SIZE];
    UINT tempLength = TEMP_NAME_LENGTH;
    tempName[0] = 0;
    char* stagedName = const_cast<char*>(row.stagedName);
    DWORD copied = OpInstallCopy(stagedName, stagedName, const_cast<char*>(ownFolder),
                                 const_cast<char*>(copyFolder), tempName, &tempLength);
    if (copied != 0) {
        // A failed copy can leave the platform's temporary file behind; when
        // it names it, it goes now, and any other goes in the next run.
        if ((copied & VIF_TEMPFILE) && tempName[0] != 0 &&
            MakePath(tempPath, sizeof tempPath, 0, copyFolder, tempName, 0))
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
        // With the target in place, an old copy set aside by an earlier run
        // that could not delete it is only litter.
        RemoveFile(paths.setAside);
        if (!OpRename(paths.target, paths.setAside))
            goto fail;
        setAside = true;
    }
    if (!OpRename(paths.staged, paths.target)) {
        if (setAside)
            OpRename(paths.setAside, paths.target);
        goto fail;
    }
    // The old target (this run's, or one that an earlier run set aside and
    // was stopped before it could delete) is no longer needed. One that
    // another program still holds goes when it lets go, or in the next run.
    RemoveFile(paths.setAside);
    return RowInstalled;

fail:
    // The staged copy goes, unless it lies beside a target that is gone with
    // no old copy set aside: then it is the one file that stands for it.
    if (!besideTarget || Exists(paths.target) || Exists(paths.setAside))
        RemoveFile(paths.staged);
    return result;
}

bool InstallGroup(HWND dialog, const StagedGroup& group, const char* copyFolder,
                  const char* destinationFolder, const char* ownFolder, unsigned int* failure)
{
    for (unsigned int i = 0; i < group.rowCount; ++i) {
        RowResult result = InstallRow(group.rows[i], copyFolder, destinationFolder, ownFolder);
        if (result != RowInstalled) {
            *failure = result == RowDamaged ? IDS_DAMAGED : IDS_IO_ERROR;
            return false;
        }
        if (group.advancesProgress)
            SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS,
                                PercentOf(group.rowCount, i + 1), 0);
    }
    return true;
}

// The folder of our own in the system folder where the staged copies of the
// system-folder groups are made. Only this updater puts files there, so
// whatever a stopped run left in it (a partial copy, the platform's
// temporary file) can be removed; the system folder itself is shared with
// every other installer, whose temporary files may still be wanted.
static bool PrepareWorkFolder(const char* systemFolder, char* workFolder)
{
    // Without its name the folder would be the system folder itself.
    const char* name = LoadResString(IDS_WORK_FOLDER);
    if (name[0] == 0 || !MakePath(workFolder, PATH_BUFFER_SIZE, 0, systemFolder, name, 0))
        return false;
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

bool InstallStagedFiles(HWND dialog, const char* installFolder, unsigned int* failure)
{
    char ownFolder[PATH_BUFFER_SIZE];
    char systemFolder[SYSTEM_FOLDER_SIZE];
    char workFolder[PATH_BUFFER_SIZE];
    bool systemFetched = false;
    bool installed = true;

    InstallPlan plan = GroupsForPlatform(OsVersion);
    *failure = IDS_IO_ERROR;
    if (!GetOwnFolder(ownFolder, sizeof ownFolder))
        return false;
    // A release whose list is missing or damaged is refused before anything
    // is touched.
    if (!LoadStagedList(ownFolder, plan)) {
        *failure = IDS_DAMAGED;
        return false;
    }
    // A run stopped inside the copy step leaves the platform's temporary
    // file in the installation folder, where only installers put such files.
    RemoveFilesOf(installFolder, IsInstallerTempFile);

    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        const char* destination = installFolder;
        const char* copyFolder = installFolder;
        if (group.root == SystemFolder) {
            if (!systemFetched) {
                UINT length = GetSystemDirectoryA(systemFolder, SYSTEM_FOLDER_SIZE);
                if (length == 0 || length >= SYSTEM_FOLDER_SIZE ||
                    !PrepareWorkFolder(systemFolder, workFolder))
                    return false;
                systemFetched = true;
            }
            destination = systemFolder;
            copyFolder = workFolder;
        }
        if (!InstallGroup(dialog, group, copyFolder, destination, ownFolder, failure)) {
            installed = false;
            break;
        }
    }
    // Empty now: every staged copy made there has taken its target's name,
    // or was removed with its failing row.
    if (systemFetched)
        OpRemoveFolder(workFolder);
    if (installed)
        *failure = 0;
    return installed;
}
