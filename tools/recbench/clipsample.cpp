#include "clipsample.h"

#include <vfwmsgs.h>

HRESULT STDMETHODCALLTYPE ClipSample::GetPointer(BYTE **ppBuffer)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = const_cast<BYTE *>(m_packet->data.data());
    return S_OK;
}

LONG STDMETHODCALLTYPE ClipSample::GetSize()
{
    return static_cast<LONG>(m_packet->data.size());
}

// Each sample lasts one unit of time, as the allocator-filled samples did.
HRESULT STDMETHODCALLTYPE ClipSample::GetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd)
{
    if (!pTimeStart || !pTimeEnd)
        return E_POINTER;
    *pTimeStart = m_packet->time100ns;
    *pTimeEnd = m_packet->time100ns + 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ClipSample::SetTime(REFERENCE_TIME *, REFERENCE_TIME *)
{
    return E_NOTIMPL;
}

// Audio packets are all sync points; video ones are where the clip has key frames.
HRESULT STDMETHODCALLTYPE ClipSample::IsSyncPoint()
{
    return !m_packet->video || m_packet->key ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE ClipSample::SetSyncPoint(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ClipSample::IsPreroll()
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ClipSample::SetPreroll(BOOL)
{
    return E_NOTIMPL;
}

LONG STDMETHODCALLTYPE ClipSample::GetActualDataLength()
{
    return static_cast<LONG>(m_packet->data.size());
}

HRESULT STDMETHODCALLTYPE ClipSample::SetActualDataLength(LONG)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ClipSample::GetMediaType(AM_MEDIA_TYPE **ppMediaType)
{
    if (!ppMediaType)
        return E_POINTER;
    *ppMediaType = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ClipSample::SetMediaType(AM_MEDIA_TYPE *)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ClipSample::IsDiscontinuity()
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ClipSample::SetDiscontinuity(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ClipSample::GetMediaTime(LONGLONG *, LONGLONG *)
{
    return VFW_E_MEDIA_TIME_NOT_SET;
}

HRESULT STDMETHODCALLTYPE ClipSample::SetMediaTime(LONGLONG *, LONGLONG *)
{
    return E_NOTIMPL;
}
