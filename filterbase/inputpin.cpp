#include <cstring>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "basefilter.h"
#include "inputpin.h"

CBaseInputPin::CBaseInputPin(const char *pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr,
                             LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_INPUT), m_pAllocator(nullptr), m_bReadOnly(false),
      m_bFlushing(false), m_pReceivedType(nullptr)
{
    memset(&SampleProperties, 0, sizeof SampleProperties);
}

CBaseInputPin::~CBaseInputPin()
{
    if (m_pAllocator)
        m_pAllocator->Release();
    DeleteMediaTypeBlock(m_pReceivedType);
}

STDMETHODIMP CBaseInputPin::InnerQueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IMemInputPin)
        return HandOutInterface(static_cast<IMemInputPin *>(this), ppv);
    return CBasePin::InnerQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::CreateSystemAllocator(IMemAllocator **ppAllocator)
{
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void **>(ppAllocator));
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator **ppAllocator)
{
    if (!ppAllocator)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!m_pAllocator) {
        IMemAllocator *pAllocator = nullptr;
        HRESULT hr = CreateSystemAllocator(&pAllocator);
        if (FAILED(hr)) {
            *ppAllocator = nullptr;
            return hr;
        }
        m_pAllocator = pAllocator;
    }
    m_pAllocator->AddRef();
    *ppAllocator = m_pAllocator;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator *pAllocator, BOOL bReadOnly)
{
    CAutoLock lock(m_pLock);
    if (!pAllocator)
        return E_POINTER;
    pAllocator->AddRef();
    IMemAllocator *pOld = m_pAllocator;
    m_pAllocator = pAllocator;
    if (pOld)
        pOld->Release();
    m_bReadOnly = static_cast<BYTE>(bReadOnly) != 0;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *)
{
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::StreamingStatus()
{
    if (m_pFilter->IsStopped())
        return VFW_E_WRONG_STATE;
    if (m_bFlushing)
        return S_FALSE;
    if (m_bRunTimeError)
        return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::Receive(IMediaSample *pSample)
{
    if (!pSample)
        return E_POINTER;
    HRESULT hr = StreamingStatus();
    if (hr != S_OK)
        return hr;

    // The type copy of the previous sample is no longer described by SampleProperties.
    DeleteMediaTypeBlock(m_pReceivedType);
    m_pReceivedType = nullptr;

    IMediaSample2 *pSample2 = nullptr;
    if (SUCCEEDED(pSample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&pSample2))) && pSample2) {
        hr = pSample2->GetProperties(sizeof SampleProperties, reinterpret_cast<BYTE *>(&SampleProperties));
        pSample2->Release();
        if (FAILED(hr))
            return hr;
    } else {
        memset(&SampleProperties, 0, sizeof SampleProperties);
        SampleProperties.cbData = sizeof SampleProperties;
        if (pSample->IsDiscontinuity() == S_OK)
            SampleProperties.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        if (pSample->IsPreroll() == S_OK)
            SampleProperties.dwSampleFlags |= AM_SAMPLE_PREROLL;
        if (pSample->IsSyncPoint() == S_OK)
            SampleProperties.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        if (SUCCEEDED(pSample->GetTime(&SampleProperties.tStart, &SampleProperties.tStop)))
            SampleProperties.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
        AM_MEDIA_TYPE *pType = nullptr;
        if (pSample->GetMediaType(&pType) == S_OK) {
            SampleProperties.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
            SampleProperties.pMediaType = pType;
            m_pReceivedType = pType;
        } else {
            DeleteMediaTypeBlock(pType);
        }
        pSample->GetPointer(&SampleProperties.pbBuffer);
        SampleProperties.lActual = pSample->GetActualDataLength();
        SampleProperties.cbBuffer = pSample->GetSize();
    }

    if ((SampleProperties.dwSampleFlags & AM_SAMPLE_TYPECHANGED) &&
        VerifyMediaType(SampleProperties.pMediaType) != S_OK) {
        m_bRunTimeError = true;
        static_cast<IPin *>(this)->EndOfStream();
        m_pFilter->PostGraphEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
        return VFW_E_INVALIDMEDIATYPE;
    }
    return S_OK;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample **pSamples, LONG nSamples, LONG *nSamplesProcessed)
{
    if (!pSamples)
        return E_POINTER;
    LONG processed = 0;
    HRESULT hr = S_OK;
    for (LONG i = 0; i < nSamples; i++) {
        // Through the interface, so that a derived Receive runs.
        hr = static_cast<IMemInputPin *>(this)->Receive(pSamples[i]);
        if (hr != S_OK)
            break;
        processed++;
    }
    if (nSamplesProcessed)
        *nSamplesProcessed = processed;
    return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock()
{
    int pins = m_pFilter->PinCount();
    if (pins < 1)
        return S_OK;
    int outputs = 0;
    for (int i = 0; i < pins; i++) {
        CBasePin *pPin = m_pFilter->PinAt(i);
        if (!pPin)
            continue;
        PIN_DIRECTION dir = PINDIR_INPUT;
        HRESULT hr = pPin->QueryDirection(&dir);
        if (FAILED(hr))
            return hr;
        if (dir != PINDIR_OUTPUT)
            continue;
        IPin *pPeer = nullptr;
        if (FAILED(pPin->ConnectedTo(&pPeer)) || !pPeer)
            continue;
        IMemInputPin *pPeerInput = nullptr;
        hr = pPeer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&pPeerInput));
        pPeer->Release();
        if (FAILED(hr) || !pPeerInput)
            return S_OK;
        hr = pPeerInput->ReceiveCanBlock();
        pPeerInput->Release();
        if (hr != S_FALSE)
            return S_OK;
        outputs++;
    }
    return outputs > 0 ? S_FALSE : S_OK;
}

