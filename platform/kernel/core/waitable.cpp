#include <twkernel/waitable.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>

namespace twk {

struct WaitBlock {
    std::vector<Waitable *> objects;
    bool waitAll = false;
    DWORD threadId = 0;
    bool done = false;
    DWORD result = WAIT_FAILED;
    std::condition_variable wakeup;
};

// Registers a wait with its objects and unregisters it; all under WaitLock().
class WaitRegistration {
public:
    static void Add(WaitBlock &block)
    {
        for (Waitable *object : block.objects)
            object->m_waiters.push_back(&block);
    }
    static void Remove(WaitBlock &block)
    {
        for (Waitable *object : block.objects)
            object->m_waiters.remove(&block);
    }
};

std::mutex &WaitLock()
{
    static std::mutex *lock = new std::mutex; // outlives threads still running at exit
    return *lock;
}

namespace {

// Satisfies the wait if its objects allow it now; WaitLock() held.
bool TrySatisfy(WaitBlock &block)
{
    if (block.waitAll) {
        for (Waitable *object : block.objects)
            if (!object->IsSignalled(block.threadId))
                return false;
        for (Waitable *object : block.objects)
            object->Acquire(block.threadId);
        block.result = WAIT_OBJECT_0;
    } else {
        size_t index = 0;
        while (index < block.objects.size() && !block.objects[index]->IsSignalled(block.threadId))
            ++index;
        if (index == block.objects.size())
            return false;
        block.objects[index]->Acquire(block.threadId);
        block.result = WAIT_OBJECT_0 + static_cast<DWORD>(index);
    }
    block.done = true;
    return true;
}

} // namespace

void Waitable::WakeWaiters()
{
    // Satisfying a waiter removes it from this list, so walk a copy.
    std::vector<WaitBlock *> waiters(m_waiters.begin(), m_waiters.end());
    for (WaitBlock *block : waiters) {
        if (block->done || !TrySatisfy(*block))
            continue;
        WaitRegistration::Remove(*block);
        block->wakeup.notify_one();
    }
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>> &objects, bool waitAll, DWORD milliseconds)
{
    if (objects.empty() || objects.size() > MAXIMUM_WAIT_OBJECTS + 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    WaitBlock block;
    block.waitAll = waitAll;
    block.threadId = GetCurrentThreadId();
    for (const auto &object : objects)
        block.objects.push_back(object.get());
    if (waitAll) {
        std::vector<Waitable *> sorted = block.objects;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
    }

    std::unique_lock<std::mutex> lock(WaitLock());
    if (TrySatisfy(block))
        return block.result;
    if (milliseconds == 0)
        return WAIT_TIMEOUT;

    WaitRegistration::Add(block);
    if (milliseconds == INFINITE) {
        block.wakeup.wait(lock, [&] { return block.done; });
    } else {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        if (!block.wakeup.wait_until(lock, deadline, [&] { return block.done; })) {
            WaitRegistration::Remove(block);
            return WAIT_TIMEOUT;
        }
    }
    return block.result;
}

bool LookupWaitables(DWORD count, const HANDLE *handles, std::vector<std::shared_ptr<Waitable>> &objects)
{
    objects.clear();
    for (DWORD i = 0; i < count; ++i) {
        auto object = LookupHandleAs<Waitable>(handles[i]);
        if (!object)
            return false;
        objects.push_back(std::move(object));
    }
    return true;
}

} // namespace twk

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    std::vector<std::shared_ptr<twk::Waitable>> objects;
    if (!twk::LookupWaitables(1, &hHandle, objects))
        return WAIT_FAILED;
    return twk::WaitForObjects(objects, false, dwMilliseconds);
}

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<twk::Waitable>> objects;
    if (!twk::LookupWaitables(nCount, lpHandles, objects))
        return WAIT_FAILED;
    return twk::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds);
}
