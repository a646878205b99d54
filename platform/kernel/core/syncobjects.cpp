// Events, mutexes and semaphores.
#include <twkernel/waitable.h>

#include <map>
#include <string>

namespace twk {
namespace {

class Event : public Waitable {
public:
    Event(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}
    bool IsSignalled(DWORD) const override { return m_signalled; }
    void Acquire(DWORD) override
    {
        if (!m_manualReset)
            m_signalled = false;
    }
    void Set()
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        m_signalled = true;
        WakeWaiters();
    }
    void Reset()
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        m_signalled = false;
    }

private:
    const bool m_manualReset;
    bool m_signalled;
};

class Mutex : public Waitable {
public:
    bool IsSignalled(DWORD threadId) const override { return m_owner == 0 || m_owner == threadId; }
    void Acquire(DWORD threadId) override
    {
        m_owner = threadId;
        ++m_recursion;
    }
    bool Release(DWORD threadId)
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        if (m_owner != threadId || m_recursion == 0)
            return false;
        if (--m_recursion == 0) {
            m_owner = 0;
            WakeWaiters();
        }
        return true;
    }

private:
    DWORD m_owner = 0;
    DWORD m_recursion = 0;
};

class Semaphore : public Waitable {
public:
    Semaphore(LONG count, LONG maximum) : m_count(count), m_maximum(maximum) {}
    bool IsSignalled(DWORD) const override { return m_count > 0; }
    void Acquire(DWORD) override { --m_count; }
    bool Release(LONG count, LONG *previous)
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        if (count <= 0 || count > m_maximum - m_count)
            return false;
        if (previous)
            *previous = m_count;
        m_count += count;
        WakeWaiters();
        return true;
    }

private:
    LONG m_count;
    const LONG m_maximum;
};

// Named objects of this process: a second create by the same name opens the first.
// Kept past static destruction, for threads still creating objects at exit.
std::mutex &g_namesLock = *new std::mutex;
std::map<std::string, std::weak_ptr<Waitable>> &g_names = *new std::map<std::string, std::weak_ptr<Waitable>>;

template <class T, class Make>
HANDLE CreateNamed(LPCSTR name, Make make, std::shared_ptr<T> *created = nullptr)
{
    if (!name || !*name) {
        auto object = make();
        if (created)
            *created = object;
        SetLastError(ERROR_SUCCESS);
        return InsertHandle(std::move(object));
    }
    std::lock_guard<std::mutex> guard(g_namesLock);
    auto &slot = g_names[name];
    if (auto existing = slot.lock()) {
        auto typed = std::dynamic_pointer_cast<T>(existing);
        if (!typed) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        HANDLE handle = InsertHandle(typed);
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    auto object = make();
    slot = object;
    if (created)
        *created = object;
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::move(object));
}

} // namespace
} // namespace twk

using namespace twk;

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    return CreateNamed<Event>(lpName, [&] { return std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE); });
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent)
{
    auto event = LookupHandleAs<Event>(hEvent);
    if (!event)
        return FALSE;
    event->Set();
    return TRUE;
}

extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    auto event = LookupHandleAs<Event>(hEvent);
    if (!event)
        return FALSE;
    event->Reset();
    return TRUE;
}

extern "C" HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
    std::shared_ptr<Mutex> created;
    HANDLE handle = CreateNamed<Mutex>(lpName, [] { return std::make_shared<Mutex>(); }, &created);
    if (created && bInitialOwner) {
        std::lock_guard<std::mutex> guard(WaitLock());
        created->Acquire(GetCurrentThreadId());
    }
    return handle;
}

extern "C" BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
    auto mutex = LookupHandleAs<Mutex>(hMutex);
    if (!mutex)
        return FALSE;
    if (!mutex->Release(GetCurrentThreadId())) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

extern "C" HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES, LONG lInitialCount, LONG lMaximumCount,
                                          LPCSTR lpName)
{
    if (lMaximumCount <= 0 || lInitialCount < 0 || lInitialCount > lMaximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateNamed<Semaphore>(lpName, [&] { return std::make_shared<Semaphore>(lInitialCount, lMaximumCount); });
}

extern "C" BOOL WINAPI ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount)
{
    auto semaphore = LookupHandleAs<Semaphore>(hSemaphore);
    if (!semaphore)
        return FALSE;
    if (!semaphore->Release(lReleaseCount, lpPreviousCount)) {
        SetLastError(lReleaseCount <= 0 ? ERROR_INVALID_PARAMETER : ERROR_TOO_MANY_POSTS);
        return FALSE;
    }
    return TRUE;
}
