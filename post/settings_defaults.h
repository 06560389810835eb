// Seeding the installed application's per-user settings.
#ifndef POST_SETTINGS_DEFAULTS_H
#define POST_SETTINGS_DEFAULTS_H

// Creates HKCU\Software\Morvex\Tolvane when missing, writes the default of
// every missing value and resets "EnableEncode" to 0. Reports nothing.
void ApplySettingsDefaults();

#endif
