// The settings store against a real registry database of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <windows.h>

#include "dirpath.h"
#include "settings.h"
#include "twtesting.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    twtest::ScratchRegistry m_registry;

    static void SetRaw(const char *pszName, DWORD dwType, const void *pData, DWORD cbData)
    {
        HKEY hKey = NULL;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                                 &hKey, NULL));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(hKey, pszName, 0, dwType, (const BYTE *)pData, cbData));
        RegCloseKey(hKey);
    }

    static void SetText(const char *pszName, DWORD dwType, const std::string &text)
    {
        SetRaw(pszName, dwType, text.c_str(), (DWORD)text.size() + 1);
    }

    // The stored type and bytes of a value, or type REG_NONE when it is missing.
    static std::pair<DWORD, std::string> GetRaw(const char *pszName)
    {
        HKEY hKey = NULL;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return {REG_NONE, ""};
        DWORD dwType = REG_NONE, cb = 0;
        std::string data;
        if (RegQueryValueExA(hKey, pszName, NULL, &dwType, NULL, &cb) == ERROR_SUCCESS) {
            data.resize(cb);
            RegQueryValueExA(hKey, pszName, NULL, &dwType, (LPBYTE)data.data(), &cb);
        } else {
            dwType = REG_NONE;
        }
        RegCloseKey(hKey);
        return {dwType, data};
    }

    static std::string Text(const std::string &raw) { return std::string(raw.c_str()); }
};

TEST_F(SettingsTest, WriteThenReadRoundTripsAndStoresTheTerminator)
{
    ASSERT_TRUE(WriteSetting("http://example.test/live", SETTING_LAST_OPENED_URL));
    auto raw = GetRaw(SETTING_LAST_OPENED_URL);
    EXPECT_EQ((DWORD)REG_SZ, raw.first);
    EXPECT_EQ(std::string("http://example.test/live", 25), raw.second);

    g_szSetting[0] = '\0';
    char *p = ReadSetting(SETTING_LAST_OPENED_URL);
    ASSERT_EQ(g_szSetting, p);
    EXPECT_STREQ("http://example.test/live", p);
}

TEST_F(SettingsTest, AbsentValuesLeaveTheBufferAsPreset)
{
    strcpy(g_szSetting, "preset");
    EXPECT_EQ(nullptr, ReadSetting(SETTING_AUTO_UPDATE)); // no key at all
    EXPECT_STREQ("preset", g_szSetting);

    ASSERT_TRUE(WriteSetting("x", SETTING_SAVE_DIRECTORY));
    EXPECT_EQ(nullptr, ReadSetting(SETTING_AUTO_UPDATE)); // key, but no value
    EXPECT_STREQ("preset", g_szSetting);

    SetRaw(SETTING_AUTO_UPDATE, REG_SZ, "", 0); // zero size
    EXPECT_EQ(nullptr, ReadSetting(SETTING_AUTO_UPDATE));
    EXPECT_STREQ("preset", g_szSetting);

    DWORD dw = 7; // another type counts as absent
    SetRaw(SETTING_AUTO_UPDATE, REG_DWORD, &dw, sizeof dw);
    EXPECT_EQ(nullptr, ReadSetting(SETTING_AUTO_UPDATE));
    EXPECT_STREQ("preset", g_szSetting);
}

TEST_F(SettingsTest, ExpandStringsAreTakenLiterally)
{
    SetText(SETTING_SAVE_DIRECTORY, REG_EXPAND_SZ, "%HOME%\\Videos");
    ASSERT_NE(nullptr, ReadSetting(SETTING_SAVE_DIRECTORY));
    EXPECT_STREQ("%HOME%\\Videos", g_szSetting);
}

TEST_F(SettingsTest, OverlongValuesAreRefusedWithoutTouchingTheBuffer)
{
    strcpy(g_szSetting, "preset");
    SetText(SETTING_SAVE_DIRECTORY, REG_SZ, std::string(260, 'a')); // 261 bytes stored
    EXPECT_EQ(nullptr, ReadSetting(SETTING_SAVE_DIRECTORY));
    EXPECT_STREQ("preset", g_szSetting);

    // 260 bytes without a terminator would be a 260-character value: refused too.
    SetRaw(SETTING_SAVE_DIRECTORY, REG_SZ, std::string(260, 'b').data(), 260);
    EXPECT_EQ(nullptr, ReadSetting(SETTING_SAVE_DIRECTORY));
    EXPECT_STREQ("preset", g_szSetting);

    SetText(SETTING_SAVE_DIRECTORY, REG_SZ, std::string(259, 'c')); // the longest that fits
    ASSERT_NE(nullptr, ReadSetting(SETTING_SAVE_DIRECTORY));
    EXPECT_EQ(std::string(259, 'c'), g_szSetting);
}

