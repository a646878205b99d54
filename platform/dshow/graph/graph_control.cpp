// Control: the graph's state, its reference clock, and the event interfaces.
#include "filter_graph.h"

#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "clock/system_clock.h"
#include "graph/graph_pins.h"

namespace twds {
namespace {

// Stream time 0 lies this far after Run, so that every filter is running by then.
const REFERENCE_TIME kRunDelay = 100000;        // 10 ms
// How long StopWhenReady lets the renderers take their first samples.
const DWORD kReadyWaitMs = 2000;
// How long a Run waits for the renderers' first samples (a network source fills
// its buffer first) before it starts the clock anyway, and how often it looks.
const auto kCueWait = std::chrono::seconds(10);
const auto kCuePoll = std::chrono::milliseconds(10);

} // namespace

std::vector<twcom::ComPtr<IBaseFilter>> FilterGraph::DownstreamFirst()
{
    // Depth-first over output connections: a filter comes after everything it feeds.
    std::vector<twcom::ComPtr<IBaseFilter>> order;
    std::set<IBaseFilter *> done;
    std::function<void(IBaseFilter *)> visit = [&](IBaseFilter *f) {
        if (!f || done.count(f) || !Contains(f))
            return;
        done.insert(f);
        for (auto &out : PinsOf(f, PINDIR_OUTPUT)) {
            twcom::ComPtr<IPin> peer;
            if (SUCCEEDED(out->ConnectedTo(peer.put())) && peer)
                visit(FilterOf(peer.get()).get());
        }
        order.push_back(twcom::ComPtr<IBaseFilter>::Share(f));
    };
    for (Member &m : m_filters)
        visit(m.filter.get());
    return order;
}

HRESULT FilterGraph::ForEachDownstreamFirst(const std::function<HRESULT(IBaseFilter *)> &change)
{
    // Every filter gets the change even when one fails; the last failure is reported.
    HRESULT result = S_OK;
    for (auto &f : DownstreamFirst()) {
        HRESULT hr = change(f.get());
        if (FAILED(hr))
            result = hr;
    }
    return result;
}

int FilterGraph::CountRenderers()
{
    int n = 0;
    for (Member &m : m_filters)
        n += IsRenderer(m.filter.get());
    return n;
}

HRESULT FilterGraph::EnsureClock()
{
    if (m_clockChosen)
        return S_OK;
    return SetDefaultSyncSource();
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetDefaultSyncSource()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    // A renderer's clock first (it follows the device it plays to), else the system clock.
    twcom::ComPtr<IReferenceClock> clock;
    for (Member &m : m_filters) {
        if (!IsRenderer(m.filter.get()))
            continue;
        clock = twcom::QueryAs<IReferenceClock>(m.filter.get(), IID_IReferenceClock);
        if (clock)
            break;
    }
    if (!clock) {
        // Made here rather than through COM, so that the caller's apartment does not matter.
        auto system = twcom::Make<SystemClock>();
        if (!system)
            return E_OUTOFMEMORY;
        clock = twcom::ComPtr<IReferenceClock>::Share(system.get());
    }
    return SetSyncSource(clock.get());
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetSyncSource(IReferenceClock *pClock)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state != State_Stopped && pClock != m_clock.get())
        return VFW_E_NOT_STOPPED;
    m_clock = twcom::ComPtr<IReferenceClock>::Share(pClock);
    m_clockChosen = true;
    for (Member &m : m_filters)
        m.filter->SetSyncSource(pClock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetSyncSource(IReferenceClock **pClock)
{
    if (!pClock)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    m_clock.copy_to(pClock);
    return m_clock ? S_OK : S_FALSE;
}

REFERENCE_TIME FilterGraph::StreamTime()
{
    if (m_state != State_Running || !m_clock)
        return m_pausedAt;
    REFERENCE_TIME now = 0;
    m_clock->GetTime(&now);
    return std::max<REFERENCE_TIME>(0, now - m_start);
}

HRESULT FilterGraph::PauseLocked()
{
    if (m_state == State_Paused)
        return S_OK;
    if (m_state == State_Stopped) {
        HRESULT hr = EnsureClock();
        if (FAILED(hr))
            return hr;
        m_pausedAt = 0;
    } else {
        m_pausedAt = StreamTime();
    }
    HRESULT result = ForEachDownstreamFirst([](IBaseFilter *f) { return f->Pause(); });
    if (FAILED(result)) {
        StopLocked();
        return result;
    }
    m_state = State_Paused;
    return S_OK;
}

HRESULT FilterGraph::RunLocked(REFERENCE_TIME start)
{
    HRESULT result = ForEachDownstreamFirst([start](IBaseFilter *f) { return f->Run(start); });
    if (FAILED(result)) {
        StopLocked();
        return result;
    }
    m_state = State_Running;
    return S_OK;
}

HRESULT FilterGraph::StopLocked()
{
    CancelPendingRunLocked();
    HRESULT result = ForEachDownstreamFirst([](IBaseFilter *f) { return f->Stop(); });
    m_state = State_Stopped;
    m_pausedAt = 0;
    m_events.ResetCompletion();
    return result;
}

HRESULT FilterGraph::WaitStates(DWORD timeoutMs)
{
    std::vector<twcom::ComPtr<IBaseFilter>> filters;
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        for (Member &m : m_filters)
            filters.push_back(m.filter);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    HRESULT result = S_OK;
    for (auto &f : filters) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        FILTER_STATE state;
        HRESULT hr = f->GetState(static_cast<DWORD>(std::max<long long>(0, left.count())), &state);
        if (hr == VFW_S_STATE_INTERMEDIATE || FAILED(hr))
            result = hr;
    }
    return result;
}

bool FilterGraph::AllCuedLocked()
{
    for (Member &m : m_filters) {
        FILTER_STATE state;
        if (m.filter->GetState(0, &state) == VFW_S_STATE_INTERMEDIATE)
            return false;
    }
    return true;
}

HRESULT FilterGraph::StartClockLocked()
{
    REFERENCE_TIME now = 0;
    if (m_clock)
        m_clock->GetTime(&now);
    m_start = now + kRunDelay - m_pausedAt;
    return RunLocked(m_start);
}

void FilterGraph::CancelPendingRunLocked()
{
    if (m_runPending) {
        m_runPending = false;
        ++m_runGeneration;
    }
}

HRESULT STDMETHODCALLTYPE FilterGraph::Run()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state == State_Running)
        return S_OK;
    if (m_runPending)
        return S_FALSE;
    bool fromStopped = m_state == State_Stopped;
    HRESULT hr = PauseLocked();
    if (FAILED(hr))
        return hr;
    if (fromStopped)
        m_events.StartRun(CountRenderers());
    if (AllCuedLocked())
        return StartClockLocked();
    // A renderer still waits for data (a network source buffering): the clock
    // starts once every renderer holds its first sample, so that none of them
    // finds its samples late. Meanwhile the graph reports a run in progress.
    m_runPending = true;
    unsigned generation = ++m_runGeneration;
    {
        std::lock_guard<std::mutex> cue(m_cueLock);
        m_cueRequested = generation;
    }
    m_cueWake.notify_one();
    if (!m_cueThread.joinable())
        m_cueThread = std::thread([this] { CueLoop(); });
    return S_FALSE;
}

