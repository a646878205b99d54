#include <cstring>
#include <new>
#include <string>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "basefilter.h"
#include "basepin.h"
#include "enumerators.h"
#include "registration.h"

WCHAR *CopyWideName(LPCWSTR pName)
{
    if (!pName)
        return nullptr;
    size_t length = std::char_traits<WCHAR>::length(pName);
    WCHAR *pCopy = new (std::nothrow) WCHAR[length + 1];
    if (pCopy)
        memcpy(pCopy, pName, (length + 1) * sizeof(WCHAR));
    return pCopy;
}

void CopyWideTruncated(WCHAR *pDest, size_t cch, LPCWSTR pName)
{
    size_t n = 0;
    if (pName)
        for (; n + 1 < cch && pName[n]; n++)
            pDest[n] = pName[n];
    pDest[n] = 0;
}

CBaseFilter::CBaseFilter(const char *pName, LPUNKNOWN pUnk, CCritSec *pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk), m_State(State_Stopped), m_pClock(nullptr), m_tStart(0), m_clsid(clsid),
      m_pLock(pLock), m_pName(nullptr), m_pGraph(nullptr), m_pSink(nullptr), m_PinVersion(1)
{
}

CBaseFilter::~CBaseFilter()
{
    delete[] m_pName;
    if (m_pClock)
        m_pClock->Release();
}

STDMETHODIMP CBaseFilter::InnerQueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
        return HandOutInterface(static_cast<IBaseFilter *>(this), ppv);
    if (riid == IID_IAMovieSetup)
        return HandOutInterface(static_cast<IAMovieSetup *>(this), ppv);
    return CUnknown::InnerQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::CurrentStreamTime(REFERENCE_TIME *pStreamTime)
{
    if (!pStreamTime)
        return E_POINTER;
    if (!m_pClock)
        return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    HRESULT hr = m_pClock->GetTime(&now);
    if (FAILED(hr))
        return hr;
    *pStreamTime = now - m_tStart;
    return S_OK;
}

int CBaseFilter::PinListVersion()
{
    return m_PinVersion;
}

const FilterSetupRecord *CBaseFilter::FilterSetupData()
{
    return nullptr;
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID *pClsID)
{
    if (!pClsID)
        return E_POINTER;
    *pClsID = m_clsid;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Stop()
{
    CAutoLock lock(m_pLock);
    HRESULT hr = S_OK;
    if (m_State != State_Stopped) {
        for (int i = 0; i < PinCount(); i++) {
            CBasePin *pPin = PinAt(i);
            if (pPin && pPin->IsConnected()) {
                HRESULT hrPin = pPin->Deactivate();
                if (FAILED(hrPin) && SUCCEEDED(hr))
                    hr = hrPin;
            }
        }
    }
    m_State = State_Stopped;
    return hr;
}

STDMETHODIMP CBaseFilter::Pause()
{
    CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        for (int i = 0; i < PinCount(); i++) {
            CBasePin *pPin = PinAt(i);
            if (pPin && pPin->IsConnected()) {
                HRESULT hr = pPin->Activate();
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart)
{
    CAutoLock lock(m_pLock);
    m_tStart = tStart;
    if (m_State == State_Stopped) {
        // Through the interface, so that a derived Pause runs.
        HRESULT hr = static_cast<IBaseFilter *>(this)->Pause();
        if (FAILED(hr))
            return hr;
    }
    if (m_State != State_Running) {
        for (int i = 0; i < PinCount(); i++) {
            CBasePin *pPin = PinAt(i);
            if (pPin && pPin->IsConnected()) {
                HRESULT hr = pPin->OnRun(tStart);
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    m_State = State_Running;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD, FILTER_STATE *State)
{
    if (!State)
        return E_POINTER;
    *State = m_State;
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock *pClock)
{
    CAutoLock lock(m_pLock);
    if (pClock)
        pClock->AddRef();
    if (m_pClock)
        m_pClock->Release();
    m_pClock = pClock;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock **pClock)
{
    if (!pClock)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    *pClock = m_pClock;
    if (m_pClock)
        m_pClock->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR Id, IPin **ppPin)
{
    if (!ppPin)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (Id) {
        for (int i = 0; i < PinCount(); i++) {
            CBasePin *pPin = PinAt(i);
            if (!pPin)
                continue;
            LPCWSTR pName = pPin->Name() ? pPin->Name() : OLESTR("");
            size_t n = 0;
            while (pName[n] && pName[n] == Id[n])
                n++;
            if (pName[n] == Id[n]) {
                *ppPin = static_cast<IPin *>(pPin);
                (*ppPin)->AddRef();
                return S_OK;
            }
        }
    }
    *ppPin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO *pInfo)
{
    if (!pInfo)
        return E_POINTER;
    CopyWideTruncated(pInfo->achName, MAX_FILTER_NAME, m_pName);
    pInfo->pGraph = m_pGraph;
    if (m_pGraph)
        m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName)
{
    CAutoLock lock(m_pLock);
    m_pGraph = pGraph;
    IMediaEventSink *pSink = nullptr;
    if (pGraph && SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void **>(&pSink))) &&
        pSink) {
        // The graph owns the filter; holding a reference back would make a cycle.
        pSink->Release();
    } else {
        pSink = nullptr;
    }
    m_pSink = pSink;
    delete[] m_pName;
    m_pName = CopyWideName(pName);
    return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR *pVendorInfo)
{
    if (!pVendorInfo)
        return E_POINTER;
    return E_NOTIMPL;
}

HRESULT CBaseFilter::PostGraphEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2)
{
    IMediaEventSink *pSink = m_pSink;
    if (!pSink)
        return E_NOTIMPL;
    if (EventCode == EC_COMPLETE)
        EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter *>(this));
    return pSink->Notify(EventCode, EventParam1, EventParam2);
}

STDMETHODIMP CBaseFilter::Register()
{
    const FilterSetupRecord *pSetup = FilterSetupData();
    if (!pSetup)
        return S_FALSE;
    CoInitialize(nullptr);
    IFilterMapper *pMapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void **>(&pMapper));
    if (SUCCEEDED(hr)) {
        RegisterFilterWithMapper(pSetup, pMapper, TRUE);
        pMapper->Release();
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    return S_OK;
}

STDMETHODIMP CBaseFilter::Unregister()
{
    const FilterSetupRecord *pSetup = FilterSetupData();
    if (!pSetup)
        return S_FALSE;
    CoInitialize(nullptr);
    IFilterMapper *pMapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void **>(&pMapper));
    if (SUCCEEDED(hr)) {
        hr = RegisterFilterWithMapper(pSetup, pMapper, FALSE);
        pMapper->Release();
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        hr = S_OK;
    return hr;
}
