// Per-user settings defaults, against the real registry of the test prefix.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "post/settings_defaults.h"
#include "support/registry_fixture.h"

namespace {

const char MORVEX_KEY[] = "Software\\Morvex";

std::string TempPathWithZero()
{
    char path[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof path, path);
    return std::string(path, n) + std::string(1, '\0');
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, MORVEX_KEY); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, MORVEX_KEY); }

    RegValue Value(const char* name) { return ReadValue(HKEY_CURRENT_USER, SETTINGS_KEY, name); }
    void ExpectDword(const char* name, DWORD expected)
    {
        RegValue v = Value(name);
        EXPECT_TRUE(v.exists) << name;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type) << name;
        EXPECT_EQ(DwordBytes(expected), v.data) << name;
    }
};

TEST_F(Settings, NewUserGetsTheKeyAndAllEightDefaults)
{
    ApplySettingsDefaults();
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, MORVEX_KEY));
    EXPECT_EQ(8u, CountValues(HKEY_CURRENT_USER, SETTINGS_KEY));
    RegValue proxy = Value("Proxy");
    EXPECT_TRUE(proxy.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), proxy.type);
    EXPECT_TRUE(proxy.data.empty() || proxy.data == std::string(1, '\0'));
    ExpectDword("Port", 0);
    ExpectDword("SearchISRC", 0);
    ExpectDword("MediaBar", 0);
    ExpectDword("DDCDconvert", 0);
    ExpectDword("DVDCompatible", 1);
    ExpectDword("EnableEncode", 0);
    RegValue temp = Value("TempFolder");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), temp.type);
    EXPECT_EQ(TempPathWithZero(), temp.data);
}

TEST_F(Settings, SecondRunChangesOnlyEnableEncode)
{
    ApplySettingsDefaults();
    WriteDwordValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Port", 8080);
    WriteDwordValue(HKEY_CURRENT_USER, SETTINGS_KEY, "DVDCompatible", 0);
    WriteDwordValue(HKEY_CURRENT_USER, SETTINGS_KEY, "EnableEncode", 1);
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Proxy", "proxy.example:3128");
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "TempFolder", "D:\\Work\\");
    ApplySettingsDefaults();
    ExpectDword("Port", 8080);
    ExpectDword("DVDCompatible", 0);
    ExpectDword("EnableEncode", 0);
    ExpectDword("SearchISRC", 0);
    EXPECT_EQ(std::string("proxy.example:3128") + '\0', Value("Proxy").data);
    EXPECT_EQ(std::string("D:\\Work\\") + '\0', Value("TempFolder").data);
    EXPECT_EQ(8u, CountValues(HKEY_CURRENT_USER, SETTINGS_KEY));
}

TEST_F(Settings, ValuesTooLargeForTheirProbeAreReplacedWithTheDefault)
{
    std::string longText(300, 'p');
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Proxy", longText);
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "TempFolder", longText);
    const char eight[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    WriteRawValue(HKEY_CURRENT_USER, SETTINGS_KEY, "Port", REG_BINARY, eight, sizeof eight);
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "DVDCompatible", "abcdefg");
    ApplySettingsDefaults();
    RegValue proxy = Value("Proxy");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), proxy.type);
    EXPECT_TRUE(proxy.data.empty() || proxy.data == std::string(1, '\0'));
    EXPECT_EQ(TempPathWithZero(), Value("TempFolder").data);
    ExpectDword("Port", 0);
    ExpectDword("DVDCompatible", 1);
}

TEST_F(Settings, ShortValuesOfAnotherTypeAndEmptyTempFolderAreKept)
{
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "MediaBar", "ab");
    WriteStringValue(HKEY_CURRENT_USER, SETTINGS_KEY, "TempFolder", "");
    ApplySettingsDefaults();
    RegValue media = Value("MediaBar");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), media.type);
    EXPECT_EQ(std::string("ab") + '\0', media.data);
    RegValue temp = Value("TempFolder");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), temp.type);
    EXPECT_EQ(std::string(1, '\0'), temp.data);
}

TEST_F(Settings, TempPathThatDoesNotFitIsNotWritten)
{
    char savedTmp[MAX_PATH] = {}, savedTemp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
    GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
    std::string tooLong = "C:\\" + std::string(290, 't');
    SetEnvironmentVariableA("TMP", tooLong.c_str());
    SetEnvironmentVariableA("TEMP", tooLong.c_str());
    char probe[300];
    DWORD reported = GetTempPathA(270, probe);
    ApplySettingsDefaults();
    SetEnvironmentVariableA("TMP", savedTmp[0] ? savedTmp : nullptr);
    SetEnvironmentVariableA("TEMP", savedTemp[0] ? savedTemp : nullptr);
    ASSERT_TRUE(reported == 0 || reported >= 270) << "the system accepted the long folder";
    EXPECT_FALSE(Value("TempFolder").exists);
    EXPECT_EQ(7u, CountValues(HKEY_CURRENT_USER, SETTINGS_KEY));
}

// With HKEY_CURRENT_USER mapped onto an empty key of this process, "Software"
// cannot be opened: nothing may be created or written anywhere.
TEST_F(Settings, SoftwareKeyThatCannotBeOpenedLeavesEverythingUnwritten)
{
    const char emptyUser[] = "Software\\TolvaneTestEmptyUser";
    DeleteKeyTree(HKEY_CURRENT_USER, emptyUser);
    HKEY empty;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, emptyUser, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &empty, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, empty));
    ApplySettingsDefaults();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    DWORD subkeys = 99, values = 99;
    RegQueryInfoKeyA(empty, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(empty);
    DeleteKeyTree(HKEY_CURRENT_USER, emptyUser);
    EXPECT_EQ(0u, subkeys);
    EXPECT_EQ(0u, values);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, MORVEX_KEY));
}

}  // namespace
