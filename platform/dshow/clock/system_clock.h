// The system reference clock (CLSID_SystemClock): the monotonic clock of the
// machine in 100 ns units, with one timer thread that signals advise events at
// their time and releases periodic semaphores once per period.
//
// Threads: any thread may call every method. The advise list and the stop flag
// belong to m_lock; the timer thread runs from the first advise until the clock
// is destroyed and touches nothing else.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <strmif.h>
#include <twcom/object.h>

TWCOM_INTERFACE(IReferenceClock, IID_IReferenceClock)

namespace twds {

class SystemClock final : public twcom::Object<SystemClock, IReferenceClock> {
public:
    // The COM creation function; the clock cannot be aggregated.
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);

    SystemClock() = default;
    ~SystemClock() override;

    // The clock's reading now, in 100 ns units.
    static REFERENCE_TIME Now();

    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME *pTime) override;
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                                         DWORD_PTR *pdwAdviseCookie) override;
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                             HSEMAPHORE hSemaphore, DWORD_PTR *pdwAdviseCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR dwAdviseCookie) override;

private:
    struct Advise {
        DWORD_PTR cookie;
        REFERENCE_TIME due;
        REFERENCE_TIME period;      // 0: a one-shot event advise
        HANDLE handle;              // event (one-shot) or semaphore (periodic)
    };

    HRESULT Add(REFERENCE_TIME due, REFERENCE_TIME period, HANDLE handle, DWORD_PTR *cookie);
    void TimerThread();

    std::mutex m_lock;
    std::condition_variable m_changed;  // an advise was added or removed, or stop
    std::vector<Advise> m_advises;      // m_lock
    DWORD_PTR m_nextCookie = 1;         // m_lock
    bool m_stop = false;                // m_lock
    std::thread m_thread;               // started under m_lock, joined by the destructor
    REFERENCE_TIME m_last = 0;          // m_lock: GetTime never goes backwards
};

} // namespace twds
