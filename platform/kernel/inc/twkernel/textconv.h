// Text conversions the platform libraries share: UTF-16 (the API's wide text) to
// and from UTF-8 (the ANSI code page here), through the kernel's code-page calls.
// Platform-internal.
#pragma once
#include <string>

namespace twk {

// A copy of a null-terminated UTF-16 string; null gives an empty string.
std::u16string WideString(const char16_t *text);

// UTF-8 form of UTF-16 text; null gives an empty string.
std::string Utf8FromWide(const char16_t *text);
std::string Utf8FromWide(const std::u16string &text);

// UTF-16 form of UTF-8 text; null gives an empty string.
std::u16string WideFromUtf8(const char *text);
std::u16string WideFromUtf8(const std::string &text);

} // namespace twk
