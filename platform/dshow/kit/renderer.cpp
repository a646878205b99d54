#include "renderer.h"

#include <algorithm>
#include <chrono>

#include <evcode.h>

namespace twds::kit {
namespace {

// The longest single wait before the clock is read again, so that a clock that
// drifts from the machine's is followed (by microseconds over such a wait).
// State changes and flushes wake a waiting sample at once.
const REFERENCE_TIME kMaxWait = 500000;     // 50 ms
// A sample that says nothing of how long it lasts (no stop time, or one not
// after its start) is taken to last this long when deciding whether it is too
// late to show: a frame of 25 fps video.
const REFERENCE_TIME kAssumedDuration = 400000;

} // namespace

Renderer::Renderer() : m_pin(this, this, u"In")
{
}

LONG Renderer::Presented()
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    return m_presented;
}

LONG Renderer::Dropped()
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    return m_dropped;
}

void Renderer::SetPresentObserver(PresentObserver observer)
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    m_observer = std::move(observer);
}

HRESULT Renderer::OnPause(FILTER_STATE from)
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    if (from == State_Stopped) {
        m_haveSample = false;
        m_eos = false;
        m_completeSent = false;
    }
    m_wake.notify_all();
    return S_OK;
}

HRESULT Renderer::OnRun(REFERENCE_TIME start)
{
    bool complete = false;
    auto clock = Clock();       // before m_renderLock: the filter lock never nests inside it
    {
        std::lock_guard<std::mutex> hold(m_renderLock);
        m_runClock = clock;
        m_runStart = start;
        complete = m_eos && !m_completeSent;
        m_wake.notify_all();
    }
    if (complete)
        SendComplete();
    return S_OK;
}

HRESULT Renderer::OnStop()
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    m_runClock = nullptr;
    m_haveSample = false;
    m_eos = false;
    m_completeSent = false;
    m_wake.notify_all();
    return S_OK;
}

HRESULT Renderer::WaitStateComplete(DWORD timeoutMs)
{
    if (!m_pin.IsConnected())
        return S_OK;
    std::unique_lock<std::mutex> hold(m_renderLock);
    bool done = m_wake.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
        return m_haveSample || m_eos || m_flushing || State() != State_Paused;
    });
    return done ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

HRESULT Renderer::Receive(InputPin *, IMediaSample *sample)
{
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT timeResult = sample->GetTime(&start, &stop);
    bool timed = SUCCEEDED(timeResult);
    if (timeResult != S_OK || stop <= start)
        stop = start + kAssumedDuration;

    std::unique_lock<std::mutex> hold(m_renderLock);
    if (m_eos)
        return VFW_E_SAMPLE_REJECTED_EOS;
    if (!m_haveSample) {
        m_haveSample = true;
        m_wake.notify_all();
    }
    REFERENCE_TIME lateness = 0;
    REFERENCE_TIME ahead = PresentAhead();
    for (;;) {
        if (m_flushing)
            return S_FALSE;
        FILTER_STATE state = State();
        if (state == State_Stopped)
            return VFW_E_WRONG_STATE;
        if (state == State_Paused) {
            m_wake.wait(hold);
            continue;
        }
        if (!m_runClock || !timed)
            break;
        REFERENCE_TIME now = 0;
        m_runClock->GetTime(&now);
        REFERENCE_TIME due = m_runStart + start - ahead;
        if (now >= due) {
            lateness = std::max<REFERENCE_TIME>(0, now - (m_runStart + start));
            if (DropsLateSamples() && now > m_runStart + stop) {
                ++m_dropped;
                return S_OK;
            }
            break;
        }
        REFERENCE_TIME wait = std::min(due - now, kMaxWait);
        m_wake.wait_for(hold, std::chrono::microseconds((wait + 9) / 10));
    }
    ++m_presented;
    // Changed only while stopped, when no sample is received: safe to call unlocked.
    const PresentObserver *observer = m_observer ? &m_observer : nullptr;
    hold.unlock();
    HRESULT hr = DoRenderSample(sample, lateness);
    if (observer)
        (*observer)(start, lateness);
    return hr;
}

HRESULT Renderer::EndOfStream(InputPin *)
{
    bool complete = false;
    {
        std::lock_guard<std::mutex> hold(m_renderLock);
        if (m_eos || m_flushing)
            return S_OK;
        m_eos = true;
        m_wake.notify_all();
        complete = State() == State_Running && !m_completeSent;
    }
    if (complete)
        SendComplete();
    return S_OK;
}

void Renderer::SendComplete()
{
    {
        std::lock_guard<std::mutex> hold(m_renderLock);
        if (m_completeSent)
            return;
        m_completeSent = true;
    }
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter *>(this)));
}

HRESULT Renderer::BeginFlush(InputPin *)
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    m_flushing = true;
    m_eos = false;
    m_completeSent = false;
    m_wake.notify_all();
    return S_OK;
}

HRESULT Renderer::EndFlush(InputPin *)
{
    std::lock_guard<std::mutex> hold(m_renderLock);
    m_flushing = false;
    m_haveSample = false;
    return S_OK;
}

} // namespace twds::kit
