// Threads, their exit codes and handles; time.
#include <gtest/gtest.h>
#include <process.h>
#include <windows.h>

#include <atomic>
#include <set>

namespace {

DWORD WINAPI ReturnParameter(LPVOID parameter)
{
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(parameter));
}

struct IdProbe {
    DWORD seen = 0;
    HANDLE go = nullptr;
};

DWORD WINAPI RecordId(LPVOID parameter)
{
    auto *probe = static_cast<IdProbe *>(parameter);
    if (probe->go)
        WaitForSingleObject(probe->go, INFINITE);
    probe->seen = GetCurrentThreadId();
    return 0;
}

void NestedExit(DWORD code, bool *destroyed)
{
    struct Sentinel {
        bool *flag;
        ~Sentinel() { *flag = true; }
    } sentinel{destroyed};
    ExitThread(code);
}

DWORD WINAPI ExitEarly(LPVOID parameter)
{
    NestedExit(77, static_cast<bool *>(parameter));
    return 1; // never reached
}

TEST(Threads, ExitCodeIsStillActiveThenTheReturnValue)
{
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    IdProbe probe;
    probe.go = go;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, RecordId, &probe, 0, &id);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 20), (DWORD)WAIT_TIMEOUT);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(probe.seen, id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(thread));
    CloseHandle(go);

    thread = CreateThread(nullptr, 64 * 1024, ReturnParameter, reinterpret_cast<LPVOID>(1234), 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 1234u);
    CloseHandle(thread);
}

TEST(Threads, ExitThreadUnwindsAndSetsTheCode)
{
    bool destroyed = false;
    HANDLE thread = CreateThread(nullptr, 0, ExitEarly, &destroyed, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_TRUE(destroyed);
    CloseHandle(thread);
}

TEST(Threads, SuspendedThreadStartsOnResume)
{
    IdProbe probe;
    HANDLE thread = CreateThread(nullptr, 0, RecordId, &probe, CREATE_SUSPENDED, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 30), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_NE(probe.seen, 0u);
    CloseHandle(thread);
}

TEST(Threads, WaitAllOnSeveralThreads)
{
    HANDLE threads[8];
    for (int i = 0; i < 8; ++i)
        threads[i] = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>((UINT_PTR)i), 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(8, threads, TRUE, 5000), WAIT_OBJECT_0);
    for (int i = 0; i < 8; ++i) {
        DWORD code = 99;
        GetExitCodeThread(threads[i], &code);
        EXPECT_EQ(code, (DWORD)i);
        CloseHandle(threads[i]);
    }
}

unsigned __stdcall ExReturn(void *parameter)
{
    return *static_cast<unsigned *>(parameter);
}

std::atomic<int> g_plainRuns{0};
void __cdecl PlainThread(void *parameter)
{
    ++g_plainRuns;
    SetEvent(static_cast<HANDLE>(parameter));
}

TEST(Threads, BeginThreadEx)
{
    unsigned value = 5150, id = 0;
    uintptr_t handle = _beginthreadex(nullptr, 0, ExReturn, &value, 0, &id);
    ASSERT_NE(handle, 0u);
    EXPECT_NE(id, 0u);
    ASSERT_EQ(WaitForSingleObject((HANDLE)handle, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread((HANDLE)handle, &code));
    EXPECT_EQ(code, 5150u);
    EXPECT_TRUE(CloseHandle((HANDLE)handle));
}

// _beginthread's handle belongs to the thread and is closed when it ends.
TEST(Threads, BeginThreadClosesItsOwnHandle)
{
    HANDLE ran = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int runsBefore = g_plainRuns.load();
    uintptr_t handle = _beginthread(PlainThread, 0, ran);
    ASSERT_NE(handle, (uintptr_t)-1);
    ASSERT_EQ(WaitForSingleObject(ran, 5000), WAIT_OBJECT_0);
    for (int i = 0; i < 500; ++i) { // the thread closes it just after it signals
        DWORD code;
        if (!GetExitCodeThread((HANDLE)handle, &code))
            break;
        Sleep(2);
    }
    EXPECT_FALSE(CloseHandle((HANDLE)handle));
    EXPECT_EQ(g_plainRuns.load(), runsBefore + 1);
    CloseHandle(ran);
}

TEST(Threads, IdsAreDistinctAndStable)
{
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    EXPECT_NE(GetCurrentThreadId(), 0u);
    std::set<DWORD> ids{GetCurrentThreadId()};
    for (int i = 0; i < 4; ++i) {
        IdProbe probe;
        HANDLE thread = CreateThread(nullptr, 0, RecordId, &probe, 0, nullptr);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        EXPECT_TRUE(ids.insert(probe.seen).second);
    }
    EXPECT_NE(GetCurrentProcessId(), 0u);
}

TEST(Time, CountersAdvance)
{
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_GT(frequency.QuadPart, 0);
    QueryPerformanceCounter(&before);
    ULONGLONG ticksBefore = GetTickCount64();
    Sleep(30);
    QueryPerformanceCounter(&after);
    ULONGLONG elapsedTicks = GetTickCount64() - ticksBefore;
    EXPECT_GE((after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart, 29);
    EXPECT_GE(elapsedTicks, 29u);
    // Both counters read the same clock: the 32-bit one is the low half of the other.
    DWORD low = (DWORD)GetTickCount64();
    DWORD ticks = GetTickCount();
    EXPECT_LE(ticks - low, 1u);
}

TEST(Time, SystemTimeIsACalendarDate)
{
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    GetLocalTime(&local);
    EXPECT_GE(utc.wYear, 2024);
    EXPECT_GE(utc.wMonth, 1);
    EXPECT_LE(utc.wMonth, 12);
    EXPECT_LE(utc.wDayOfWeek, 6);
    EXPECT_LE(utc.wHour, 23);
    EXPECT_LE(utc.wMilliseconds, 999);
    EXPECT_LE(local.wMinute, 59);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULONGLONG ticks = ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
    // Years since 1601, within a year of the calendar answer.
    EXPECT_NEAR((double)ticks / 10000000.0 / 86400.0 / 365.2425 + 1601, utc.wYear, 1.0);
}

} // namespace
