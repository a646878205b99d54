// Threads: CreateThread, the C runtime's _beginthread(ex), exit codes and ids.
#include "crypt/crypt_thread.h"
#include <twkernel/waitable.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <functional>
#include <process.h>
#include <pthread.h>
#include <unistd.h>

namespace twk {
namespace {

std::atomic<DWORD> g_nextThreadId{4};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId()
{
    return g_nextThreadId.fetch_add(4);
}

class Thread : public Waitable {
public:
    explicit Thread(bool suspended) : m_id(NewThreadId()), m_suspended(suspended) {}

    bool IsSignalled(DWORD) const override { return m_finished; }

    DWORD Id() const { return m_id; }

    DWORD ExitCode()
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        return m_finished ? m_exitCode : STILL_ACTIVE;
    }

    // Blocks the new thread while it is suspended.
    void WaitUntilResumed()
    {
        std::unique_lock<std::mutex> lock(WaitLock());
        m_resumed.wait(lock, [&] { return !m_suspended; });
    }

    // The previous suspend count.
    DWORD Resume()
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        if (!m_suspended)
            return 0;
        m_suspended = false;
        m_resumed.notify_one();
        return 1;
    }

    void Finish(DWORD exitCode)
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        m_finished = true;
        m_exitCode = exitCode;
        WakeWaiters();
    }

private:
    const DWORD m_id;
    bool m_suspended;
    bool m_finished = false;
    DWORD m_exitCode = STILL_ACTIVE;
    std::condition_variable m_resumed;
};

struct StartInfo {
    std::shared_ptr<Thread> thread;
    std::function<DWORD()> body;
    HANDLE ownHandle = nullptr; // closed when the thread ends (_beginthread)
};

// Set by ExitThread before it unwinds the thread.
thread_local DWORD t_exitCode = 0;
thread_local bool t_exiting = false;

// Marks the thread finished however it leaves its body: by returning, or by
// ExitThread's unwinding.
class FinishOnExit {
public:
    explicit FinishOnExit(StartInfo &info) : m_info(info) {}
    ~FinishOnExit()
    {
        ReleaseThreadCryptState();
        m_info.thread->Finish(t_exiting ? t_exitCode : m_result);
        if (m_info.ownHandle)
            RemoveHandle(m_info.ownHandle);
    }
    DWORD m_result = 0;

private:
    StartInfo &m_info;
};

void *ThreadMain(void *param)
{
    std::unique_ptr<StartInfo> info(static_cast<StartInfo *>(param));
    t_threadId = info->thread->Id();
    info->thread->WaitUntilResumed();
    FinishOnExit finish(*info);
    finish.m_result = info->body();
    return nullptr;
}

// Starts a thread running body; returns its handle (and id) or null with the last error set.
HANDLE StartThread(std::function<DWORD()> body, SIZE_T stackSize, bool suspended, bool closesOwnHandle,
                   DWORD *threadId)
{
    auto thread = std::make_shared<Thread>(suspended);
    auto info = std::make_unique<StartInfo>();
    info->thread = thread;
    info->body = std::move(body);
    HANDLE handle = InsertHandle(thread);
    if (closesOwnHandle)
        info->ownHandle = handle;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize)
        pthread_attr_setstacksize(&attr, std::max<SIZE_T>(stackSize, PTHREAD_STACK_MIN));
    pthread_t pthread;
    int err = pthread_create(&pthread, &attr, ThreadMain, info.get());
    pthread_attr_destroy(&attr);
    if (err != 0) {
        RemoveHandle(handle);
        SetLastError(err == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    info.release(); // the thread owns it now
    if (threadId)
        *threadId = thread->Id();
    return handle;
}

} // namespace
} // namespace twk

using namespace twk;

extern "C" DWORD WINAPI GetCurrentThreadId(void)
{
    if (t_threadId == 0)
        t_threadId = NewThreadId();
    return t_threadId;
}

extern "C" DWORD WINAPI GetCurrentProcessId(void)
{
    return static_cast<DWORD>(getpid());
}

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                                      LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return StartThread([=] { return lpStartAddress(lpParameter); }, dwStackSize,
                       (dwCreationFlags & CREATE_SUSPENDED) != 0, false, lpThreadId);
}

extern "C" DWORD WINAPI ResumeThread(HANDLE hThread)
{
    auto thread = LookupHandleAs<Thread>(hThread);
    if (!thread)
        return static_cast<DWORD>(-1);
    return thread->Resume();
}

extern "C" void WINAPI ExitThread(DWORD dwExitCode)
{
    t_exitCode = dwExitCode;
    t_exiting = true;
    pthread_exit(nullptr); // unwinds the stack, running destructors
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    auto thread = LookupHandleAs<Thread>(hThread);
    if (!thread)
        return FALSE;
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = thread->ExitCode();
    return TRUE;
}

extern "C" uintptr_t __cdecl _beginthread(void(__cdecl *start_address)(void *), unsigned stack_size, void *arglist)
{
    if (!start_address) {
        errno = EINVAL;
        return static_cast<uintptr_t>(-1);
    }
    HANDLE handle = StartThread([=] { start_address(arglist); return DWORD(0); }, stack_size, false, true, nullptr);
    if (!handle) {
        errno = EAGAIN;
        return static_cast<uintptr_t>(-1);
    }
    return reinterpret_cast<uintptr_t>(handle);
}

extern "C" uintptr_t __cdecl _beginthreadex(void *, unsigned stack_size, unsigned(__stdcall *start_address)(void *),
                                            void *arglist, unsigned initflag, unsigned *thrdaddr)
{
    if (!start_address) {
        errno = EINVAL;
        return 0;
    }
    DWORD id = 0;
    HANDLE handle = StartThread([=] { return DWORD(start_address(arglist)); }, stack_size,
                                (initflag & CREATE_SUSPENDED) != 0, false, &id);
    if (!handle) {
        errno = EAGAIN;
        return 0;
    }
    if (thrdaddr)
        *thrdaddr = id;
    return reinterpret_cast<uintptr_t>(handle);
}

extern "C" void __cdecl _endthread(void)
{
    ExitThread(0);
}

extern "C" void __cdecl _endthreadex(unsigned retval)
{
    ExitThread(retval);
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    struct timespec ts;
    ts.tv_sec = dwMilliseconds / 1000;
    ts.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}
