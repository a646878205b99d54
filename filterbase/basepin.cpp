#include <new>

#include <vfwmsgs.h>

#include "basefilter.h"
#include "basepin.h"
#include "enumerators.h"

namespace {

bool IsTypeRefusal(HRESULT hr)
{
    return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

} // namespace

CBasePin::CBasePin(const char *pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, nullptr), m_pName(CopyWideName(pName)), m_Connected(nullptr), m_dir(dir),
      m_pLock(pLock), m_bRunTimeError(false), m_bCanReconnectWhenActive(false), m_bTryMyTypesFirst(false),
      m_pFilter(pFilter), m_pQSink(nullptr), m_TypeVersion(1), m_tStart(0), m_tStop(0x7FFFFFFFFFFFFFFFLL),
      m_dRate(1.0)
{
}

CBasePin::~CBasePin()
{
    // A pin destroyed while connected still owns its reference on the peer.
    ClearPeer();
    delete[] m_pName;
}

void CBasePin::ClearPeer()
{
    IPin *pPeer = m_Connected.exchange(nullptr);
    if (pPeer)
        pPeer->Release();
}

STDMETHODIMP CBasePin::InnerQueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IPin)
        return HandOutInterface(static_cast<IPin *>(this), ppv);
    if (riid == IID_IQualityControl)
        return HandOutInterface(static_cast<IQualityControl *>(this), ppv);
    return CUnknown::InnerQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::InnerAddRef()
{
    return m_pFilter->AddRef();
}

STDMETHODIMP_(ULONG) CBasePin::InnerRelease()
{
    return m_pFilter->Release();
}

int CBasePin::MediaTypeListVersion()
{
    return m_TypeVersion;
}

HRESULT CBasePin::Activate()
{
    return S_OK;
}

HRESULT CBasePin::Deactivate()
{
    return S_OK;
}

HRESULT CBasePin::OnRun(REFERENCE_TIME)
{
    return S_OK;
}

HRESULT CBasePin::AdoptMediaType(const AM_MEDIA_TYPE *pmt)
{
    return m_mt.Assign(*pmt);
}

HRESULT CBasePin::VerifyPeer(IPin *pPeer)
{
    PIN_DIRECTION peerDir = PINDIR_INPUT;
    HRESULT hr = pPeer->QueryDirection(&peerDir);
    // A peer that cannot say which way it faces is not connected to.
    if (FAILED(hr))
        return hr;
    return peerDir == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::ReleaseConnection()
{
    return S_OK;
}

HRESULT CBasePin::FinishConnection(IPin *)
{
    return S_OK;
}

HRESULT CBasePin::PreferredMediaType(int, MediaTypeValue *)
{
    return E_UNEXPECTED;
}

STDMETHODIMP CBasePin::Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt)
{
    if (!pReceivePin)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    if (!m_pFilter->IsStopped() && !m_bCanReconnectWhenActive)
        return VFW_E_NOT_STOPPED;
    HRESULT hr = NegotiateMediaType(pReceivePin, pmt);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::NegotiateMediaType(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt)
{
    if (pmt && !IsPartialType(pmt))
        return TryConnectWithType(pReceivePin, pmt);

    HRESULT hrFailure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; pass++) {
        IEnumMediaTypes *pEnum = nullptr;
        HRESULT hr = (pass == static_cast<int>(m_bTryMyTypesFirst)) ? pReceivePin->EnumMediaTypes(&pEnum)
                                                                     : EnumMediaTypes(&pEnum);
        if (FAILED(hr) || !pEnum)
            continue;
        hr = TryTypeList(pReceivePin, pmt, pEnum);
        pEnum->Release();
        if (SUCCEEDED(hr))
            return S_OK;
        if (!IsTypeRefusal(hr))
            hrFailure = hr;
    }
    return hrFailure;
}