void FilterGraph::CueLoop()
{
    unsigned served = 0;
    for (;;) {
        unsigned generation = 0;
        {
            std::unique_lock<std::mutex> cue(m_cueLock);
            m_cueWake.wait(cue, [&] { return m_cueQuit || m_cueRequested != served; });
            if (m_cueQuit)
                return;
            generation = served = m_cueRequested;
        }
        CueThenRun(generation);
    }
}

void FilterGraph::CueThenRun(unsigned generation)
{
    auto deadline = std::chrono::steady_clock::now() + kCueWait;
    for (;;) {
        {
            std::lock_guard<std::mutex> cue(m_cueLock);
            if (m_cueQuit)
                return;
        }
        {
            std::lock_guard<std::recursive_mutex> hold(m_lock);
            if (!m_runPending || m_runGeneration != generation)
                return;
            if (AllCuedLocked() || std::chrono::steady_clock::now() >= deadline) {
                m_runPending = false;
                StartClockLocked();
                return;
            }
        }
        std::this_thread::sleep_for(kCuePoll);
    }
}

HRESULT STDMETHODCALLTYPE FilterGraph::Run(REFERENCE_TIME tStart)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state == State_Running)
        return S_OK;
    bool fromStopped = m_state == State_Stopped;
    HRESULT hr = PauseLocked();
    if (FAILED(hr))
        return hr;
    if (fromStopped)
        m_events.StartRun(CountRenderers());
    CancelPendingRunLocked();
    m_start = tStart;
    return RunLocked(tStart);
}

