// Critical sections: re-entrant locks in the Windows structure layout.
#include <windows.h>

#include <mutex>

namespace {

std::recursive_mutex *LockOf(LPCRITICAL_SECTION cs)
{
    return static_cast<std::recursive_mutex *>(cs->LockSemaphore);
}

// Called by the owner right after it takes the lock.
void NoteEntered(LPCRITICAL_SECTION cs)
{
    cs->OwningThread = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
    ++cs->RecursionCount;
}

} // namespace

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    InitializeCriticalSectionAndSpinCount(lpCriticalSection, 0);
}

extern "C" BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount)
{
    lpCriticalSection->DebugInfo = nullptr;
    lpCriticalSection->LockCount = -1;
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = nullptr;
    lpCriticalSection->LockSemaphore = new std::recursive_mutex;
    lpCriticalSection->SpinCount = dwSpinCount;
    return TRUE;
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    InterlockedIncrement(&lpCriticalSection->LockCount);
    LockOf(lpCriticalSection)->lock();
    NoteEntered(lpCriticalSection);
}

extern "C" BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (!LockOf(lpCriticalSection)->try_lock())
        return FALSE;
    InterlockedIncrement(&lpCriticalSection->LockCount);
    NoteEntered(lpCriticalSection);
    return TRUE;
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (--lpCriticalSection->RecursionCount == 0)
        lpCriticalSection->OwningThread = nullptr;
    InterlockedDecrement(&lpCriticalSection->LockCount);
    LockOf(lpCriticalSection)->unlock();
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    delete LockOf(lpCriticalSection);
    lpCriticalSection->LockSemaphore = nullptr;
    lpCriticalSection->LockCount = -1;
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = nullptr;
}
