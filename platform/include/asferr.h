// ASF error codes of the Windows Media Format SDK.
#pragma once
#include <winerror.h>

#define ASF_E_BUFFERTOOSMALL _HRESULT_TYPEDEF_(0xC00D07D1L)
#define ASF_E_NOTFOUND _HRESULT_TYPEDEF_(0xC00D07F0L)
