// ApplySettingsDefaults: a value counts as present when a probe into a buffer
// of its own kind succeeds; otherwise it receives its default. The updater
// never uses the data; the settings belong to the installed application.
#include <windows.h>
#include "common/path_helpers.h"
#include "common/res_strings.h"
#include "post/settings_defaults.h"
#include "res/resource.h"

// Access for "Software": KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY.
static const REGSAM SOFTWARE_KEY_ACCESS = 0x2001F;

enum SettingDefault {
    EmptyText,      // REG_SZ "" written with a data length of 0
    Number,         // REG_DWORD `number`
    TempFolderPath  // REG_SZ from GetTempPathA, terminator counted
};

struct SettingRow {
    unsigned int nameId;
    SettingDefault fill;
    DWORD number;
    bool alwaysWrite;  // written without probing
};

static const SettingRow SettingRows[] = {
    { IDS_PROXY, EmptyText, 0, false },
    { IDS_PORT, Number, 0, false },
    { IDS_SEARCH_ISRC, Number, 0, false },
    { IDS_MEDIA_BAR, Number, 0, false },
    { IDS_DDCD_CONVERT, Number, 0, false },
    { IDS_DVD_COMPATIBLE, Number, 1, false },
    { IDS_ENABLE_ENCODE, Number, 0, true },
    { IDS_TEMP_FOLDER, TempFolderPath, 0, false },
};

// Queries the value into a buffer of the row's kind; only the status counts,
// so a value too large for that buffer counts as missing.
static bool IsValuePresent(HKEY key, const char* name, SettingDefault fill)
{
    char text[PATH_BUFFER_SIZE];
    DWORD number;
    BYTE* buffer = reinterpret_cast<BYTE*>(&number);
    DWORD size = sizeof number;
    if (fill != Number) {
        buffer = reinterpret_cast<BYTE*>(text);
        size = sizeof text;
    }
    return RegQueryValueExA(key, name, 0, 0, buffer, &size) == ERROR_SUCCESS;
}

static void WriteDefault(HKEY key, const char* name, const SettingRow& row)
{
    switch (row.fill) {
    case EmptyText:
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0);
        break;
    case Number:
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&row.number),
                       sizeof row.number);
        break;
    case TempFolderPath: {
        // A failed or truncated lookup leaves the value unwritten this run.
        char path[PATH_BUFFER_SIZE];
        DWORD length = GetTempPathA(sizeof path, path);
        if (length == 0 || length >= sizeof path)
            break;
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), length + 1);
        break;
    }
    }
}

void ApplySettingsDefaults()
{
    HKEY software = 0;
    HKEY settings = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, LoadResString(IDS_SOFTWARE), 0, SOFTWARE_KEY_ACCESS,
                      &software) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExA(software, LoadResString(IDS_SETTINGS_KEY), 0, 0, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, 0, &settings, 0) != ERROR_SUCCESS)
        goto done;

    for (unsigned int i = 0; i < sizeof SettingRows / sizeof SettingRows[0]; ++i) {
        const SettingRow& row = SettingRows[i];
        const char* name = LoadResString(row.nameId);
        if (row.alwaysWrite || !IsValuePresent(settings, name, row.fill))
            WriteDefault(settings, name, row);
    }
    RegCloseKey(settings);
done:
    RegCloseKey(software);
}