TEST_F(SettingsTest, UnterminatedTextIsTerminated)
{
    SetRaw(SETTING_LAST_OPENED_URL, REG_SZ, "abc", 3);
    memset(g_szSetting, 'z', sizeof g_szSetting);
    ASSERT_NE(nullptr, ReadSetting(SETTING_LAST_OPENED_URL));
    EXPECT_STREQ("abc", g_szSetting);
}

TEST_F(SettingsTest, FirstRunSeedsTheCurrentDirectoryAndThePolicy)
{
    char szCwd[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, szCwd), 0u);

    char szSave[SETTING_TEXT_SIZE] = "", szPolicy[SETTING_TEXT_SIZE] = "";
    SeedRecorderSettings(szSave, szPolicy);
    EXPECT_STREQ(szCwd, szSave);
    EXPECT_STREQ(POLICY_EVERY_START, szPolicy);
    EXPECT_EQ((DWORD)REG_SZ, GetRaw(SETTING_SAVE_DIRECTORY).first);
    EXPECT_EQ(szCwd, Text(GetRaw(SETTING_SAVE_DIRECTORY).second));
    EXPECT_EQ(POLICY_EVERY_START, Text(GetRaw(SETTING_AUTO_UPDATE).second));
}

TEST_F(SettingsTest, SeedingKeepsStoredValuesAndReplacesOtherTypes)
{
    SetText(SETTING_SAVE_DIRECTORY, REG_EXPAND_SZ, "/srv/rec\\%USER%");
    DWORD dw = 1;
    SetRaw(SETTING_AUTO_UPDATE, REG_DWORD, &dw, sizeof dw);

    char szSave[SETTING_TEXT_SIZE] = "", szPolicy[SETTING_TEXT_SIZE] = "";
    SeedRecorderSettings(szSave, szPolicy);
    EXPECT_STREQ("/srv/rec\\%USER%", szSave);
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, GetRaw(SETTING_SAVE_DIRECTORY).first); // not rewritten
    EXPECT_STREQ(POLICY_EVERY_START, szPolicy);
    auto policy = GetRaw(SETTING_AUTO_UPDATE);
    EXPECT_EQ((DWORD)REG_SZ, policy.first);
    EXPECT_EQ(POLICY_EVERY_START, Text(policy.second));
}

TEST_F(SettingsTest, SeedingAnEmptyPolicyRestoresTheDefault)
{
    SetText(SETTING_AUTO_UPDATE, REG_SZ, "");
    char szSave[SETTING_TEXT_SIZE] = "", szPolicy[SETTING_TEXT_SIZE] = "";
    SeedRecorderSettings(szSave, szPolicy);
    EXPECT_STREQ(POLICY_EVERY_START, szPolicy);
    EXPECT_EQ(POLICY_EVERY_START, Text(GetRaw(SETTING_AUTO_UPDATE).second));
}

TEST_F(SettingsTest, SeedingAtTheRootKeepsTheRoot)
{
    char szOld[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, szOld), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA("/"));
    char szSave[SETTING_TEXT_SIZE] = "", szPolicy[SETTING_TEXT_SIZE] = "";
    SeedRecorderSettings(szSave, szPolicy);
    SetCurrentDirectoryA(szOld);
    EXPECT_STREQ("/", szSave);
}

TEST(SettingsSeparators, OneTrailingSeparatorIsRemoved)
{
    char sz[SETTING_TEXT_SIZE];
    strcpy(sz, "C:\\rec\\\\");
    RemoveTrailingSeparator(sz);
    EXPECT_STREQ("C:\\rec\\", sz);
    strcpy(sz, "/home/ann/Videos/");
    RemoveTrailingSeparator(sz);
    EXPECT_STREQ("/home/ann/Videos", sz);
    strcpy(sz, "/");
    RemoveTrailingSeparator(sz);
    EXPECT_STREQ("/", sz);
    strcpy(sz, "");
    RemoveTrailingSeparator(sz);
    EXPECT_STREQ("", sz);
}

} // namespace
