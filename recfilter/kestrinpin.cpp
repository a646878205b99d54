#include "kestrinpin.h"

#include "ckestrin.h"

namespace {

const GUID *const kVideoSubtypes[] = {&MEDIASUBTYPE_WMV1, &MEDIASUBTYPE_WMV2, &MEDIASUBTYPE_WMV3};
const GUID *const kAudioSubtypes[] = {&MEDIASUBTYPE_WMAudioV9, &MEDIASUBTYPE_WMAudioV8};

template <size_t N>
bool HasSubtype(const GUID *const (&list)[N], const GUID &subtype)
{
    for (const GUID *g : list)
        if (*g == subtype)
            return true;
    return false;
}

} // namespace

CKestrinInputPin::CKestrinInputPin(CKestrin *pKestrin, LPUNKNOWN, CBaseFilter *pFilter, CCritSec *pLock,
                                   CCritSec *pReceiveLock, HRESULT *phr, bool bAudio)
    : CRenderedInputPin(nullptr, pFilter, pLock, phr, bAudio ? OLESTR("Audio in") : OLESTR("Video in")),
      m_pKestrin(pKestrin), m_pReceiveLock(pReceiveLock), m_bAudio(bAudio)
{
}

HRESULT CKestrinInputPin::VerifyMediaType(const AM_MEDIA_TYPE *pmt)
{
    if (!pmt)
        return E_POINTER;
    if (m_bAudio)
        return pmt->majortype == MEDIATYPE_Audio && HasSubtype(kAudioSubtypes, pmt->subtype) ? S_OK : E_INVALIDARG;
    return pmt->majortype == MEDIATYPE_Video && HasSubtype(kVideoSubtypes, pmt->subtype) ? S_OK : E_INVALIDARG;
}

HRESULT CKestrinInputPin::ReleaseConnection()
{
    return CBaseInputPin::ReleaseConnection();
}

STDMETHODIMP CKestrinInputPin::QueryInternalConnections(IPin **, ULONG *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CKestrinInputPin::EndOfStream()
{
    CAutoLock lock(m_pReceiveLock);
    return CRenderedInputPin::EndOfStream();
}

STDMETHODIMP CKestrinInputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}

// Every sample goes to Write, whatever the filter state: the queue is kept also
// while nothing is recorded.
STDMETHODIMP CKestrinInputPin::Receive(IMediaSample *pSample)
{
    if (!pSample)
        return E_POINTER;
    CAutoLock lock(m_pReceiveLock);
    REFERENCE_TIME tStart = 0, tStop = 0;
    pSample->GetTime(&tStart, &tStop);
    BYTE *pData = nullptr;
    HRESULT hr = pSample->GetPointer(&pData);
    if (FAILED(hr))
        return hr;
    return m_pKestrin->Write(pSample, m_bAudio);
}

STDMETHODIMP CKestrinInputPin::ReceiveCanBlock()
{
    return S_FALSE;
}
