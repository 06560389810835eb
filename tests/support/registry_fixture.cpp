// Registry helpers over the real registry of the test prefix.
#include "support/registry_fixture.h"
#include <fstream>

const char APP_PATHS_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TOLVANE.EXE";
const char SETTINGS_KEY[] = "Software\\Morvex\\Tolvane";

void DeleteKeyTree(HKEY root, const std::string& subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    for (;;) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        DeleteKeyTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, subkey.c_str());
}

bool KeyExists(HKEY root, const std::string& subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool WriteRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                   const void* data, DWORD length)
{
    HKEY key;
    if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                                 static_cast<const BYTE*>(data), length);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool WriteStringValue(HKEY root, const std::string& subkey, const std::string& name,
                      const std::string& text)
{
    return WriteRawValue(root, subkey, name, REG_SZ, text.c_str(),
                         static_cast<DWORD>(text.size() + 1));
}

bool WriteDwordValue(HKEY root, const std::string& subkey, const std::string& name, DWORD value)
{
    return WriteRawValue(root, subkey, name, REG_DWORD, &value, sizeof value);
}

RegValue ReadValue(HKEY root, const std::string& subkey, const std::string& name)
{
    RegValue value;
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    char data[4096];
    DWORD length = sizeof data;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data),
                         &length) == ERROR_SUCCESS) {
        value.exists = true;
        value.data.assign(data, length);
    }
    RegCloseKey(key);
    return value;
}

DWORD CountValues(HKEY root, const std::string& subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return count;
}

std::string DwordBytes(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

void RegisterInstallFolder(const std::string& folder)
{
    DeleteKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY);
    WriteStringValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", folder);
}

static const char SESSION_MANAGER[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
static const char PENDING_RENAMES[] = "PendingFileRenameOperations";

std::string WindowsFile(const char* name)
{
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

bool WritePendingRenames(const std::string& list)
{
    return WriteRawValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES, REG_MULTI_SZ, list.data(),
                         static_cast<DWORD>(list.size()));
}

void ForgetRestartLists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, PENDING_RENAMES);
        RegCloseKey(key);
    }
    for (const char* name : { "WININIT.INI", "WININIT.BAK", "WININIT.TLN", "WININIT.TLO" })
        DeleteFileA(WindowsFile(name).c_str());
}

int RestartRenamesOf(const std::string& copy, bool windows95)
{
    int count = 0;
    if (!windows95) {
        RegValue value = ReadValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES);
        std::string names(value.data.begin(), value.data.end());
        // Pairs of names: the source, then its target ("" for a delete).
        for (size_t at = 0; at < names.size() && names[at] != 0;) {
            std::string source = names.c_str() + at;
            at += source.size() + 1;
            std::string target = at < names.size() ? names.c_str() + at : "";
            at += target.size() + 1;
            count += !target.empty() && lstrcmpiA(source.c_str(), ("\\??\\" + copy).c_str()) == 0;
        }
        return count;
    }
    char shortCopy[MAX_PATH] = "";
    GetShortPathNameA(copy.c_str(), shortCopy, MAX_PATH);
    std::ifstream file(WindowsFile("WININIT.INI"));
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t equals = line.find('=');
        count += equals != std::string::npos && lstrcmpiA(line.substr(equals + 1).c_str(), shortCopy) == 0;
    }
    return count;
}
