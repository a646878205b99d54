// Kernel functions: errors, threads, synchronisation, files, modules, resources.
#pragma once
#include <windef.h>
#include <winerror.h>

EXTERN_C DWORD WINAPI GetLastError(void);
EXTERN_C void WINAPI SetLastError(DWORD dwErrCode);

// Resources (the module's embedded resource section).
EXTERN_C HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
EXTERN_C HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage);
EXTERN_C HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
EXTERN_C DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
EXTERN_C LPVOID WINAPI LockResource(HGLOBAL hResData);
EXTERN_C BOOL WINAPI FreeResource(HGLOBAL hResData);

// Initialisation (profile) files.
EXTERN_C DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
EXTERN_C UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);
EXTERN_C BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                LPCSTR lpFileName);
