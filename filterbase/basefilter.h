// The IBaseFilter machinery: state machine, reference clock, graph membership,
// pin lookup and event posting. A derived filter supplies its pins.
#pragma once
#include <atomic>

#include <strmif.h>
#include "classfactory.h"
#include "combase.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    CBaseFilter(const char *pName, LPUNKNOWN pUnk, CCritSec *pLock, REFCLSID clsid);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP InnerQueryInterface(REFIID riid, void **ppv) override;

    // Framework operations of the filter, in slot order.
    virtual HRESULT CurrentStreamTime(REFERENCE_TIME *pStreamTime);
    virtual int PinListVersion();
    virtual int PinCount() = 0;
    virtual CBasePin *PinAt(int n) = 0; // not AddRef'd
    virtual const FilterSetupRecord *FilterSetupData();

    // IPersist
    STDMETHODIMP GetClassID(CLSID *pClsID) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMSecs, FILTER_STATE *State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock *pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock **pClock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins **ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin **ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO *pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR *pVendorInfo) override;
    // IAMovieSetup
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    // Sends an event to the graph's event sink; E_NOTIMPL outside a graph.
    HRESULT PostGraphEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);

    bool IsStopped() const { return m_State == State_Stopped; }
    bool IsActive() const { return m_State != State_Stopped; }

protected:
    // A filter that changes its set of pins bumps the version so enumerators resynchronise.
    void IncrementPinVersion() { m_PinVersion++; }

    // Read without a lock by streaming threads, so kept atomic.
    std::atomic<FILTER_STATE> m_State;
    IReferenceClock *m_pClock;
    REFERENCE_TIME m_tStart;
    CLSID m_clsid;
    CCritSec *m_pLock;
    WCHAR *m_pName;
    IFilterGraph *m_pGraph;                    // not reference-counted
    std::atomic<IMediaEventSink *> m_pSink;    // not reference-counted
    std::atomic<LONG> m_PinVersion;
};

// A heap copy of a wide string (delete[]), or null when out of memory or given null.
WCHAR *CopyWideName(LPCWSTR pName);
// Copies at most cch - 1 characters of pName (null counts as empty) and terminates.
void CopyWideTruncated(WCHAR *pDest, size_t cch, LPCWSTR pName);
