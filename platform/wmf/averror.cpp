#include "averror.h"

#include <nserror.h>

#include <twkernel/paths.h>

extern "C" {
#include <libavutil/error.h>
}

namespace twwmf {

HRESULT HResultFromAVError(int err, const std::string &nativePath)
{
    if (err >= 0)
        return S_OK;
    if (err == AVERROR(ENOMEM))
        return E_OUTOFMEMORY;
    if (err == AVERROR(EINVAL))
        return E_INVALIDARG;
    if (err == AVERROR_INVALIDDATA)
        return NS_E_INVALID_DATA;
    if (err == AVERROR(EIO))
        return NS_E_FILE_WRITE;
    int errnum = AVUNERROR(err);
    if (errnum > 0 && errnum < 4096)
        return HRESULT_FROM_WIN32(twk::Win32PathError(errnum, nativePath));
    return E_FAIL;
}

} // namespace twwmf
