// The IPin connection protocol and the bookkeeping of one pin.
#pragma once
#include <atomic>

#include <strmif.h>
#include "combase.h"
#include "mediatype.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(const char *pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName,
             PIN_DIRECTION dir);
    ~CBasePin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP InnerQueryInterface(REFIID riid, void **ppv) override;
    // A pin lives and dies with its filter.
    STDMETHODIMP_(ULONG) InnerAddRef() override;
    STDMETHODIMP_(ULONG) InnerRelease() override;

    // Framework operations of the pin, in slot order.
    virtual int MediaTypeListVersion();
    virtual HRESULT Activate();
    virtual HRESULT Deactivate();
    virtual HRESULT OnRun(REFERENCE_TIME tStart);
    virtual HRESULT VerifyMediaType(const AM_MEDIA_TYPE *pmt) = 0;
    virtual HRESULT AdoptMediaType(const AM_MEDIA_TYPE *pmt);
    virtual HRESULT VerifyPeer(IPin *pPeer);
    virtual HRESULT ReleaseConnection();
    virtual HRESULT FinishConnection(IPin *pPeer);
    virtual HRESULT PreferredMediaType(int iPosition, MediaTypeValue *pMediaType);

    // IPin
    STDMETHODIMP Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt) override;
    STDMETHODIMP ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin **pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE *pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO *pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION *pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR *Id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE *pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes **ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin **apPin, ULONG *nPin) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override = 0;
    STDMETHODIMP EndFlush() override = 0;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
    // IQualityControl
    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl *piqc) override;

    bool IsConnected() const { return m_Connected.load() != nullptr; }
    LPCWSTR Name() const { return m_pName; }
    CBaseFilter *Filter() const { return m_pFilter; }

protected:
    HRESULT NegotiateMediaType(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt);
    HRESULT TryTypeList(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt, IEnumMediaTypes *pEnum);
    HRESULT TryConnectWithType(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt);
    void ClearPeer();

    // Who touches what: m_pName, m_dir, m_pLock, m_pFilter and the two reconnection
    // flags are set in the constructor and constant after. *m_pLock (the filter's
    // state lock, shared by its pins) guards connecting and disconnecting, m_mt and
    // m_pQSink. The atomics are read without a lock. The segment (m_tStart, m_tStop,
    // m_dRate) is the streaming thread's, which calls NewSegment in stream order.
    WCHAR *m_pName;
    std::atomic<IPin *> m_Connected; // reference held; changed under *m_pLock, read without a lock by ConnectedTo
    PIN_DIRECTION m_dir;
    CCritSec *m_pLock;
    std::atomic<bool> m_bRunTimeError;
    bool m_bCanReconnectWhenActive;
    bool m_bTryMyTypesFirst;
    CBaseFilter *m_pFilter;       // not reference-counted
    IQualityControl *m_pQSink;    // not reference-counted
    std::atomic<LONG> m_TypeVersion;
    MediaTypeValue m_mt;
    REFERENCE_TIME m_tStart;
    REFERENCE_TIME m_tStop;
    double m_dRate;
};
