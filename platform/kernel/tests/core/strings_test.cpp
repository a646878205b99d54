// The lstr* calls, with the edges callers rely on.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

namespace {

TEST(Strings, LengthCopyConcatenate)
{
    EXPECT_EQ(lstrlenA("tarn"), 4);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenW(u"\u00fcber"), 4);
    char buffer[16];
    EXPECT_EQ(lstrcpyA(buffer, "dir"), buffer);
    lstrcatA(buffer, "\\file");
    EXPECT_STREQ(buffer, "dir\\file");
}

TEST(Strings, BoundedCopyAlwaysTerminates)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    lstrcpynA(buffer, "abcdefghij", 5);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'x');
    lstrcpynA(buffer, "ab", 8);
    EXPECT_STREQ(buffer, "ab");
    lstrcpynA(buffer, "ab", 1);
    EXPECT_STREQ(buffer, "");
}

TEST(Strings, CaseInsensitiveCompare)
{
    EXPECT_EQ(lstrcmpiA("Kestrin.AX", "kestrin.ax"), 0);
    EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
    EXPECT_GT(lstrcmpiA("abcd", "ABC"), 0);
    EXPECT_LT(lstrcmpA("A", "a"), 0);
}

} // namespace
