// Events, mutexes, semaphores and the waits on them.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h)
            CloseHandle(h);
    }
    operator HANDLE() const { return h; }
};

TEST(Handles, AreOpaqueAndCloseOnce)
{
    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, b);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(a));
    EXPECT_TRUE(CloseHandle(b));
}

TEST(Events, ManualResetStaysSignalledUntilReset)
{
    Handle e(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(WaitForSingleObject(e, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 10), (DWORD)WAIT_TIMEOUT);
}

TEST(Events, AutoResetIsConsumedByOneWait)
{
    Handle e(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), (DWORD)WAIT_TIMEOUT);
}

TEST(Events, TimeoutWaitsRoughlyThatLong)
{
    Handle e(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 50), (DWORD)WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(Events, SetFromAnotherThreadWakesInfiniteWait)
{
    Handle e(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::thread setter([&] {
        Sleep(20);
        SetEvent(e);
    });
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    setter.join();
}

// Each SetEvent on an auto-reset event releases exactly one of the waiting
// threads, even when the sets come faster than the waiters run.
TEST(Events, AutoResetReleasesOneWaiterPerSet)
{
    Handle e(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    Handle done(CreateSemaphoreA(nullptr, 0, 100, nullptr));
    constexpr int kWaiters = 4;
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(e, 5000) == WAIT_OBJECT_0)
                ++woken;
            ReleaseSemaphore(done, 1, nullptr);
        });
    Sleep(100); // let every waiter block
    SetEvent(e);
    SetEvent(e);
    // Two released, two still waiting, and the event itself not left signalled.
    EXPECT_EQ(WaitForSingleObject(done, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(done, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(done, 100), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(woken.load(), 2);
    SetEvent(e);
    SetEvent(e);
    for (auto &t : waiters)
        t.join();
    EXPECT_EQ(woken.load(), kWaiters);
    EXPECT_EQ(WaitForSingleObject(e, 0), (DWORD)WAIT_TIMEOUT);
}

TEST(Waits, WaitAnyReturnsLowestSignalledIndex)
{
    Handle a(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Handle b(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    Handle c(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    HANDLE handles[] = {a, b, c};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    SetEvent(a);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0);
}

TEST(Waits, WaitAnyConsumesOnlyTheObjectItReturns)
{
    Handle a(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    Handle b(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    HANDLE handles[] = {a, b};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
}

// Wait-all takes nothing until every object is signalled, then takes all at once.
TEST(Waits, WaitAllIsAllOrNothing)
{
    Handle a(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    Handle b(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE handles[] = {a, b};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 20), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a timed-out wait-all must not consume a";
    SetEvent(a);

    std::thread setter([&] {
        Sleep(20);
        SetEvent(b);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 5000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(a, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b, 0), (DWORD)WAIT_TIMEOUT);
}

TEST(Waits, RejectsBadArguments)
{
    Handle a(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    HANDLE twice[] = {a, a};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, a.h);
    EXPECT_EQ(WaitForMultipleObjects((DWORD)many.size(), many.data(), FALSE, 0), WAIT_FAILED);
    HANDLE bogus[] = {a, (HANDLE)(UINT_PTR)0x7ffffff0};
    EXPECT_EQ(WaitForMultipleObjects(2, bogus, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(Events, NamedEventIsSharedWithinTheProcess)
{
    Handle first(CreateEventA(nullptr, TRUE, FALSE, "tw-kernel-test-event"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    Handle second(CreateEventA(nullptr, TRUE, FALSE, "tw-kernel-test-event"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_NE(first.h, second.h);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
}

TEST(Mutexes, OwnerReentersOthersWait)
{
    Handle m(CreateMutexA(nullptr, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); // recursion
    DWORD other = 0;
    std::thread t([&] { other = WaitForSingleObject(m, 20); });
    t.join();
    EXPECT_EQ(other, (DWORD)WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    std::thread t2([&] {
        other = WaitForSingleObject(m, 1000);
        ReleaseMutex(m);
    });
    t2.join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
}

TEST(Semaphores, CountsAndLimits)
{
    Handle s(CreateSemaphoreA(nullptr, 2, 3, nullptr));
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 0), (DWORD)WAIT_TIMEOUT);
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(s, 3, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(s, 1, nullptr));
    EXPECT_EQ(CreateSemaphoreA(nullptr, 4, 3, nullptr), nullptr);
}

} // namespace
