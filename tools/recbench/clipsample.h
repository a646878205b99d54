// A media sample over a packet of the clip in memory, as a source filter hands on
// samples over the bytes it holds: the receiving filter reads the packet's bytes
// where they are, as the remux's packets point at them. The deliverer points it
// at each packet in turn (the filter copies what it keeps during Receive); its
// data, times and flags are the packet's, and the setters refuse changes.
#pragma once
#include <strmif.h>

#include <twcom/object.h>

#include "packets.h"

TWCOM_INTERFACE(IMediaSample, IID_IMediaSample)

class ClipSample final : public twcom::Object<ClipSample, IMediaSample> {
public:
    explicit ClipSample(const BenchPacket *packet) : m_packet(packet) {}
    void Show(const BenchPacket *packet) { m_packet = packet; }

    HRESULT STDMETHODCALLTYPE GetPointer(BYTE **ppBuffer) override;
    LONG STDMETHODCALLTYPE GetSize() override;
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd) override;
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd) override;
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override;
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL bIsSyncPoint) override;
    HRESULT STDMETHODCALLTYPE IsPreroll() override;
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL bIsPreroll) override;
    LONG STDMETHODCALLTYPE GetActualDataLength() override;
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG lLen) override;
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE **ppMediaType) override;
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE *pMediaType) override;
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override;
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL bDiscontinuity) override;
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd) override;
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd) override;

private:
    const BenchPacket *m_packet; // the clip outlives its samples
};
