// Critical sections: re-entrancy, mutual exclusion and the structure's fields.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

namespace {

TEST(CriticalSections, ReentrantAndFieldsTrackTheOwner)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EXPECT_NE(cs.LockSemaphore, nullptr);
    EXPECT_EQ(cs.RecursionCount, 0);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    EXPECT_EQ(cs.RecursionCount, 3);
    EXPECT_EQ(cs.OwningThread, (HANDLE)(ULONG_PTR)GetCurrentThreadId());

    BOOL otherGot = TRUE;
    std::thread other([&] { otherGot = TryEnterCriticalSection(&cs); });
    other.join();
    EXPECT_FALSE(otherGot);

    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    EXPECT_EQ(cs.OwningThread, nullptr);
    std::thread again([&] {
        otherGot = TryEnterCriticalSection(&cs);
        if (otherGot)
            LeaveCriticalSection(&cs);
    });
    again.join();
    EXPECT_TRUE(otherGot);
    DeleteCriticalSection(&cs);
    EXPECT_EQ(cs.LockSemaphore, nullptr);
}

// Unsynchronised read-modify-write under the lock: any lapse in exclusion loses
// increments (and TSan reports the race).
TEST(CriticalSections, MutualExclusionUnderContention)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    long counter = 0;
    constexpr int kThreads = 4, kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                EnterCriticalSection(&cs);
                EnterCriticalSection(&cs);
                long seen = counter;
                if (i % 64 == 0)
                    std::this_thread::yield();
                counter = seen + 1;
                LeaveCriticalSection(&cs);
                LeaveCriticalSection(&cs);
            }
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(counter, (long)kThreads * kRounds);
    EXPECT_EQ(cs.LockCount, -1);
    DeleteCriticalSection(&cs);
}

} // namespace
