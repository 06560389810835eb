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

bool RunUpdate(HWND dialog)
{
    char folder[PATH_BUFFER_SIZE];
    folder[0] = 0;
    unsigned int outcome = IDS_NOT_INSTALLED;

    if (LocateInstallation(folder)) {
        if (!InstallStagedFiles(dialog, folder))
            return false;
        // The post-install tasks report nothing; the update is complete once
        // every file is in place.
        ApplySettingsDefaults();
        MigrateDataFiles(folder);
        outcome = IDS_DONE;
    }

    const char* caption = LoadResString(IDS_CAPTION);
    const char* text = LoadResString(outcome);
    MessageBoxA(dialog, text, caption, MB_OK | MB_ICONINFORMATION);
    if (outcome == IDS_DONE)
        RestartPending = true;
    return true;
}
