#include "version.h"

#include <cstdio>
#include <cstdlib>
#include <vector>
#include <windows.h>

#include "textutil.h"
#include "updater.h"

long long VersionNumber(const char *pszVersion)
{
    long long components[4] = {0, 0, 0, 0};
    const char *p = pszVersion;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*p != '.')
                break;
            ++p;
        }
        char *pEnd = NULL;
        long value = std::strtol(p, &pEnd, 10);
        if (pEnd == p)
            break;
        // Kept to a range in which the weighted sum cannot overflow.
        components[i] = value > 1000000000L ? 1000000000L : value < -1000000000L ? -1000000000L : value;
        p = pEnd;
    }
    return components[0] * 100000000LL + components[1] * 10000LL + components[2];
}

DWORD GetVersionStrings(const char *pszPath, char *pszFileVersion, char *pszProductName)
{
    DWORD dwHandle = 0;
    DWORD cbInfo = GetFileVersionInfoSizeA(pszPath, &dwHandle);
    if (cbInfo == 0)
        return 0;
    std::vector<char> info(cbInfo);
    if (!GetFileVersionInfoA(pszPath, dwHandle, cbInfo, info.data()))
        return 0;

    WORD *pTranslation = NULL;
    UINT cb = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID *>(&pTranslation), &cb) ||
        cb < 2 * sizeof(WORD))
        return cbInfo;

    char szQuery[64];
    char *pszValue = NULL;
    std::snprintf(szQuery, sizeof szQuery, "\\StringFileInfo\\%04X%04X\\FileVersion", pTranslation[0],
                  pTranslation[1]);
    if (VerQueryValueA(info.data(), szQuery, reinterpret_cast<LPVOID *>(&pszValue), &cb) && pszValue)
        CopyText(pszFileVersion, VERSION_TEXT_SIZE, pszValue);
    std::snprintf(szQuery, sizeof szQuery, "\\StringFileInfo\\%04X%04X\\ProductName", pTranslation[0],
                  pTranslation[1]);
    if (VerQueryValueA(info.data(), szQuery, reinterpret_cast<LPVOID *>(&pszValue), &cb) && pszValue)
        CopyText(pszProductName, VERSION_TEXT_SIZE, pszValue);
    return cbInfo;
}

void OwnVersionStrings(char *pszFileVersion, char *pszProductName)
{
    pszFileVersion[0] = '\0';
    pszProductName[0] = '\0';
    char szModule[MAX_PATH];
    DWORD cch = GetModuleFileNameA(g_hInstance, szModule, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return;
    GetVersionStrings(szModule, pszFileVersion, pszProductName);
}
