// Text conversion between the ANSI code page (UTF-8) and UTF-16.

#include <string>
#include <windows.h>

namespace {

bool IsUtf8CodePage(UINT codePage)
{
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_MACCP || codePage == CP_THREAD_ACP ||
           codePage == CP_UTF8;
}

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i]; advances i. Invalid input yields
// kReplacement with `valid` false and consumes one byte.
char32_t DecodeUtf8(const unsigned char *s, size_t n, size_t &i, bool &valid)
{
    unsigned char c = s[i];
    valid = true;
    if (c < 0x80) {
        ++i;
        return c;
    }
    int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? (c <= 0xEF ? 3 : 0) : c >= 0xC2 ? 2 : 0;
    if (length == 0 || i + length > n) {
        valid = false;
        ++i;
        return kReplacement;
    }
    char32_t cp = c & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        unsigned char t = s[i + k];
        if ((t & 0xC0) != 0x80) {
            valid = false;
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        valid = false;
        ++i;
        return kReplacement;
    }
    i += length;
    return cp;
}

void AppendUtf16(std::u16string &out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

// Copies the converted units out with the Windows rules: a zero-sized
// destination asks for the size; a short one fails.
template <class Unit, class String>
int CopyOut(const String &converted, Unit *destination, int capacity)
{
    if (converted.size() > 0x7FFFFFFF)
        return Fail(ERROR_ARITHMETIC_OVERFLOW);
    int needed = static_cast<int>(converted.size());
    if (capacity == 0)
        return needed;
    if (needed > capacity)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::copy(converted.begin(), converted.end(), destination);
    return needed;
}

} // namespace

extern "C" UINT WINAPI GetACP(void)
{
    return CP_UTF8;
}

extern "C" UINT WINAPI GetOEMCP(void)
{
    return CP_UTF8;
}

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!IsUtf8CodePage(CodePage))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        (cchWideChar > 0 && static_cast<const void *>(lpMultiByteStr) == static_cast<const void *>(lpWideCharStr)))
        return Fail(ERROR_INVALID_PARAMETER);
    size_t length = cbMultiByte == -1 ? std::char_traits<char>::length(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const unsigned char *s = reinterpret_cast<const unsigned char *>(lpMultiByteStr);
    std::u16string converted;
    converted.reserve(length);
    for (size_t i = 0; i < length;) {
        bool valid;
        char32_t cp = DecodeUtf8(s, length, i, valid);
        if (!valid && (dwFlags & MB_ERR_INVALID_CHARS))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        AppendUtf16(converted, cp);
    }
    return CopyOut(converted, lpWideCharStr, cchWideChar);
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar)
{
    if (!IsUtf8CodePage(CodePage))
        return Fail(ERROR_INVALID_PARAMETER);
    // UTF-8 represents every character, so a default character has no use; Windows refuses one.
    if (lpDefaultChar || lpUsedDefaultChar)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        (cbMultiByte > 0 && static_cast<const void *>(lpMultiByteStr) == static_cast<const void *>(lpWideCharStr)))
        return Fail(ERROR_INVALID_PARAMETER);
    size_t length = cchWideChar == -1 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1
                                      : static_cast<size_t>(cchWideChar);
    std::string converted;
    converted.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char32_t unit = lpWideCharStr[i];
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && lpWideCharStr[i + 1] >= 0xDC00 &&
            lpWideCharStr[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((unit - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (dwFlags & WC_ERR_INVALID_CHARS)
                return Fail(ERROR_NO_UNICODE_TRANSLATION);
            cp = kReplacement; // an unpaired surrogate
        }
        AppendUtf8(converted, cp);
    }
    return CopyOut(converted, lpMultiByteStr, cbMultiByte);
}
