// Kernel functions: errors, threads, synchronisation, files, modules, resources.
#pragma once
#include <windef.h>
#include <winerror.h>

EXTERN_C DWORD WINAPI GetLastError(void);
EXTERN_C void WINAPI SetLastError(DWORD dwErrCode);

// ---- Handles and waits -------------------------------------------------------

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INFINITE 0xFFFFFFFF
#define MAXIMUM_WAIT_OBJECTS 64
#define STATUS_WAIT_0 ((DWORD)0x00000000L)
#define STATUS_ABANDONED_WAIT_0 ((DWORD)0x00000080L)
#define STATUS_PENDING ((DWORD)0x00000103L)
#define WAIT_OBJECT_0 ((STATUS_WAIT_0) + 0)
#define WAIT_ABANDONED ((STATUS_ABANDONED_WAIT_0) + 0)
#define WAIT_ABANDONED_0 ((STATUS_ABANDONED_WAIT_0) + 0)
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define STILL_ACTIVE STATUS_PENDING

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

EXTERN_C BOOL WINAPI CloseHandle(HANDLE hObject);
EXTERN_C DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
EXTERN_C DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                             DWORD dwMilliseconds);

EXTERN_C HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                                    BOOL bInitialState, LPCSTR lpName);
EXTERN_C BOOL WINAPI SetEvent(HANDLE hEvent);
EXTERN_C BOOL WINAPI ResetEvent(HANDLE hEvent);
EXTERN_C HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
EXTERN_C BOOL WINAPI ReleaseMutex(HANDLE hMutex);
EXTERN_C HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES lpSemaphoreAttributes, LONG lInitialCount,
                                        LONG lMaximumCount, LPCSTR lpName);
EXTERN_C BOOL WINAPI ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount);

// ---- Threads, processes and time ---------------------------------------------

#define CREATE_SUSPENDED 0x00000004
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000

typedef DWORD(WINAPI *PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

EXTERN_C HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                                    DWORD dwCreationFlags, LPDWORD lpThreadId);
EXTERN_C DWORD WINAPI ResumeThread(HANDLE hThread);
EXTERN_C void WINAPI ExitThread(DWORD dwExitCode) __attribute__((noreturn));
EXTERN_C BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
EXTERN_C DWORD WINAPI GetCurrentThreadId(void);
EXTERN_C DWORD WINAPI GetCurrentProcessId(void);
EXTERN_C void WINAPI Sleep(DWORD dwMilliseconds);
EXTERN_C DWORD WINAPI GetTickCount(void);
EXTERN_C ULONGLONG WINAPI GetTickCount64(void);
EXTERN_C BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *lpPerformanceCount);
EXTERN_C BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *lpFrequency);

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

EXTERN_C void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
EXTERN_C void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
EXTERN_C void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);

// ---- Critical sections -------------------------------------------------------

typedef struct _RTL_CRITICAL_SECTION_DEBUG *PRTL_CRITICAL_SECTION_DEBUG;

// The Windows field layout. LockSemaphore points at the lock that does the work
// (made by Initialize..., freed by DeleteCriticalSection); OwningThread holds the
// owner's thread id and RecursionCount its entry count; LockCount is -1 when
// free and goes up by one for each entry held or waited for.
typedef struct _RTL_CRITICAL_SECTION {
    PRTL_CRITICAL_SECTION_DEBUG DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} RTL_CRITICAL_SECTION, *PRTL_CRITICAL_SECTION;
typedef RTL_CRITICAL_SECTION CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

EXTERN_C void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection,
                                                           DWORD dwSpinCount);
EXTERN_C void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// ---- Files and directories ---------------------------------------------------

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define FILE_FLAG_WRITE_THROUGH 0x80000000
#define FILE_FLAG_OVERLAPPED 0x40000000
#define FILE_FLAG_NO_BUFFERING 0x20000000
#define FILE_FLAG_RANDOM_ACCESS 0x10000000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008

typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

EXTERN_C HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
EXTERN_C BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
EXTERN_C BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
EXTERN_C DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                     DWORD dwMoveMethod);
EXTERN_C BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove,
                                      PLARGE_INTEGER lpNewFilePointer, DWORD dwMoveMethod);
EXTERN_C BOOL WINAPI SetEndOfFile(HANDLE hFile);
EXTERN_C DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
EXTERN_C BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);
EXTERN_C BOOL WINAPI FlushFileBuffers(HANDLE hFile);

EXTERN_C DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);
EXTERN_C BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
EXTERN_C BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName);
EXTERN_C BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
EXTERN_C BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
EXTERN_C BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
EXTERN_C BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName);
EXTERN_C DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
EXTERN_C BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName);
EXTERN_C DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

// ---- Modules -----------------------------------------------------------------

EXTERN_C HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
EXTERN_C BOOL WINAPI FreeLibrary(HMODULE hLibModule);
EXTERN_C FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
EXTERN_C HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
EXTERN_C DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
EXTERN_C BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);

// The entry point a GUI program defines; the C runtime's main() calls it with the
// program's instance handle and its command line without the program name.
EXTERN_C int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

// ---- Strings -----------------------------------------------------------------

EXTERN_C int WINAPI lstrlenA(LPCSTR lpString);
EXTERN_C int WINAPI lstrlenW(LPCWSTR lpString);
EXTERN_C LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
EXTERN_C LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
EXTERN_C LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2);
EXTERN_C int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
EXTERN_C int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

EXTERN_C void WINAPI OutputDebugStringA(LPCSTR lpOutputString);

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

// The C runtime's path-taking calls accept Windows-style paths as well.
#ifndef RC_INVOKED
#include <twcrtpaths.h>
#endif
