// A media sample: one buffer of a memory allocator with its times and flags.
#pragma once
#include <strmif.h>
#include <twcom/object.h>

TWCOM_INTERFACE(IMediaSample2, IID_IMediaSample2, IID_IMediaSample)

namespace twds {

class MemAllocator;

// Pooled: the last Release hands the buffer back to the allocator, which owns the sample.
class MediaSample final : public twcom::Object<MediaSample, IMediaSample2> {
public:
    MediaSample(MemAllocator *allocator, BYTE *buffer, LONG size);
    ~MediaSample();
    MediaSample(const MediaSample &) = delete;
    MediaSample &operator=(const MediaSample &) = delete;

    // IMediaSample
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

    // IMediaSample2
    HRESULT STDMETHODCALLTYPE GetProperties(DWORD cbProperties, BYTE *pbProperties) override;
    HRESULT STDMETHODCALLTYPE SetProperties(DWORD cbProperties, const BYTE *pbProperties) override;

    // Allocator side: the sample goes out with one reference, comes back reset.
    void HandOut(DWORD getBufferFlags);
    void Reset();

private:
    friend class twcom::Object<MediaSample, IMediaSample2>;
    void FinalRelease(); // back to the allocator; may destroy this sample
    void SetFlag(DWORD flag, BOOL on);

    MemAllocator *const m_allocator;
    BYTE *const m_buffer;
    const LONG m_size;
    DWORD m_flags = 0;              // AM_SAMPLE_* of this sample
    DWORD m_typeSpecificFlags = 0;
    DWORD m_streamId = AM_STREAM_MEDIA;
    LONG m_actual;
    REFERENCE_TIME m_start = 0;
    REFERENCE_TIME m_end = 0;
    bool m_mediaTimeValid = false;
    LONGLONG m_mediaStart = 0;
    LONGLONG m_mediaEnd = 0;
    AM_MEDIA_TYPE *m_type = nullptr; // task-memory copy, or null
};

} // namespace twds
