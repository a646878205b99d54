// CKestrinInputPin: an input pin of the Kestrin filter. Accepts the Windows Media
// compressed types of its kind and hands every sample to CKestrin::Write.
#pragma once
#include "streams.h"

class CKestrin;

class CKestrinInputPin : public CRenderedInputPin {
public:
    CKestrinInputPin(CKestrin *pKestrin, LPUNKNOWN pUnk, CBaseFilter *pFilter, CCritSec *pLock,
                     CCritSec *pReceiveLock, HRESULT *phr, bool bAudio);

    HRESULT VerifyMediaType(const AM_MEDIA_TYPE *pmt) override;
    HRESULT ReleaseConnection() override;

    // IPin
    STDMETHODIMP QueryInternalConnections(IPin **apPin, ULONG *nPin) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
    // IMemInputPin
    STDMETHODIMP Receive(IMediaSample *pSample) override;
    STDMETHODIMP ReceiveCanBlock() override;

private:
    CKestrin *m_pKestrin;
    CCritSec *m_pReceiveLock;
    bool m_bAudio;
};
