// InstallStagedFiles and InstallGroup. A target is touched only once its
// replacement lies complete beside it, and then only by a delete and a
// rename. Nothing is rolled back: the first failing row stops the run, and
// the next run installs everything again from the first row.
#include <windows.h>
#include <commctrl.h>
#include "common/app_state.h"
#include "common/own_folder.h"
#include "common/path_helpers.h"
#include "common/percent.h"
#include "common/res_strings.h"
#include "install/installer.h"
#include "res/resource.h"

static const UINT SYSTEM_FOLDER_SIZE = 516;
static const UINT TEMP_NAME_LENGTH = 260;

static void ShowIoError(HWND dialog)
{
    const char* caption = LoadResString(IDS_CAPTION);
    const char* text = LoadResString(IDS_IO_ERROR);
    MessageBoxA(dialog, text, caption, MB_ICONERROR);
}

// Copies, then replaces the target. A row whose paths do not fit, whose copy
// fails, or whose copy cannot be renamed to the target (the target is in use,
// write-protected, or its subfolder is missing) is not installed.
static bool InstallRow(const StagedFile& row, const char* destinationFolder,
                       const char* ownFolder, char* tempName, UINT* tempLength)
{
    char stagedPath[PATH_BUFFER_SIZE];
    char targetPath[PATH_BUFFER_SIZE];
    if (!MakePath(stagedPath, sizeof stagedPath, 0, destinationFolder, row.stagedName, 0) ||
        !MakePath(targetPath, sizeof targetPath, 0, destinationFolder, row.targetName, 0))
        return false;

    // Both names are the staged name: the copy lands beside the target first.
    // The header declares the name parameters writable; they are only read.
    char* stagedName = const_cast<char*>(row.stagedName);
    DWORD result = VerInstallFileA(VIFF_FORCEINSTALL, stagedName, stagedName,
                                   const_cast<char*>(ownFolder),
                                   const_cast<char*>(destinationFolder), 0, tempName, tempLength);
    if (result != 0)
        return false;

    // The rename fails while the target exists, so the target goes first.
    BOOL targetDeleted = DeleteFileA(targetPath);
    if (MoveFileA(stagedPath, targetPath))
        return true;
    // A row that is not installed leaves no staged copy behind, as long as
    // the old target is still in place. Once the target is deleted (or only
    // marked for deletion because another program holds it open), the staged
    // copy is the one file of that name left; it stays for the next run.
    if (!targetDeleted)
        DeleteFileA(stagedPath);
    return false;
}

bool InstallGroup(HWND dialog, const StagedGroup& group, const char* destinationFolder,
                  const char* ownFolder, char* tempName, UINT* tempLength)
{
    for (unsigned int i = 0; i < group.rowCount; ++i) {
        if (!InstallRow(group.rows[i], destinationFolder, ownFolder, tempName, tempLength)) {
            ShowIoError(dialog);
            return false;
        }
        if (group.advancesProgress)
            SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS,
                                PercentOf(group.rowCount, i + 1), 0);
    }
    return true;
}

bool InstallStagedFiles(HWND dialog, const char* installFolder)
{
    char ownFolder[PATH_BUFFER_SIZE];
    char systemFolder[SYSTEM_FOLDER_SIZE];
    char tempName[PATH_BUFFER_SIZE];
    UINT tempLength = TEMP_NAME_LENGTH;
    bool systemFetched = false;
    tempName[0] = 0;

    if (!GetOwnFolder(ownFolder, sizeof ownFolder)) {
        ShowIoError(dialog);
        return false;
    }

    InstallPlan plan = GroupsForPlatform(OsVersion);
    for (unsigned int g = 0; g < plan.groupCount; ++g) {
        const StagedGroup& group = *plan.groups[g];
        const char* destination = installFolder;
        if (group.root == SystemFolder) {
            if (!systemFetched) {
                UINT length = GetSystemDirectoryA(systemFolder, SYSTEM_FOLDER_SIZE);
                if (length == 0 || length >= SYSTEM_FOLDER_SIZE) {
                    ShowIoError(dialog);
                    return false;
                }
                systemFetched = true;
            }
            destination = systemFolder;
        }
        if (!InstallGroup(dialog, group, destination, ownFolder, tempName, &tempLength))
            return false;
    }
    return true;
}
