// UTF-8 <-> UTF-16 conversion with the Windows length and buffer rules.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <twkernel/textconv.h>

#ifndef ERROR_NO_UNICODE_TRANSLATION
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#endif

namespace {

// "Grüße, 東京 🎵" in UTF-8 and UTF-16.
const char kUtf8[] = "Gr\xC3\xBC\xC3\x9F" "e, \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x8E\xB5";
const char16_t kUtf16[] = u"Grüße, 東京 🎵";

TEST(CodePages, RoundTripThroughEveryAnsiCodePage)
{
    for (UINT cp : {CP_ACP, CP_OEMCP, CP_UTF8}) {
        WCHAR wide[64];
        int n = MultiByteToWideChar(cp, 0, kUtf8, -1, wide, 64);
        ASSERT_EQ(n, (int)(sizeof kUtf16 / sizeof(char16_t))) << cp; // includes the NUL
        EXPECT_EQ(std::u16string(wide), std::u16string(kUtf16));
        char back[64];
        int m = WideCharToMultiByte(cp, 0, wide, -1, back, sizeof back, nullptr, nullptr);
        ASSERT_EQ(m, (int)sizeof kUtf8);
        EXPECT_STREQ(back, kUtf8);
    }
    EXPECT_EQ(GetACP(), (UINT)CP_UTF8);
}

TEST(CodePages, ExplicitLengthExcludesTheTerminator)
{
    WCHAR wide[8] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 8), 3);
    EXPECT_EQ(wide[3], u'x'); // nothing written past the count
    char narrow[8] = "zzzzzzz";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ab", 2, narrow, 8, nullptr, nullptr), 2);
    EXPECT_EQ(narrow[2], 'z');
}

TEST(CodePages, SizeQueryAndShortBuffer)
{
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, kUtf8, -1, nullptr, 0), (int)(sizeof kUtf16 / sizeof(char16_t)));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kUtf16, -1, nullptr, 0, nullptr, nullptr), (int)sizeof kUtf8);
    WCHAR wide[4];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, kUtf8, -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    char narrow[4];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kUtf16, -1, narrow, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePages, InvalidInput)
{
    WCHAR wide[16];
    // Stray continuation byte and a truncated sequence become U+FFFD, or fail when asked.
    const char bad[] = "a\x80z\xE6\x9D";
    int n = MultiByteToWideChar(CP_UTF8, 0, bad, -1, wide, 16);
    ASSERT_GT(n, 0);
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], (WCHAR)0xFFFD);
    EXPECT_EQ(wide[2], u'z');
    EXPECT_EQ(wide[n - 1], 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, wide, 16), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    // Overlong encoding of '/' is not accepted as '/'.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC0\xAF", 2, wide, 16), 2);
    EXPECT_EQ(wide[0], (WCHAR)0xFFFD);

    const WCHAR lone[] = {u'a', (WCHAR)0xD800, u'b', 0};
    char narrow[16];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, narrow, 16, nullptr, nullptr), 6);
    EXPECT_STREQ(narrow, "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, narrow, 16, nullptr, nullptr), 0);

    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 16), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 16), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, narrow, 16, nullptr, &used), 0);
}

// The platform's own conversions (twkernel/textconv.h) over the same calls.
TEST(TextKit, ConvertsWholeStringsAndTreatsNullAsEmpty)
{
    EXPECT_EQ(twk::WideFromUtf8(kUtf8), std::u16string(kUtf16));
    EXPECT_EQ(twk::WideFromUtf8(std::string(kUtf8)), std::u16string(kUtf16));
    EXPECT_EQ(twk::Utf8FromWide(kUtf16), std::string(kUtf8));
    EXPECT_EQ(twk::Utf8FromWide(std::u16string(kUtf16)), std::string(kUtf8));
    // The string forms keep embedded NULs; the pointer forms stop at the first.
    const std::u16string withNul(u"a\0b", 3);
    EXPECT_EQ(twk::Utf8FromWide(withNul), std::string("a\0b", 3));
    EXPECT_EQ(twk::WideFromUtf8(std::string("a\0b", 3)), withNul);
    EXPECT_EQ(twk::Utf8FromWide(withNul.c_str()), "a");
    EXPECT_EQ(twk::Utf8FromWide(static_cast<const char16_t *>(nullptr)), "");
    EXPECT_EQ(twk::WideFromUtf8(static_cast<const char *>(nullptr)), u"");
    EXPECT_EQ(twk::WideString(nullptr), u"");
    EXPECT_EQ(twk::WideString(u"x\0y"), u"x");
}

} // namespace
