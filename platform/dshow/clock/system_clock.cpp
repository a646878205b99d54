#include "system_clock.h"

#include <algorithm>
#include <chrono>

#include <uuids.h>
#include <windows.h>

#include <twcom/builtin_classes.h>

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_registration(CLSID_SystemClock, SystemClock::Create);

using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10000000>>;

std::chrono::steady_clock::time_point ToTimePoint(REFERENCE_TIME t)
{
    return std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(Units(t)));
}

} // namespace

HRESULT SystemClock::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<SystemClock>(), riid, ppv);
}

SystemClock::~SystemClock()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

REFERENCE_TIME SystemClock::Now()
{
    return std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

HRESULT STDMETHODCALLTYPE SystemClock::GetTime(REFERENCE_TIME *pTime)
{
    if (!pTime)
        return E_POINTER;
    REFERENCE_TIME now = Now();
    std::lock_guard<std::mutex> hold(m_lock);
    // The same reading twice in a row answers S_FALSE, as callers polling for a
    // change expect.
    HRESULT hr = now > m_last ? S_OK : S_FALSE;
    m_last = std::max(m_last, now);
    *pTime = m_last;
    return hr;
}

HRESULT STDMETHODCALLTYPE SystemClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                                  HEVENT hEvent, DWORD_PTR *pdwAdviseCookie)
{
    if (!pdwAdviseCookie)
        return E_POINTER;
    *pdwAdviseCookie = 0;
    if (!hEvent || baseTime + streamTime <= 0 || streamTime < 0)
        return E_INVALIDARG;
    return Add(baseTime + streamTime, 0, reinterpret_cast<HANDLE>(hEvent), pdwAdviseCookie);
}

HRESULT STDMETHODCALLTYPE SystemClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                                      HSEMAPHORE hSemaphore, DWORD_PTR *pdwAdviseCookie)
{
    if (!pdwAdviseCookie)
        return E_POINTER;
    *pdwAdviseCookie = 0;
    if (!hSemaphore || startTime <= 0 || periodTime <= 0)
        return E_INVALIDARG;
    return Add(startTime, periodTime, reinterpret_cast<HANDLE>(hSemaphore), pdwAdviseCookie);
}

HRESULT SystemClock::Add(REFERENCE_TIME due, REFERENCE_TIME period, HANDLE handle, DWORD_PTR *cookie)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { TimerThread(); });
        *cookie = m_nextCookie++;
        m_advises.push_back({*cookie, due, period, handle});
    }
    m_changed.notify_all();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SystemClock::Unadvise(DWORD_PTR dwAdviseCookie)
{
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = std::find_if(m_advises.begin(), m_advises.end(),
                           [&](const Advise &a) { return a.cookie == dwAdviseCookie; });
    if (it == m_advises.end())
        return S_FALSE;
    m_advises.erase(it);
    m_changed.notify_all();
    return S_OK;
}

void SystemClock::TimerThread()
{
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_stop) {
        if (m_advises.empty()) {
            m_changed.wait(hold);
            continue;
        }
        auto next = std::min_element(m_advises.begin(), m_advises.end(),
                                     [](const Advise &a, const Advise &b) { return a.due < b.due; });
        REFERENCE_TIME now = Now();
        if (next->due > now) {
            m_changed.wait_until(hold, ToTimePoint(next->due));
            continue;
        }
        // Signalled under the lock, so that an Unadvise that returned has
        // stopped its advise for good.
        if (next->period == 0) {
            SetEvent(next->handle);
            m_advises.erase(next);
        } else {
            ReleaseSemaphore(next->handle, 1, nullptr);
            // A periodic advise that fell behind skips the periods it missed.
            next->due += next->period;
            if (next->due <= now)
                next->due = now - (now - next->due) % next->period + next->period;
        }
    }
}

} // namespace twds
