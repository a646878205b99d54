// UTF-16 little-endian text as stored in resources, and its conversion to the
// ANSI code page (UTF-8); other conversions are the kernel's text kit's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include <twkernel/textconv.h>

namespace twk {

// The UTF-16 code unit at p (little-endian, any alignment).
inline char16_t ReadUnit(const uint8_t *p)
{
    return static_cast<char16_t>(p[0] | (p[1] << 8));
}

// Converts `units` UTF-16LE code units at p to the ANSI code page.
std::string Utf16LeToUtf8(const uint8_t *p, size_t units);

// Length of the longest prefix of s (at most maxBytes) that ends on a character boundary.
size_t Utf8PrefixLength(const std::string &s, size_t maxBytes);

// Upper-case form used for case-insensitive resource and version-key names
// (ASCII and Latin-1 letters).
char16_t FoldCase(char16_t c);

} // namespace twk
