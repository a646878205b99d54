// Waitable kernel objects and the wait machinery, for the platform libraries.
//
// Platform-internal (not in platform/include). Events, mutexes, semaphores and
// threads derive from Waitable; another platform library can add a wakeup source
// of its own the same way. For instance the window library's per-thread message
// queue: a Waitable whose IsSignalled() says "input has arrived", which the
// poster sets under WaitLock() before calling WakeWaiters(), and which
// MsgWaitForMultipleObjects passes to WaitForObjects() after the handles' objects
// (index nCount then means "input arrived").
//
// All object state that decides signalling is guarded by the one WaitLock().
// A waiter is satisfied by whoever signals, in the order the waiters arrived, and
// at that moment takes what it waited for (an auto-reset event's signal, a
// semaphore count, a mutex), so a signal is consumed by exactly the thread it
// wakes, and wait-all takes all its objects at once or none.
#pragma once
#include <twkernel/handles.h>

#include <list>
#include <memory>
#include <mutex>
#include <vector>

namespace twk {

struct WaitBlock;

// The lock guarding every waitable object's signal state and every wait.
std::mutex &WaitLock();

class Waitable : public KernelObject {
public:
    // Both are called with WaitLock() held.
    // Whether a wait by the given thread would be satisfied now.
    virtual bool IsSignalled(DWORD threadId) const = 0;
    // Takes the signal for a waiter that the object satisfies: resets an
    // auto-reset event, takes a semaphore count, gives a mutex to the thread.
    virtual void Acquire(DWORD threadId) { (void)threadId; }

protected:
    // Call with WaitLock() held after the object may have become signalled:
    // satisfies the waiters that can now proceed, oldest first.
    void WakeWaiters();

private:
    friend class WaitRegistration;
    std::list<WaitBlock *> m_waiters;
};

// Waits for any (waitAll false) or all (waitAll true) of the objects, at most
// `milliseconds` (INFINITE for no limit). Returns WAIT_OBJECT_0 + index of the
// object that satisfied a wait-any (the lowest index when several are
// signalled), WAIT_OBJECT_0 for wait-all, WAIT_TIMEOUT, or WAIT_FAILED with the
// last error set (no objects, too many, a duplicate in a wait-all).
// Must be called without WaitLock() held.
DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>> &objects, bool waitAll, DWORD milliseconds);

// The waitable objects that handles name; false with ERROR_INVALID_HANDLE as the
// last error if one is not a waitable object.
bool LookupWaitables(DWORD count, const HANDLE *handles, std::vector<std::shared_ptr<Waitable>> &objects);

} // namespace twk
