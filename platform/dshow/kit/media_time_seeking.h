// IMediaSeeking's time formats and rate for objects that seek in media time only
// (100 ns units) at normal speed: the graph manager and the sources. The
// positions and capabilities are the subclass's; CheckCapabilities answers from
// its GetCapabilities. Listed in a twcom::Object in place of IMediaSeeking.
#pragma once
#include "kit/interfaces.h"

namespace twds::kit {

class MediaTimeSeeking : public IMediaSeeking {
public:
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD *pCapabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                                const GUID *pSourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetRate(double dRate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double *pdRate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG *pllPreroll) override;

protected:
    ~MediaTimeSeeking() = default;
};

} // namespace twds::kit

TWCOM_INTERFACE(twds::kit::MediaTimeSeeking, IID_IMediaSeeking)
