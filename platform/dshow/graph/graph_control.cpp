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
// How long a Run waits for every renderer's first sample before the filters run
// regardless (a renderer whose stream never delivers must not hold up the others).
const auto kRunWaitLimit = std::chrono::seconds(5);

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
    if (m_state != State_Running || m_runPending || !m_clock)
        return m_pausedAt;
    REFERENCE_TIME now = 0;
    m_clock->GetTime(&now);
    return std::max<REFERENCE_TIME>(0, now - m_start);
}

HRESULT FilterGraph::PauseLocked()
{
    ++m_runGeneration;
    if (m_state == State_Paused)
        return S_OK;
    if (m_state == State_Stopped) {
        HRESULT hr = EnsureClock();
        if (FAILED(hr))
            return hr;
        m_pausedAt = 0;
        // A new run (whether Run or Pause starts it): EC_COMPLETE once every
        // renderer has completed.
        m_events.StartRun(CountRenderers());
    } else {
        m_pausedAt = StreamTime();
    }
    m_runPending = false;
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
    ++m_runGeneration;
    m_runPending = false;
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

HRESULT STDMETHODCALLTYPE FilterGraph::Run()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state == State_Running)
        return S_OK;
    HRESULT hr = PauseLocked();
    if (FAILED(hr))
        return hr;
    bool ready = true;
    for (Member &m : m_filters) {
        FILTER_STATE state;
        if (m.filter->GetState(0, &state) == VFW_S_STATE_INTERMEDIATE)
            ready = false;
    }
    if (!ready) {
        // S_FALSE: a renderer is still without data (a stream buffering). The
        // graph is running; its filters run, with stream time going on from
        // the pause, once every renderer has its first sample, so that no
        // stream time passes while they wait and their first samples are on time.
        m_state = State_Running;
        m_runPending = true;
        uint64_t generation = m_runGeneration;
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread starter([this, generation, done] {
            RunWhenReady(generation);
            *done = true;
        });
        std::vector<std::thread> finished;
        {
            std::lock_guard<std::mutex> hold(m_startersLock);
            for (auto it = m_starters.begin(); it != m_starters.end();) {
                if (*it->done) {
                    finished.push_back(std::move(it->thread));
                    it = m_starters.erase(it);
                } else {
                    ++it;
                }
            }
            m_starters.push_back({std::move(starter), done});
        }
        for (std::thread &t : finished)
            t.join();
        return S_FALSE;
    }
    // Stream time continues where the pause left it.
    REFERENCE_TIME now = 0;
    if (m_clock)
        m_clock->GetTime(&now);
    m_start = now + kRunDelay - m_pausedAt;
    return RunLocked(m_start);
}

void FilterGraph::RunWhenReady(uint64_t generation)
{
    auto deadline = std::chrono::steady_clock::now() + kRunWaitLimit;
    for (;;) {
        // Without the graph lock: the renderers finish their pause on streaming threads.
        bool ready = WaitStates(100) == S_OK;
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        if (generation != m_runGeneration || !m_runPending)
            return;     // paused, stopped or run again meanwhile
        if (ready || std::chrono::steady_clock::now() >= deadline) {
            m_runPending = false;
            REFERENCE_TIME now = 0;
            if (m_clock)
                m_clock->GetTime(&now);
            m_start = now + kRunDelay - m_pausedAt;
            RunLocked(m_start);
            return;
        }
    }
}

HRESULT STDMETHODCALLTYPE FilterGraph::Run(REFERENCE_TIME tStart)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state == State_Running)
        return S_OK;
    HRESULT hr = PauseLocked();
    if (FAILED(hr))
        return hr;
    m_start = tStart;
    return RunLocked(tStart);
}

HRESULT STDMETHODCALLTYPE FilterGraph::Pause()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
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
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        *State = m_state;
    }
    if (*State == State_Stopped)
        return S_OK;
    HRESULT hr = WaitStates(dwMilliSecsTimeout);
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
