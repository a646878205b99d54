// Which source filter RenderFile uses for a URL: the registry's choice for the
// URL's protocol (HKCR\<protocol>, value "Source Filter") or extension
// (HKCR\Media Type\Extensions\<.ext>, value "Source Filter") first; then the
// ASF network source for http, https, mms, mmsh, mmst and file URLs, plain paths,
// and any URL ending in .asf, .wmv, .wma, .asx, .wax or .wvx.
// Platform-internal: include by path ("graph/source_choice.h" relative to platform/).
#pragma once
#include <strmif.h>

namespace twds {

// VFW_E_UNKNOWN_FILE_TYPE when no source filter fits.
HRESULT ChooseSourceFilter(LPCWSTR url, CLSID *clsid);

} // namespace twds
