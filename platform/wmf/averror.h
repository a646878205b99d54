// HRESULTs for libavformat's error codes.
#pragma once
#include <string>
#include <winerror.h>

namespace twwmf {

// The HRESULT of an AVERROR; file-system errors on nativePath are reported as
// the Win32 calls report them.
HRESULT HResultFromAVError(int err, const std::string &nativePath = std::string());

} // namespace twwmf
