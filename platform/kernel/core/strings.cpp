// The lstr* string calls. Null strings are treated as empty, as Windows'
// versions (which guard against bad pointers) effectively do.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <windows.h>

extern "C" int WINAPI lstrlenA(LPCSTR lpString)
{
    return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

extern "C" int WINAPI lstrlenW(LPCWSTR lpString)
{
    if (!lpString)
        return 0;
    int n = 0;
    while (lpString[n])
        ++n;
    return n;
}

extern "C" LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcpy(lpString1, lpString2);
}

// Copies at most iMaxLength - 1 characters and always terminates.
extern "C" LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    if (iMaxLength <= 0)
        return lpString1;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i)
        lpString1[i] = lpString2[i];
    lpString1[i] = '\0';
    return lpString1;
}

extern "C" LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcat(lpString1, lpString2);
}

namespace {

int Sign(int value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

} // namespace

extern "C" int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    return Sign(std::strcmp(lpString1 ? lpString1 : "", lpString2 ? lpString2 : ""));
}

// Compares ASCII letters without regard to case; other bytes by value.
extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    const unsigned char *a = reinterpret_cast<const unsigned char *>(lpString1 ? lpString1 : "");
    const unsigned char *b = reinterpret_cast<const unsigned char *>(lpString2 ? lpString2 : "");
    for (;; ++a, ++b) {
        int ca = (*a < 0x80) ? std::tolower(*a) : *a;
        int cb = (*b < 0x80) ? std::tolower(*b) : *b;
        if (ca != cb || ca == 0)
            return Sign(ca - cb);
    }
}

extern "C" void WINAPI OutputDebugStringA(LPCSTR lpOutputString)
{
    if (lpOutputString)
        std::fputs(lpOutputString, stderr);
}
