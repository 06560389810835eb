// Registry helpers over the real registry of the test prefix.
#include "support/registry_fixture.h"

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