HRESULT STDMETHODCALLTYPE FilterGraph::Pause()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    CancelPendingRunLocked();
    HRESULT hr = PauseLocked();
    if (FAILED(hr))
        return hr;
    for (Member &m : m_filters) {
        FILTER_STATE state;
        if (m.filter->GetState(0, &state) == VFW_S_STATE_INTERMEDIATE)
            return S_FALSE;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Stop()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return StopLocked();
}

HRESULT STDMETHODCALLTYPE FilterGraph::StopWhenReady()
{
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        if (m_state == State_Stopped)
            return S_OK;
        HRESULT hr = PauseLocked();
        if (FAILED(hr))
            return hr;
    }
    // Without the graph lock: the renderers finish their pause on streaming threads.
    WaitStates(kReadyWaitMs);
    return Stop();
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetState(LONG msTimeout, OAFilterState *pfs)
{
    if (!pfs)
        return E_POINTER;
    FILTER_STATE state;
    HRESULT hr = GetState(static_cast<DWORD>(msTimeout < 0 ? 0xFFFFFFFF : msTimeout), &state);
    *pfs = state;
    return hr;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE *State)
{
    if (!State)
        return E_POINTER;
    bool pending = false;
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        pending = m_runPending;
        *State = pending ? State_Running : m_state;
    }
    if (*State == State_Stopped)
        return S_OK;
    HRESULT hr = WaitStates(dwMilliSecsTimeout);
    if (pending) {
        // The cue thread starts the clock as soon as the renderers are ready.
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        if (m_runPending)
            return VFW_S_STATE_INTERMEDIATE;
    }
    return hr == VFW_S_STATE_INTERMEDIATE ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetClassID(CLSID *pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_FilterGraph;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetTypeInfoCount(UINT *pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

// ---- Events -------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE FilterGraph::Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2)
{
    return m_events.Notify(EventCode, EventParam1, EventParam2);
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetEventHandle(OAEVENT *hEvent)
{
    return m_events.GetEventHandle(hEvent);
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetEvent(LONG *lEventCode, LONG_PTR *lParam1, LONG_PTR *lParam2,
                                                LONG msTimeout)
{
    return m_events.GetEvent(lEventCode, lParam1, lParam2, msTimeout);
}

HRESULT STDMETHODCALLTYPE FilterGraph::WaitForCompletion(LONG msTimeout, LONG *pEvCode)
{
    return m_events.WaitForCompletion(msTimeout, pEvCode);
}

HRESULT STDMETHODCALLTYPE FilterGraph::CancelDefaultHandling(LONG lEvCode)
{
    return m_events.CancelDefaultHandling(lEvCode);
}

HRESULT STDMETHODCALLTYPE FilterGraph::RestoreDefaultHandling(LONG lEvCode)
{
    return m_events.RestoreDefaultHandling(lEvCode);
}

HRESULT STDMETHODCALLTYPE FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR)
{
    // No event the graph queues carries allocated parameters.
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData)
{
    return m_events.SetNotifyWindow(hwnd, lMsg, lInstanceData);
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetNotifyFlags(LONG lNoNotifyFlags)
{
    return m_events.SetNotifyFlags(lNoNotifyFlags);
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetNotifyFlags(LONG *lplNoNotifyFlags)
{
    return m_events.GetNotifyFlags(lplNoNotifyFlags);
}

} // namespace twds
