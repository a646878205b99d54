// Seeking and position: passed to the renderers, which pass it upstream, or, for a
// renderer that does not seek, to the first filter upstream of it that does (the
// source). Without any, the graph answers from its own stream time.
#include "filter_graph.h"

#include <set>

#include <uuids.h>
#include <vfwmsgs.h>

#include "graph/graph_pins.h"

namespace twds {
namespace {

const double kUnitsPerSecond = 10000000.0;

// The nearest filter at or upstream of `filter` that offers IMediaSeeking.
twcom::ComPtr<IMediaSeeking> SeekingAtOrAbove(IBaseFilter *filter, std::set<IBaseFilter *> &seen)
{
    if (!filter || !seen.insert(filter).second)
        return nullptr;
    if (auto s = twcom::QueryAs<IMediaSeeking>(filter, IID_IMediaSeeking))
        return s;
    for (auto &in : PinsOf(filter, PINDIR_INPUT)) {
        twcom::ComPtr<IPin> peer;
        if (SUCCEEDED(in->ConnectedTo(peer.put())) && peer)
            if (auto s = SeekingAtOrAbove(FilterOf(peer.get()).get(), seen))
                return s;
    }
    return nullptr;
}

} // namespace

std::vector<twcom::ComPtr<IMediaSeeking>> FilterGraph::SeekingTargets()
{
    std::vector<twcom::ComPtr<IMediaSeeking>> targets;
    std::set<IBaseFilter *> seen;
    for (Member &m : m_filters)
        if (IsRenderer(m.filter.get()))
            if (auto s = SeekingAtOrAbove(m.filter.get(), seen))
                targets.push_back(s);
    return targets;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetCapabilities(DWORD *pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    auto targets = SeekingTargets();
    // What every target can do; the graph itself always knows its position.
    DWORD caps = targets.empty() ? 0 : ~0u;
    for (auto &t : targets) {
        DWORD c = 0;
        if (SUCCEEDED(t->GetCapabilities(&c)))
            caps &= c;
        else
            caps = 0;
    }
    *pCapabilities = caps | AM_SEEKING_CanGetCurrentPos;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetDuration(LONGLONG *pDuration)
{
    if (!pDuration)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    // The longest of the streams.
    HRESULT result = E_NOTIMPL;
    *pDuration = 0;
    for (auto &t : SeekingTargets()) {
        LONGLONG d = 0;
        if (SUCCEEDED(t->GetDuration(&d))) {
            *pDuration = std::max(*pDuration, d);
            result = S_OK;
        }
    }
    return result;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetStopPosition(LONGLONG *pStop)
{
    if (!pStop)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    for (auto &t : SeekingTargets())
        if (SUCCEEDED(t->GetStopPosition(pStop)))
            return S_OK;
    return GetDuration(pStop);
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetCurrentPosition(LONGLONG *pCurrent)
{
    if (!pCurrent)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    // The stream time the graph has played, from where the last seek started.
    *pCurrent = StreamTime() + m_seekBase;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop,
                                                    DWORD dwStopFlags)
{
    DWORD currentKind = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
    DWORD stopKind = dwStopFlags & AM_SEEKING_PositioningBitsMask;
    if ((currentKind && !pCurrent) || (stopKind && !pStop))
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (currentKind == AM_SEEKING_NoPositioning && stopKind == AM_SEEKING_NoPositioning)
        return S_OK;
    auto targets = SeekingTargets();
    FILTER_STATE was = m_state;
    HRESULT result = S_OK;
    if (!targets.empty()) {
        // Seeking flushes the streams; the graph resumes in its state from a pause.
        if (was == State_Running)
            PauseLocked();
        for (auto &t : targets) {
            HRESULT hr = t->SetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags);
            if (FAILED(hr))
                result = hr;
        }
    } else if (currentKind != AM_SEEKING_AbsolutePositioning || *pCurrent != 0 || stopKind) {
        // Nothing seeks: only a rewind of the graph's own position is possible.
        return E_NOTIMPL;
    }
    if (SUCCEEDED(result) && currentKind != AM_SEEKING_NoPositioning) {
        LONGLONG target = currentKind == AM_SEEKING_AbsolutePositioning ? *pCurrent
                                                                        : StreamTime() + m_seekBase + *pCurrent;
        m_seekBase = target;
        m_pausedAt = 0;
        // The streams were flushed: each renderer completes anew.
        m_events.ResetCompletion();
        if (m_state != State_Stopped && m_clock) {
            REFERENCE_TIME now = 0;
            m_clock->GetTime(&now);
            m_start = now;
        }
    }
    if (was == State_Running && m_state == State_Paused)
        Run();
    return result;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetPositions(LONGLONG *pCurrent, LONGLONG *pStop)
{
    if (pCurrent)
        GetCurrentPosition(pCurrent);
    if (pStop && FAILED(GetStopPosition(pStop)))
        *pStop = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    if (pEarliest)
        *pEarliest = 0;
    if (pLatest)
        return GetDuration(pLatest);
    return S_OK;
}

// ---- IMediaPosition: the same in seconds -------------------------------------------

HRESULT STDMETHODCALLTYPE FilterGraph::get_Duration(REFTIME *plength)
{
    if (!plength)
        return E_POINTER;
    LONGLONG d = 0;
    HRESULT hr = GetDuration(&d);
    *plength = d / kUnitsPerSecond;
    return hr;
}

HRESULT STDMETHODCALLTYPE FilterGraph::put_CurrentPosition(REFTIME llTime)
{
    LONGLONG t = static_cast<LONGLONG>(llTime * kUnitsPerSecond);
    return SetPositions(&t, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT STDMETHODCALLTYPE FilterGraph::get_CurrentPosition(REFTIME *pllTime)
{
    if (!pllTime)
        return E_POINTER;
    LONGLONG t = 0;
    HRESULT hr = GetCurrentPosition(&t);
    *pllTime = t / kUnitsPerSecond;
    return hr;
}

HRESULT STDMETHODCALLTYPE FilterGraph::get_StopTime(REFTIME *pllTime)
{
    if (!pllTime)
        return E_POINTER;
    LONGLONG t = 0;
    HRESULT hr = GetStopPosition(&t);
    *pllTime = t / kUnitsPerSecond;
    return hr;
}

HRESULT STDMETHODCALLTYPE FilterGraph::put_StopTime(REFTIME llTime)
{
    LONGLONG t = static_cast<LONGLONG>(llTime * kUnitsPerSecond);
    return SetPositions(nullptr, AM_SEEKING_NoPositioning, &t, AM_SEEKING_AbsolutePositioning);
}

HRESULT STDMETHODCALLTYPE FilterGraph::get_PrerollTime(REFTIME *pllTime)
{
    if (!pllTime)
        return E_POINTER;
    *pllTime = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::put_PrerollTime(REFTIME)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::put_Rate(double dRate)
{
    return SetRate(dRate);
}

HRESULT STDMETHODCALLTYPE FilterGraph::get_Rate(double *pdRate)
{
    return GetRate(pdRate);
}

HRESULT STDMETHODCALLTYPE FilterGraph::CanSeekForward(LONG *pCanSeekForward)
{
    if (!pCanSeekForward)
        return E_POINTER;
    DWORD caps = 0;
    GetCapabilities(&caps);
    *pCanSeekForward = (caps & AM_SEEKING_CanSeekForwards) ? -1 : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::CanSeekBackward(LONG *pCanSeekBackward)
{
    if (!pCanSeekBackward)
        return E_POINTER;
    DWORD caps = 0;
    GetCapabilities(&caps);
    *pCanSeekBackward = (caps & AM_SEEKING_CanSeekBackwards) ? -1 : 0;
    return S_OK;
}

} // namespace twds
