// The update run behind the Start button. It runs synchronously on the
// dialog's thread; the disabled buttons keep a second run or an exit out.
#include <windows.h>
#include "common/app_state.h"
#include "common/path_helpers.h"
#include "common/res_strings.h"
#include "detect/installation_lookup.h"
#include "install/installer.h"
#include "post/data_migration.h"
#include "post/settings_defaults.h"
#include "res/resource.h"
#include "shell/update_run.h"

static void EnableButtons(HWND dialog, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, IDOK), enable);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), enable);
}

void RunStartSequence(HWND dialog)
{
    EnableButtons(dialog, FALSE);
    RunUpdate(dialog);
    EnableButtons(dialog, TRUE);
    // Disabling Start took the keyboard focus away from it; give it back the
    // way the dialog manager moves focus, so Start stays the default button
    // for Enter and Esc still means Exit.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
}

// Tells that the update finished but data files stayed in the installation
// folder, naming it and the data folder.
static void ShowDataStayed(HWND dialog, const char* folder, const char* dataFolder)
{
    char text[1024];
    // The format and the folder name take both string buffers; the caption
    // is loaded once the text is made.
    const char* format = LoadResString(IDS_DATA_STAYED);
    if (dataFolder[0] == 0)
        dataFolder = LoadResString(IDS_NO_DATA_FOLDER);
    // wsprintfA writes at most 1024 bytes; the format and two path buffers
    // stay well below that.
    wsprintfA(text, format, folder, dataFolder);
    MessageBoxA(dialog, text, LoadResString(IDS_CAPTION), MB_OK | MB_ICONWARNING);
}

bool RunUpdate(HWND dialog)
{
    char folder[PATH_BUFFER_SIZE];
    char dataFolder[PATH_BUFFER_SIZE];
    folder[0] = 0;
    unsigned int outcome = IDS_NOT_INSTALLED;

    if (LocateInstallation(folder)) {
        if (!InstallStagedFiles(dialog, folder))
            return false;
        // The settings report nothing; the update is complete once every
        // file is in place. Data files that could not move are told about.
        ApplySettingsDefaults();
        outcome = MigrateDataFiles(folder, dataFolder) ? IDS_DONE : IDS_DATA_STAYED;
    }

    if (outcome == IDS_DATA_STAYED) {
        ShowDataStayed(dialog, folder, dataFolder);
    } else {
        const char* caption = LoadResString(IDS_CAPTION);
        const char* text = LoadResString(outcome);
        MessageBoxA(dialog, text, caption, MB_OK | MB_ICONINFORMATION);
    }
    if (outcome != IDS_NOT_INSTALLED)
        RestartPending = true;
    return true;
}
