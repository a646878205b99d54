#include "filter.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <objbase.h>
#include <vfwmsgs.h>

#include "kit/enumerators.h"

namespace twds::kit {

HRESULT STDMETHODCALLTYPE Filter::GetClassID(CLSID *pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = m_clsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::Stop()
{
    std::lock_guard<std::recursive_mutex> transition(m_transition);
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        FILTER_STATE from = m_state;
        if (from == State_Stopped)
            return S_OK;
        // Set first, so that streaming threads woken by OnStop see it.
        m_state = State_Stopped;
        HRESULT hr = OnStop();
        if (FAILED(hr)) {
            m_state = from;
            return hr;
        }
    }
    AfterStop();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::Pause()
{
    std::lock_guard<std::recursive_mutex> transition(m_transition);
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    FILTER_STATE from = m_state;
    if (from == State_Paused)
        return S_OK;
    // Set first, so that streaming started by OnPause sees the new state.
    m_state = State_Paused;
    HRESULT hr = OnPause(from);
    if (FAILED(hr)) {
        m_state = from;
        return hr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::Run(REFERENCE_TIME tStart)
{
    std::lock_guard<std::recursive_mutex> transition(m_transition);
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state == State_Running)
        return S_OK;
    if (m_state == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    m_start = tStart;
    m_state = State_Running;
    HRESULT hr = OnRun(tStart);
    if (FAILED(hr)) {
        m_state = State_Paused;
        return hr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE *State)
{
    if (!State)
        return E_POINTER;
    *State = m_state;
    if (*State != State_Paused)
        return S_OK;
    return WaitStateComplete(dwMilliSecsTimeout);
}

HRESULT STDMETHODCALLTYPE Filter::SetSyncSource(IReferenceClock *pClock)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    m_clock = twcom::ComPtr<IReferenceClock>::Share(pClock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::GetSyncSource(IReferenceClock **pClock)
{
    if (!pClock)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    m_clock.copy_to(pClock);
    return S_OK;
}

twcom::ComPtr<IReferenceClock> Filter::Clock()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return m_clock;
}

HRESULT STDMETHODCALLTYPE Filter::EnumPins(IEnumPins **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    std::vector<twcom::ComPtr<IPin>> pins;
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        for (IPin *pin : Pins())
            pins.push_back(twcom::ComPtr<IPin>::Share(pin));
    }
    return InterfaceEnum<IEnumPins, IPin>::Create(std::move(pins), ppEnum);
}

HRESULT STDMETHODCALLTYPE Filter::FindPin(LPCWSTR Id, IPin **ppPin)
{
    if (!ppPin)
        return E_POINTER;
    *ppPin = nullptr;
    if (!Id)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    for (IPin *pin : Pins()) {
        LPWSTR id = nullptr;
        if (FAILED(pin->QueryId(&id)) || !id)
            continue;
        bool same = std::u16string(reinterpret_cast<const char16_t *>(id)) == reinterpret_cast<const char16_t *>(Id);
        CoTaskMemFree(id);
        if (same) {
            pin->AddRef();
            *ppPin = pin;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE Filter::QueryFilterInfo(FILTER_INFO *pInfo)
{
    if (!pInfo)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    size_t n = std::min<size_t>(m_name.size(), MAX_FILTER_NAME - 1);
    std::memcpy(pInfo->achName, m_name.data(), n * sizeof(WCHAR));
    pInfo->achName[n] = 0;
    pInfo->pGraph = m_graph;
    if (m_graph)
        m_graph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    m_graph = pGraph;
    m_name = pName ? std::u16string(reinterpret_cast<const char16_t *>(pName)) : std::u16string();
    IMediaEventSink *sink = nullptr;
    if (pGraph) {
        // The sink is the graph's own interface; the filter counts on the graph
        // outliving its membership, as it does for m_graph.
        if (SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void **>(&sink))))
            sink->Release();
    }
    std::lock_guard<std::mutex> holdSink(m_sinkLock);
    m_sink = sink;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::QueryVendorInfo(LPWSTR *pVendorInfo)
{
    if (pVendorInfo)
        *pVendorInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT Filter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    std::lock_guard<std::mutex> hold(m_sinkLock);
    if (!m_sink)
        return S_FALSE;
    return m_sink->Notify(code, param1, param2);
}

} // namespace twds::kit
