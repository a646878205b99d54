#include "workdir.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

#include "dirpath.h"

bool WorkPath(const char *pszName, char *pszPath)
{
    char szDirectory[MAX_PATH];
    DWORD cch = GetCurrentDirectoryA(MAX_PATH, szDirectory);
    pszPath[0] = '\0';
    if (cch == 0 || cch >= MAX_PATH)
        return false;
    RemoveTrailingSeparator(szDirectory);
    int n = std::snprintf(pszPath, WORK_PATH_SIZE, "%s\\%s", szDirectory, pszName);
    if (n < 0 || n >= WORK_PATH_SIZE) {
        pszPath[0] = '\0';
        return false;
    }
    return true;
}

bool IsPlainFileName(const char *pszName)
{
    bool bBlank = true;
    for (const char *p = pszName; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '/' || c == '\\' || c == ':' || c < 0x20 || c == 0x7f)
            return false;
        if (c != ' ')
            bBlank = false;
    }
    return !bBlank && std::strcmp(pszName, ".") != 0 && std::strcmp(pszName, "..") != 0;
}

bool FileExists(const char *pszPath)
{
    DWORD dwAttributes = GetFileAttributesA(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int FileSize32(const char *pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    DWORD dwHigh = 0;
    DWORD dwLow = GetFileSize(hFile, &dwHigh);
    CloseHandle(hFile);
    return static_cast<int>(dwLow);
}

bool CreateEmptyFile(const char *pszPath)
{
    FILE *pFile = std::fopen(pszPath, "wb");
    if (!pFile)
        return false;
    std::fclose(pFile);
    return true;
}

bool ReplaceWithTemporary(const char *pszPath, const char *pszTempPath)
{
    DeleteFileA(pszPath);
    return MoveFileA(pszTempPath, pszPath) != FALSE;
}
