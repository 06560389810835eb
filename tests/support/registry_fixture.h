// Registry set-up for tests: the App Paths registration and the settings key.
#ifndef TESTS_SUPPORT_REGISTRY_FIXTURE_H
#define TESTS_SUPPORT_REGISTRY_FIXTURE_H

#include <windows.h>
#include <string>

extern const char APP_PATHS_KEY[];
extern const char SETTINGS_KEY[];

void DeleteKeyTree(HKEY root, const std::string& subkey);
bool KeyExists(HKEY root, const std::string& subkey);
// Creates the key and writes one raw value (data length as given).
bool WriteRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                   const void* data, DWORD length);
bool WriteStringValue(HKEY root, const std::string& subkey, const std::string& name,
                      const std::string& text);
bool WriteDwordValue(HKEY root, const std::string& subkey, const std::string& name, DWORD value);

struct RegValue {
    bool exists = false;
    DWORD type = 0;
    std::string data;  // raw bytes as stored
};
RegValue ReadValue(HKEY root, const std::string& subkey, const std::string& name);
// Number of values held by a key (0 when it does not exist).
DWORD CountValues(HKEY root, const std::string& subkey);
// The raw bytes of a DWORD, for comparisons.
std::string DwordBytes(DWORD value);

// Registers `folder` as the "Path" of the installed main executable.
void RegisterInstallFolder(const std::string& folder);

// The file `name` in the Windows folder.
std::string WindowsFile(const char* name);

// Replaces the NT family's pending renames with `list` (REG_MULTI_SZ bytes,
// its closing zero included).
bool WritePendingRenames(const std::string& list);

// Forgets what waits for the next restart: the NT family's pending renames
// and WININIT.INI (with the names of our own that its rewrite takes).
void ForgetRestartLists();

// How many renames waiting for the restart have `copy` as their source: in
// the pending renames, or (`windows95`) in WININIT.INI's short names.
int RestartRenamesOf(const std::string& copy, bool windows95);

#endif
