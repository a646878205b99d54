#include "text.h"

#include <windows.h>

namespace twds {

std::string Utf8FromWide(LPCWSTR text)
{
    if (!text || !*text)
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::u16string WideFromUtf8(const std::string &text)
{
    if (text.empty())
        return std::u16string();
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return std::u16string();
    std::u16string out(static_cast<size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::string GuidText(REFGUID guid)
{
    WCHAR wide[39];
    if (StringFromGUID2(guid, wide, 39) == 0)
        return std::string();
    return Utf8FromWide(wide);
}

bool GuidFromText(const std::string &text, GUID *guid)
{
    std::u16string wide = WideFromUtf8(text);
    return SUCCEEDED(CLSIDFromString(wide.c_str(), guid));
}

} // namespace twds
