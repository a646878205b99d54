// Kernel functions: errors, threads, synchronisation, files, modules, resources.
#pragma once
#include <windef.h>
#include <winerror.h>

EXTERN_C DWORD WINAPI GetLastError(void);
EXTERN_C void WINAPI SetLastError(DWORD dwErrCode);
