// The system reference clock: its reading, one-shot and periodic advises, Unadvise.
#include <gtest/gtest.h>

#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <windows.h>

#include <twcom/comptr.h>

namespace {

class Clock : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                         clock.put_void()));
    }
    void TearDown() override
    {
        clock = nullptr;
        CoUninitialize();
    }
    REFERENCE_TIME Now()
    {
        REFERENCE_TIME t = 0;
        EXPECT_TRUE(SUCCEEDED(clock->GetTime(&t)));
        return t;
    }
    twcom::ComPtr<IReferenceClock> clock;
};

const REFERENCE_TIME kMs = 10000;

TEST_F(Clock, TimeGoesForwardAndNeverBack)
{
    REFERENCE_TIME a = Now();
    Sleep(20);
    REFERENCE_TIME b = Now();
    EXPECT_GE(b - a, 15 * kMs);
    EXPECT_EQ(E_POINTER, clock->GetTime(nullptr));
}

TEST_F(Clock, AdviseTimeSignalsTheEventAtItsTimeNotBefore)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR cookie = 0;
    REFERENCE_TIME base = Now();
    ASSERT_EQ(S_OK, clock->AdviseTime(base, 50 * kMs, reinterpret_cast<HEVENT>(event), &cookie));
    EXPECT_NE(0u, cookie);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 5000));
    EXPECT_GE(Now(), base + 50 * kMs);
    // Signalled once only: the advise is gone, so Unadvise finds nothing.
    EXPECT_EQ(S_FALSE, clock->Unadvise(cookie));
    // A time already past signals at once.
    ASSERT_EQ(S_OK, clock->AdviseTime(base, 0, reinterpret_cast<HEVENT>(event), &cookie));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 5000));
    CloseHandle(event);
}

TEST_F(Clock, UnadviseBeforeTheTimeKeepsTheEventQuiet)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, clock->AdviseTime(Now(), 100 * kMs, reinterpret_cast<HEVENT>(event), &cookie));
    EXPECT_EQ(S_OK, clock->Unadvise(cookie));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 250));
    CloseHandle(event);
}

TEST_F(Clock, AdvisePeriodicReleasesOncePerPeriodUntilUnadvised)
{
    HANDLE sem = CreateSemaphoreA(nullptr, 0, 1000, nullptr);
    DWORD_PTR cookie = 0;
    REFERENCE_TIME start = Now() + 10 * kMs;
    ASSERT_EQ(S_OK, clock->AdvisePeriodic(start, 20 * kMs, reinterpret_cast<HSEMAPHORE>(sem), &cookie));
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sem, 5000)) << "period " << i;
    // Four releases cannot come sooner than three periods after the start.
    EXPECT_GE(Now(), start + 60 * kMs);
    EXPECT_EQ(S_OK, clock->Unadvise(cookie));
    while (WaitForSingleObject(sem, 0) == WAIT_OBJECT_0) {
    }
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(sem, 100));
    CloseHandle(sem);
}

TEST_F(Clock, BadArgumentsAreRefused)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR cookie = 7;
    EXPECT_EQ(E_POINTER, clock->AdviseTime(Now(), 0, reinterpret_cast<HEVENT>(event), nullptr));
    EXPECT_EQ(E_INVALIDARG, clock->AdviseTime(Now(), 0, 0, &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(E_INVALIDARG, clock->AdviseTime(0, 0, reinterpret_cast<HEVENT>(event), &cookie));
    EXPECT_EQ(E_INVALIDARG, clock->AdvisePeriodic(Now(), 0, reinterpret_cast<HSEMAPHORE>(event), &cookie));
    EXPECT_EQ(E_INVALIDARG, clock->AdvisePeriodic(Now(), kMs, 0, &cookie));
    EXPECT_EQ(S_FALSE, clock->Unadvise(12345));
    CloseHandle(event);
}

TEST_F(Clock, ReleasingTheClockWithAdvisesPendingStopsItsThread)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, clock->AdviseTime(Now(), 10000 * kMs, reinterpret_cast<HEVENT>(event), &cookie));
    clock = nullptr;      // must not hang on the pending advise
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    CloseHandle(event);
}

} // namespace
