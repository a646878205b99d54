#include "settings.h"
#include "dirpath.h"

#include <string.h>
#include <windows.h>

char g_szSetting[SETTING_TEXT_SIZE];

char *ReadSetting(const char *pszName)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return NULL;

    DWORD dwType = 0;
    DWORD cbData = 0;
    LONG lResult = RegQueryValueExA(hKey, pszName, NULL, &dwType, NULL, &cbData);
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ) || cbData == 0 ||
        cbData > SETTING_TEXT_SIZE) {
        RegCloseKey(hKey);
        return NULL;
    }

    // Read into a scratch buffer first, so a failure leaves the read buffer as the
    // caller preset it, and terminate what was stored without a NUL.
    char szValue[SETTING_TEXT_SIZE + 1];
    DWORD cbRead = cbData;
    lResult = RegQueryValueExA(hKey, pszName, NULL, &dwType, (LPBYTE)szValue, &cbRead);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ) || cbRead > cbData)
        return NULL;
    szValue[cbRead] = '\0';
    if (strlen(szValue) >= SETTING_TEXT_SIZE)
        return NULL;

    strcpy(g_szSetting, szValue);
    return g_szSetting;
}

bool WriteSetting(const char *pszText, const char *pszName)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_WRITE, &hKey) != ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        NULL, &hKey, NULL) != ERROR_SUCCESS)
        return false;

    LONG lResult = RegSetValueExA(hKey, pszName, 0, REG_SZ, (const BYTE *)pszText, (DWORD)strlen(pszText) + 1);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

void SeedRecorderSettings(char *pszSaveDirectory, char *pszAutoUpdate)
{
    g_szSetting[0] = '\0';
    char *pszValue = ReadSetting(SETTING_SAVE_DIRECTORY);
    if (pszValue && *pszValue) {
        strcpy(pszSaveDirectory, pszValue);
    } else {
        DWORD cch = GetCurrentDirectoryA(SETTING_TEXT_SIZE, pszSaveDirectory);
        if (cch == 0 || cch >= SETTING_TEXT_SIZE)
            pszSaveDirectory[0] = '\0';
        RemoveTrailingSeparator(pszSaveDirectory);
        WriteSetting(pszSaveDirectory, SETTING_SAVE_DIRECTORY);
    }

    g_szSetting[0] = '\0';
    pszValue = ReadSetting(SETTING_AUTO_UPDATE);
    if (pszValue && *pszValue) {
        strcpy(pszAutoUpdate, pszValue);
    } else {
        strcpy(pszAutoUpdate, POLICY_EVERY_START);
        WriteSetting(pszAutoUpdate, SETTING_AUTO_UPDATE);
    }
}