STDMETHODIMP CBaseInputPin::BeginFlush()
{
    CAutoLock lock(m_pLock);
    m_bFlushing = true;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush()
{
    CAutoLock lock(m_pLock);
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT CBaseInputPin::Deactivate()
{
    m_bRunTimeError = false;
    if (!m_pAllocator)
        return VFW_E_NO_ALLOCATOR;
    m_bFlushing = false;
    return m_pAllocator->Decommit();
}

HRESULT CBaseInputPin::ReleaseConnection()
{
    if (m_pAllocator) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr))
            return hr;
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    return S_OK;
}

CRenderedInputPin::CRenderedInputPin(const char *pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr,
                                     LPCWSTR pName)
    : CBaseInputPin(pObjectName, pFilter, pLock, phr, pName), m_bAtEndOfStream(FALSE), m_bCompleteNotified(FALSE)
{
}

HRESULT CRenderedInputPin::Activate()
{
    m_bAtEndOfStream = FALSE;
    m_bCompleteNotified = FALSE;
    return S_OK;
}

HRESULT CRenderedInputPin::OnRun(REFERENCE_TIME)
{
    m_bCompleteNotified = FALSE;
    if (m_bAtEndOfStream)
        SignalCompletion();
    return S_OK;
}

STDMETHODIMP CRenderedInputPin::EndOfStream()
{
    HRESULT hr = StreamingStatus();
    if (hr == S_OK && !m_bAtEndOfStream.exchange(TRUE)) {
        FILTER_STATE state = State_Stopped;
        static_cast<IBaseFilter *>(m_pFilter)->GetState(0, &state);
        if (state == State_Running)
            SignalCompletion();
    }
    return hr;
}

STDMETHODIMP CRenderedInputPin::EndFlush()
{
    CAutoLock lock(m_pLock);
    m_bAtEndOfStream = FALSE;
    m_bCompleteNotified = FALSE;
    return CBaseInputPin::EndFlush();
}

void CRenderedInputPin::SignalCompletion()
{
    // Exchange, so that OnRun and EndOfStream on two threads still post once.
    if (!m_bCompleteNotified.exchange(TRUE))
        m_pFilter->PostGraphEvent(EC_COMPLETE, S_OK, 0);
}