HRESULT CBasePin::TryTypeList(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt, IEnumMediaTypes *pEnum)
{
    HRESULT hr = pEnum->Reset();
    if (FAILED(hr))
        return hr;
    HRESULT hrRemembered = S_OK;
    for (;;) {
        AM_MEDIA_TYPE *pFetched = nullptr;
        ULONG fetched = 0;
        hr = pEnum->Next(1, &pFetched, &fetched);
        if (hr != S_OK || fetched != 1 || !pFetched) {
            DeleteMediaTypeBlock(pFetched);
            return FAILED(hrRemembered) ? hrRemembered : VFW_E_NO_ACCEPTABLE_TYPES;
        }
        HRESULT hrAttempt = VFW_E_NO_ACCEPTABLE_TYPES;
        if (!pmt || MatchesPartialType(pFetched, pmt)) {
            hrAttempt = TryConnectWithType(pReceivePin, pFetched);
            if (FAILED(hrAttempt) && SUCCEEDED(hrRemembered) && !IsTypeRefusal(hrAttempt))
                hrRemembered = hrAttempt;
        }
        DeleteMediaTypeBlock(pFetched);
        if (hrAttempt == S_OK)
            return S_OK;
    }
}

HRESULT CBasePin::TryConnectWithType(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt)
{
    HRESULT hr = VerifyPeer(pReceivePin);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    hr = VerifyMediaType(pmt);
    if (hr == S_OK) {
        pReceivePin->AddRef();
        m_Connected = pReceivePin;
        hr = AdoptMediaType(pmt);
        if (SUCCEEDED(hr))
            hr = pReceivePin->ReceiveConnection(static_cast<IPin *>(this), pmt);
        if (SUCCEEDED(hr)) {
            hr = FinishConnection(pReceivePin);
            if (SUCCEEDED(hr))
                return hr;
            pReceivePin->Disconnect();
        }
    } else if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) {
        hr = VFW_E_TYPE_NOT_ACCEPTED;
    }
    ReleaseConnection();
    ClearPeer();
    return hr;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt)
{
    if (!pConnector || !pmt)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    if (!m_pFilter->IsStopped() && !m_bCanReconnectWhenActive)
        return VFW_E_NOT_STOPPED;
    HRESULT hr = VerifyPeer(pConnector);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    hr = VerifyMediaType(pmt);
    if (hr != S_OK) {
        ReleaseConnection();
        if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG)
            hr = VFW_E_TYPE_NOT_ACCEPTED;
        return hr;
    }
    pConnector->AddRef();
    m_Connected = pConnector;
    hr = AdoptMediaType(pmt);
    if (SUCCEEDED(hr))
        hr = FinishConnection(pConnector);
    if (SUCCEEDED(hr))
        return S_OK;
    ClearPeer();
    ReleaseConnection();
    return hr;
}

STDMETHODIMP CBasePin::Disconnect()
{
    CAutoLock lock(m_pLock);
    if (!m_pFilter->IsStopped())
        return VFW_E_NOT_STOPPED;
    if (!IsConnected())
        return S_FALSE;
    HRESULT hr = ReleaseConnection();
    if (FAILED(hr))
        return hr;
    ClearPeer();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin **pPin)
{
    if (!pPin)
        return E_POINTER;
    IPin *pPeer = m_Connected;
    *pPin = pPeer;
    if (!pPeer)
        return VFW_E_NOT_CONNECTED;
    pPeer->AddRef();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE *pmt)
{
    if (!pmt)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (IsConnected())
        return CopyMediaTypeContents(pmt, &m_mt);
    ResetMediaType(pmt);
    return VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO *pInfo)
{
    if (!pInfo)
        return E_POINTER;
    pInfo->pFilter = m_pFilter ? static_cast<IBaseFilter *>(m_pFilter) : nullptr;
    if (pInfo->pFilter)
        pInfo->pFilter->AddRef();
    CopyWideTruncated(pInfo->achName, MAX_PIN_NAME, m_pName);
    pInfo->dir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION *pPinDir)
{
    if (!pPinDir)
        return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR *Id)
{
    if (!Id)
        return E_POINTER;
    return DuplicateWideString(m_pName, Id);
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE *pmt)
{
    if (!pmt)
        return E_POINTER;
    HRESULT hr = VerifyMediaType(pmt);
    return FAILED(hr) ? S_FALSE : hr;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin **, ULONG *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CBasePin::EndOfStream()
{
    return S_OK;
}

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter *pSender, Quality)
{
    if (!pSender)
        return E_POINTER;
    return S_OK;
}

STDMETHODIMP CBasePin::SetSink(IQualityControl *piqc)
{
    CAutoLock lock(m_pLock);
    m_pQSink = piqc;
    return S_OK;
}
