#include "media_sample.h"

#include <cstddef>
#include <cstring>

#include <vfwmsgs.h>

#include "media/media_types.h"
#include "mem_allocator.h"

namespace twds {
namespace {

// Flags a caller may set through IMediaSample2::SetProperties.
const DWORD kSettableFlags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_PREROLL | AM_SAMPLE_DATADISCONTINUITY |
                             AM_SAMPLE_TYPECHANGED | AM_SAMPLE_TIMEVALID | AM_SAMPLE_TIMEDISCONTINUITY |
                             AM_SAMPLE_FLUSH_ON_PAUSE | AM_SAMPLE_STOPVALID | AM_SAMPLE_ENDOFSTREAM;

// True when the first cb bytes of the record include the whole field.
constexpr bool Contains(DWORD cb, size_t offset, size_t size)
{
    return cb >= offset + size;
}
#define HAS_FIELD(cb, field) \
    Contains(cb, offsetof(AM_SAMPLE2_PROPERTIES, field), sizeof(AM_SAMPLE2_PROPERTIES::field))

} // namespace

MediaSample::MediaSample(MemAllocator *allocator, BYTE *buffer, LONG size)
    : m_allocator(allocator), m_buffer(buffer), m_size(size), m_actual(size)
{
}

MediaSample::~MediaSample()
{
    DeleteMediaType(m_type);
}

void MediaSample::FinalRelease()
{
    m_allocator->SampleReturned(this); // may destroy this sample
}

void MediaSample::HandOut(DWORD getBufferFlags)
{
    ResetReferences(1);
    if (getBufferFlags & AM_GBF_PREVFRAMESKIPPED)
        m_flags |= AM_SAMPLE_DATADISCONTINUITY;
}

void MediaSample::Reset()
{
    m_flags = 0;
    m_typeSpecificFlags = 0;
    m_streamId = AM_STREAM_MEDIA;
    m_actual = m_size;
    m_start = m_end = 0;
    m_mediaTimeValid = false;
    m_mediaStart = m_mediaEnd = 0;
    DeleteMediaType(m_type);
    m_type = nullptr;
}

void MediaSample::SetFlag(DWORD flag, BOOL on)
{
    if (on)
        m_flags |= flag;
    else
        m_flags &= ~flag;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetPointer(BYTE **ppBuffer)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = m_buffer;
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSample::GetSize()
{
    return m_size;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd)
{
    if (!pTimeStart || !pTimeEnd)
        return E_POINTER;
    if (!(m_flags & AM_SAMPLE_TIMEVALID))
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = m_start;
    if (m_flags & AM_SAMPLE_STOPVALID) {
        *pTimeEnd = m_end;
        return S_OK;
    }
    *pTimeEnd = m_start + 1;
    return VFW_S_NO_STOP_TIME;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd)
{
    if (!pTimeStart) {
        m_flags &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
        return S_OK;
    }
    m_start = *pTimeStart;
    m_flags |= AM_SAMPLE_TIMEVALID;
    if (pTimeEnd) {
        m_end = *pTimeEnd;
        m_flags |= AM_SAMPLE_STOPVALID;
    } else {
        m_flags &= ~AM_SAMPLE_STOPVALID;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::IsSyncPoint()
{
    return (m_flags & AM_SAMPLE_SPLICEPOINT) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetSyncPoint(BOOL bIsSyncPoint)
{
    SetFlag(AM_SAMPLE_SPLICEPOINT, bIsSyncPoint);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::IsPreroll()
{
    return (m_flags & AM_SAMPLE_PREROLL) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetPreroll(BOOL bIsPreroll)
{
    SetFlag(AM_SAMPLE_PREROLL, bIsPreroll);
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSample::GetActualDataLength()
{
    return m_actual;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetActualDataLength(LONG lLen)
{
    if (lLen < 0 || lLen > m_size)
        return VFW_E_BUFFER_OVERFLOW;
    m_actual = lLen;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetMediaType(AM_MEDIA_TYPE **ppMediaType)
{
    if (!ppMediaType)
        return E_POINTER;
    *ppMediaType = nullptr;
    if (!m_type)
        return S_FALSE;
    *ppMediaType = CreateMediaType(m_type);
    return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetMediaType(AM_MEDIA_TYPE *pMediaType)
{
    AM_MEDIA_TYPE *copy = nullptr;
    if (pMediaType) {
        copy = CreateMediaType(pMediaType);
        if (!copy)
            return E_OUTOFMEMORY;
    }
    DeleteMediaType(m_type);
    m_type = copy;
    SetFlag(AM_SAMPLE_TYPECHANGED, copy != nullptr);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::IsDiscontinuity()
{
    return (m_flags & AM_SAMPLE_DATADISCONTINUITY) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetDiscontinuity(BOOL bDiscontinuity)
{
    SetFlag(AM_SAMPLE_DATADISCONTINUITY, bDiscontinuity);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd)
{
    if (!pTimeStart || !pTimeEnd)
        return E_POINTER;
    if (!m_mediaTimeValid)
        return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = m_mediaStart;
    *pTimeEnd = m_mediaEnd;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd)
{
    if (!pTimeStart) {
        m_mediaTimeValid = false;
        return S_OK;
    }
    if (!pTimeEnd)
        return E_POINTER;
    m_mediaStart = *pTimeStart;
    m_mediaEnd = *pTimeEnd;
    m_mediaTimeValid = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetProperties(DWORD cbProperties, BYTE *pbProperties)
{
    if (cbProperties == 0)
        return S_OK;
    if (!pbProperties)
        return E_POINTER;
    AM_SAMPLE2_PROPERTIES props;
    memset(&props, 0, sizeof props);
    props.cbData = cbProperties < sizeof props ? cbProperties : static_cast<DWORD>(sizeof props);
    props.dwTypeSpecificFlags = m_typeSpecificFlags;
    props.dwSampleFlags = m_flags;
    props.lActual = m_actual;
    props.tStart = m_start;
    props.tStop = m_end;
    props.dwStreamId = m_streamId;
    props.pMediaType = m_type; // the sample's own record, valid while the sample is held
    props.pbBuffer = m_buffer;
    props.cbBuffer = m_size;
    memcpy(pbProperties, &props, props.cbData);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetProperties(DWORD cbProperties, const BYTE *pbProperties)
{
    if (cbProperties == 0)
        return S_OK;
    if (!pbProperties)
        return E_POINTER;
    AM_SAMPLE2_PROPERTIES props;
    memset(&props, 0, sizeof props);
    memcpy(&props, pbProperties, cbProperties < sizeof props ? cbProperties : sizeof props);
    if (!HAS_FIELD(cbProperties, cbData))
        return S_OK;
    // Use no more than the record says it holds, and no record larger than ours.
    DWORD cb = props.cbData < cbProperties ? props.cbData : cbProperties;
    if (cbProperties > sizeof props || props.cbData > sizeof props)
        return E_INVALIDARG;

    // Check everything before changing anything.
    if (HAS_FIELD(cb, dwSampleFlags)) {
        if (props.dwSampleFlags & ~kSettableFlags)
            return E_INVALIDARG;
        if ((props.dwSampleFlags & AM_SAMPLE_TIMEVALID) && !HAS_FIELD(cb, tStop))
            return E_INVALIDARG;
    }
    // The buffer itself cannot be changed.
    if (HAS_FIELD(cb, pbBuffer) && props.pbBuffer && props.pbBuffer != m_buffer)
        return E_INVALIDARG;
    if (HAS_FIELD(cb, cbBuffer) && props.cbBuffer && props.cbBuffer != m_size)
        return E_INVALIDARG;
    if (HAS_FIELD(cb, lActual) && (props.lActual < 0 || props.lActual > m_size))
        return E_INVALIDARG;
    AM_MEDIA_TYPE *newType = nullptr;
    bool typeGiven = HAS_FIELD(cb, pMediaType) && HAS_FIELD(cb, dwSampleFlags) &&
                     (props.dwSampleFlags & AM_SAMPLE_TYPECHANGED);
    if (typeGiven) {
        if (!props.pMediaType)
            return E_POINTER;
        newType = CreateMediaType(props.pMediaType);
        if (!newType)
            return E_OUTOFMEMORY;
    }

    if (HAS_FIELD(cb, dwTypeSpecificFlags))
        m_typeSpecificFlags = props.dwTypeSpecificFlags;
    if (HAS_FIELD(cb, dwSampleFlags)) {
        m_flags = props.dwSampleFlags;
        if (!typeGiven) {
            // The type flag stands for the attached type; without one it cannot be set.
            if (m_type)
                m_flags |= AM_SAMPLE_TYPECHANGED;
            else
                m_flags &= ~AM_SAMPLE_TYPECHANGED;
        }
    }
    if (HAS_FIELD(cb, lActual))
        m_actual = props.lActual;
    if (HAS_FIELD(cb, tStop)) {
        m_start = props.tStart;
        m_end = props.tStop;
    }
    if (HAS_FIELD(cb, dwStreamId))
        m_streamId = props.dwStreamId;
    if (typeGiven) {
        DeleteMediaType(m_type);
        m_type = newType;
    }
    return S_OK;
}

} // namespace twds
