#include "manifest.h"

#include <cstdio>
#include <windows.h>

#include "updater.h"
#include "workdir.h"

bool ReadManifestVersion(const char *pszManifest, char *pszVersion)
{
    pszVersion[0] = '\0';
    FILE *pFile = std::fopen(pszManifest, "rb");
    if (!pFile)
        return false;
    int cch = 0;
    if (std::fgetc(pFile) != EOF) {
        int c;
        while (cch < VERSION_TEXT_SIZE - 1 && (c = std::fgetc(pFile)) != EOF && c != '\r' && c != '\n')
            pszVersion[cch++] = static_cast<char>(c);
    }
    pszVersion[cch] = '\0';
    std::fclose(pFile);
    return true;
}

namespace {

void SectionName(int nEntry, char *pszSection, size_t cb)
{
    std::snprintf(pszSection, cb, "File%d", nEntry);
}

} // namespace

void ReadEntryKey(const char *pszManifest, int nEntry, const char *pszKey, const char *pszDefault, char *pszValue)
{
    char szSection[32];
    SectionName(nEntry, szSection, sizeof szSection);
    GetPrivateProfileStringA(szSection, pszKey, pszDefault, pszValue, ENTRY_TEXT_SIZE, pszManifest);
}

void WriteEntryKey(const char *pszManifest, int nEntry, const char *pszKey, const char *pszValue)
{
    char szSection[32];
    SectionName(nEntry, szSection, sizeof szSection);
    WritePrivateProfileStringA(szSection, pszKey, pszValue, pszManifest);
}

bool ReadManifestEntry(const char *pszManifest, int nEntry, const char *pszVersionDefault,
                       const char *pszSizeDefault, MANIFEST_ENTRY *pEntry)
{
    ReadEntryKey(pszManifest, nEntry, KEY_NAME, "", pEntry->szName);
    if (pEntry->szName[0] == '\0')
        return false;
    ReadEntryKey(pszManifest, nEntry, KEY_VERSION, pszVersionDefault, pEntry->szVersion);
    ReadEntryKey(pszManifest, nEntry, KEY_SIZE, pszSizeDefault, pEntry->szSize);
    ReadEntryKey(pszManifest, nEntry, KEY_MD5, "", pEntry->szMd5);
    int n = std::snprintf(pEntry->szTempName, sizeof pEntry->szTempName, "%s.%s", pEntry->szName,
                          pEntry->szVersion);
    pEntry->bPlain = n >= 0 && n < static_cast<int>(sizeof pEntry->szTempName) && IsPlainFileName(pEntry->szName) &&
                     IsPlainFileName(pEntry->szTempName) && WorkPath(pEntry->szName, pEntry->szPath) &&
                     WorkPath(pEntry->szTempName, pEntry->szTempPath);
    if (!pEntry->bPlain) {
        pEntry->szPath[0] = '\0';
        pEntry->szTempPath[0] = '\0';
    }
    return true;
}

bool ManifestNamesArePlain(const char *pszManifest)
{
    MANIFEST_ENTRY entry;
    for (int nEntry = 1;; ++nEntry) {
        if (!ReadManifestEntry(pszManifest, nEntry, "0", "0", &entry))
            return nEntry > 1; // entry 1 names the launcher and must be there
        if (!entry.bPlain)
            return false;
    }
}
