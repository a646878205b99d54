// Tick counts, the performance counter and the calendar time.
#include <windows.h>

#include <ctime>
#include <sys/time.h>

namespace {

// Nanoseconds since an arbitrary point (boot), never going backwards.
unsigned long long MonotonicNanoseconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<unsigned long long>(ts.tv_sec) * 1000000000ULL + static_cast<unsigned long long>(ts.tv_nsec);
}

// The performance counter counts 100 ns units, as Windows' usual 10 MHz counter does.
constexpr long long kPerformanceFrequency = 10000000;

void FillSystemTime(const struct tm &tm, long milliseconds, LPSYSTEMTIME out)
{
    out->wYear = static_cast<WORD>(tm.tm_year + 1900);
    out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    out->wDay = static_cast<WORD>(tm.tm_mday);
    out->wHour = static_cast<WORD>(tm.tm_hour);
    out->wMinute = static_cast<WORD>(tm.tm_min);
    out->wSecond = static_cast<WORD>(tm.tm_sec);
    out->wMilliseconds = static_cast<WORD>(milliseconds);
}

} // namespace

extern "C" ULONGLONG WINAPI GetTickCount64(void)
{
    return MonotonicNanoseconds() / 1000000ULL;
}

extern "C" DWORD WINAPI GetTickCount(void)
{
    return static_cast<DWORD>(GetTickCount64()); // wraps after 49.7 days, as on Windows
}

extern "C" BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *lpPerformanceCount)
{
    if (!lpPerformanceCount) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    lpPerformanceCount->QuadPart = static_cast<LONGLONG>(MonotonicNanoseconds() / 100ULL);
    return TRUE;
}

extern "C" BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *lpFrequency)
{
    if (!lpFrequency) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    lpFrequency->QuadPart = kPerformanceFrequency;
    return TRUE;
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    localtime_r(&ts.tv_sec, &tm);
    FillSystemTime(tm, ts.tv_nsec / 1000000L, lpSystemTime);
}

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    gmtime_r(&ts.tv_sec, &tm);
    FillSystemTime(tm, ts.tv_nsec / 1000000L, lpSystemTime);
}

extern "C" void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime)
{
    // 100 ns units since 1601-01-01 UTC.
    constexpr unsigned long long kEpochDifference = 116444736000000000ULL;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    unsigned long long ticks = static_cast<unsigned long long>(ts.tv_sec) * 10000000ULL +
                               static_cast<unsigned long long>(ts.tv_nsec) / 100ULL + kEpochDifference;
    lpSystemTimeAsFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpSystemTimeAsFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}
