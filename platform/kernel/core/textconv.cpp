#include <twkernel/textconv.h>

#include <windows.h>

namespace twk {

std::u16string WideString(const char16_t *text)
{
    return text ? std::u16string(text) : std::u16string();
}

std::string Utf8FromWide(const std::u16string &text)
{
    if (text.empty())
        return {};
    const int units = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string Utf8FromWide(const char16_t *text)
{
    return text ? Utf8FromWide(std::u16string(text)) : std::string();
}

std::u16string WideFromUtf8(const std::string &text)
{
    if (text.empty())
        return {};
    const int bytes = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
    if (units <= 0)
        return {};
    std::u16string out(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, out.data(), units);
    return out;
}

std::u16string WideFromUtf8(const char *text)
{
    return text ? WideFromUtf8(std::string(text)) : std::u16string();
}

} // namespace twk
