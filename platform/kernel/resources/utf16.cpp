#include "utf16.h"

#include <windows.h>

namespace twk {
namespace {

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

} // namespace

std::string Utf16LeToUtf8(const uint8_t *p, size_t units)
{
    std::u16string wide(units, u'\0');
    for (size_t i = 0; i < units; ++i)
        wide[i] = ReadUnit(p + 2 * i);
    if (wide.empty())
        return {};
    const int n = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), n, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::u16string Utf8ToUtf16(const char *text)
{
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return {};
    std::u16string out(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), units);
    out.pop_back();  // the terminator
    return out;
}

size_t Utf8PrefixLength(const std::string &s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s.size();
    size_t n = maxBytes;
    while (n > 0 && IsContinuation(static_cast<unsigned char>(s[n])))
        --n;
    return n;
}

char16_t FoldCase(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    return c;
}

} // namespace twk
