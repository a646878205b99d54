#include "kit/media_time_seeking.h"

#include <uuids.h>

namespace twds::kit {
namespace {

bool MediaTime(const GUID *format)
{
    return !format || IsEqualGUID(*format, TIME_FORMAT_MEDIA_TIME);
}

} // namespace

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::CheckCapabilities(DWORD *pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    DWORD have = 0;
    GetCapabilities(&have);
    DWORD wanted = *pCapabilities;
    *pCapabilities &= have;
    return *pCapabilities == wanted ? S_OK : *pCapabilities ? S_FALSE : E_FAIL;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::IsFormatSupported(const GUID *pFormat)
{
    if (!pFormat)
        return E_POINTER;
    return MediaTime(pFormat) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::QueryPreferredFormat(GUID *pFormat)
{
    if (!pFormat)
        return E_POINTER;
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::GetTimeFormat(GUID *pFormat)
{
    return QueryPreferredFormat(pFormat);
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::IsUsingTimeFormat(const GUID *pFormat)
{
    return IsFormatSupported(pFormat);
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::SetTimeFormat(const GUID *pFormat)
{
    if (!pFormat)
        return E_POINTER;
    return MediaTime(pFormat) ? S_OK : E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat,
                                                              LONGLONG Source, const GUID *pSourceFormat)
{
    if (!pTarget)
        return E_POINTER;
    if (!MediaTime(pTargetFormat) || !MediaTime(pSourceFormat))
        return E_INVALIDARG;
    *pTarget = Source;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::SetRate(double dRate)
{
    return dRate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::GetRate(double *pdRate)
{
    if (!pdRate)
        return E_POINTER;
    *pdRate = 1.0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTimeSeeking::GetPreroll(LONGLONG *pllPreroll)
{
    if (!pllPreroll)
        return E_POINTER;
    *pllPreroll = 0;
    return S_OK;
}

} // namespace twds::kit
