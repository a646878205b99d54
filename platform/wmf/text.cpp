#include "text.h"

#include <windows.h>

namespace twwmf {

std::u16string WideString(const WCHAR *s)
{
    return s ? std::u16string(s) : std::u16string();
}

std::string Utf8(const std::u16string &s)
{
    if (s.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace twwmf
