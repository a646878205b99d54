// UTF-16 text as the SDK's interfaces pass it; conversions are the kernel's text kit's.
#pragma once
#include <string>
#include <asferr.h>
#include <twkernel/textconv.h>
#include <winerror.h>

namespace twwmf {

using twk::WideString;

// Copies text with its NUL into a caller's buffer of *pcch characters. A null
// buffer asks for the size: *pcch becomes the length including the NUL. A buffer
// too small gives ASF_E_BUFFERTOOSMALL with *pcch set to the size needed.
template <class Count>
HRESULT CopyOutText(const std::u16string &text, WCHAR *buffer, Count *pcch)
{
    if (!pcch)
        return E_POINTER;
    size_t needed = text.size() + 1;
    if (needed > static_cast<Count>(~Count(0)))
        return E_UNEXPECTED;
    if (!buffer) {
        *pcch = static_cast<Count>(needed);
        return S_OK;
    }
    if (*pcch < needed) {
        *pcch = static_cast<Count>(needed);
        return ASF_E_BUFFERTOOSMALL;
    }
    text.copy(reinterpret_cast<char16_t *>(buffer), text.size());
    buffer[text.size()] = 0;
    *pcch = static_cast<Count>(needed);
    return S_OK;
}

} // namespace twwmf
