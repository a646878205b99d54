#include "utf16.h"

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
    return Utf8FromWide(wide);
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
