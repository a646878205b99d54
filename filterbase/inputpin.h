// Input pins: the allocator handshake, sample reception, flushing and streaming
// checks (CBaseInputPin), and the end-of-stream rules of a renderer (CRenderedInputPin).
#pragma once
#include "basepin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const char *pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);
    ~CBaseInputPin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP InnerQueryInterface(REFIID riid, void **ppv) override;

    HRESULT Deactivate() override;
    HRESULT ReleaseConnection() override;
    // S_OK while samples may be delivered; the reason otherwise.
    virtual HRESULT StreamingStatus();

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator **ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator *pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps) override;
    STDMETHODIMP Receive(IMediaSample *pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample **pSamples, LONG nSamples, LONG *nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    // IPin
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    bool IsFlushing() const { return m_bFlushing; }
    bool IsReadOnly() const { return m_bReadOnly; }

protected:
    // The platform memory allocator, created for GetAllocator.
    static HRESULT CreateSystemAllocator(IMemAllocator **ppAllocator);

    IMemAllocator *m_pAllocator;
    bool m_bReadOnly;
    std::atomic<bool> m_bFlushing;
    // What the last Receive learnt about its sample.
    AM_SAMPLE2_PROPERTIES SampleProperties;

private:
    // The type copy GetMediaType handed to Receive; freed at the next Receive.
    AM_MEDIA_TYPE *m_pReceivedType;
};

class CRenderedInputPin : public CBaseInputPin {
public:
    CRenderedInputPin(const char *pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);

    HRESULT Activate() override;
    HRESULT OnRun(REFERENCE_TIME tStart) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP EndFlush() override;

protected:
    // Posts EC_COMPLETE unless this run period has already seen it.
    void SignalCompletion();

    std::atomic<BOOL> m_bAtEndOfStream;
    std::atomic<BOOL> m_bCompleteNotified;
};
