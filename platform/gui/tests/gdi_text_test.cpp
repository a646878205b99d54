// TextOutA: text in the DC's colours and mode with the stock fonts, on any thread.
#include "gdi_testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using gditest::MemDc;

namespace {

constexpr COLORREF kText = RGB(200, 0, 0);
constexpr COLORREF kBack = RGB(0, 0, 255);
constexpr COLORREF kInitial = RGB(0, 0, 0);

// A status text padded with spaces to 33 characters.
std::string Padded(const char *words)
{
    std::string s = words;
    s.resize(33, ' ');
    return s;
}

bool Write(HDC dc, int x, int y, const std::string &s)
{
    return TextOutA(dc, x, y, s.data(), int(s.size()));
}

// Anti-aliased text blends the text colour into the background; the backgrounds
// used here have no red, the text colour has plenty.
bool Ink(COLORREF c)
{
    return GetRValue(c) > 100;
}

// The columns in which any pixel is ink, as [first, last]; first > last when there
// is none.
std::pair<int, int> InkColumns(const MemDc &dc, int width, int height)
{
    int first = width, last = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (Ink(dc.at(x, y))) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return {first, last};
}

std::vector<COLORREF> Pixels(const MemDc &dc, int width, int height)
{
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(dc.at(x, y));
    return pixels;
}

// A 100x16 status bitmap: the padded text's opaque cell covers all of it, so no
// pixel keeps the bitmap's black; the text colour appears where the words are and
// the background colour beyond them.
TEST(GdiText, OpaqueStatusTextFillsTheWholeStatusBitmap)
{
    MemDc status(100, 16);
    SetTextColor(status.dc(), kText);
    SetBkColor(status.dc(), kBack);
    ASSERT_TRUE(Write(status.dc(), 0, 0, Padded("Ready")));
    int ink = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 100; ++x) {
            const COLORREF c = status.at(x, y);
            EXPECT_NE(c, kInitial) << x << "," << y;
            ink += Ink(c);
            if (x >= 50) {
                EXPECT_EQ(c, kBack) << x << "," << y;
            }
        }
    }
    EXPECT_GT(ink, 20);
    const auto [first, last] = InkColumns(status, 100, 16);
    EXPECT_LT(first, 5);
    EXPECT_GT(last, 20);
    // The cell's top row is leading above the capitals.
    for (int x = 0; x < 100; ++x)
        EXPECT_EQ(status.at(x, 0), kBack) << x;
}

TEST(GdiText, DefaultsAreBlackOnWhiteAndTransparentModeKeepsTheBackground)
{
    MemDc text(60, 16);
    ASSERT_TRUE(Write(text.dc(), 0, 0, "Stopped"));
    int dark = 0, white = 0;
    for (COLORREF c : Pixels(text, 60, 16)) {
        dark += GetRValue(c) < 100 && GetGValue(c) == GetRValue(c) && GetBValue(c) == GetRValue(c);
        white += c == RGB(255, 255, 255);
    }
    EXPECT_GT(dark, 20);
    EXPECT_GT(white, 200);

    MemDc clear(60, 16);
    clear.fill(0, 0, 60, 16, RGB(0, 255, 0));
    SetTextColor(clear.dc(), kText);
    SetBkMode(clear.dc(), TRANSPARENT);
    ASSERT_TRUE(Write(clear.dc(), 0, 0, "Stopped"));
    int green = 0, ink = 0;
    for (COLORREF c : Pixels(clear, 60, 16)) {
        green += c == RGB(0, 255, 0);
        ink += Ink(c);
    }
    EXPECT_GT(ink, 20);
    EXPECT_GT(green, 600);
    EXPECT_EQ(clear.at(0, 0), RGB(0, 255, 0));
}

// Text bitmaps made for the Windows system font fit: "Recording" at (2, 1) in a
// 70-pixel label, and times, whose digits advance 8 pixels and colons and slashes
// 4, exactly fill 48 and 100 columns.
TEST(GdiText, SystemFontHasTheWindowsSystemFontsWidths)
{
    MemDc label(100, 22);
    SetTextColor(label.dc(), kText);
    ASSERT_TRUE(Write(label.dc(), 2, 1, "Recording"));
    const auto [first, last] = InkColumns(label, 100, 22);
    EXPECT_GE(first, 2);
    EXPECT_LT(last, 70);

    for (const auto &[text, width] : {std::pair<const char *, int>{"1:02:05", 48}, {"1:02:05/2:05:09", 100}}) {
        MemDc time(120, 16);
        SetTextColor(time.dc(), kText);
        SetBkColor(time.dc(), kBack);
        ASSERT_TRUE(Write(time.dc(), 0, 0, text));
        for (int y = 0; y < 16; ++y) {
            EXPECT_NE(time.at(width - 1, y), kInitial) << text << " " << y;
            EXPECT_EQ(time.at(width, y), kInitial) << text << " " << y;
        }
        EXPECT_GT(InkColumns(time, 120, 16).second, width - 8) << text;
    }
}

TEST(GdiText, CountsBytesOfUtf8)
{
    MemDc one(60, 16), two(60, 16), accented(60, 16);
    for (const MemDc *dc : {&one, &two, &accented})
        SetTextColor(dc->dc(), kText);
    ASSERT_TRUE(TextOutA(one.dc(), 0, 0, "WW", 1));
    ASSERT_TRUE(TextOutA(two.dc(), 0, 0, "WW", 2));
    EXPECT_GT(InkColumns(two, 60, 16).second, InkColumns(one, 60, 16).second + 5);
    // "é€" is five bytes and two characters.
    const char *utf8 = "\xC3\xA9\xE2\x82\xAC";
    ASSERT_TRUE(TextOutA(accented.dc(), 0, 0, utf8, int(std::strlen(utf8))));
    EXPECT_GT(InkColumns(accented, 60, 16).second, 8);

    EXPECT_TRUE(TextOutA(one.dc(), 0, 0, "", 0));
    EXPECT_FALSE(TextOutA(one.dc(), 0, 0, "x", -1));
    EXPECT_FALSE(TextOutA(one.dc(), 0, 0, nullptr, 3));
    EXPECT_FALSE(TextOutA(nullptr, 0, 0, "x", 1));
    // Far outside the bitmap: nothing drawn, no failure.
    EXPECT_TRUE(TextOutA(one.dc(), -2000000000, 2000000000, "x", 1));
    EXPECT_TRUE(TextOutA(one.dc(), 2000000000, -2000000000, "x", 1));
}

TEST(GdiText, GuiFontIsSmallerThanTheSystemFont)
{
    MemDc system(200, 20), gui(200, 20);
    for (const MemDc *dc : {&system, &gui})
        SetTextColor(dc->dc(), kText);
    SelectObject(gui.dc(), GetStockObject(DEFAULT_GUI_FONT));
    ASSERT_TRUE(Write(system.dc(), 0, 0, "Options and settings"));
    ASSERT_TRUE(Write(gui.dc(), 0, 0, "Options and settings"));
    EXPECT_LT(InkColumns(gui, 200, 20).second, InkColumns(system, 200, 20).second);
}

// Text drawn on several threads at once comes out as it does on one.
TEST(GdiText, ThreadsDrawTextAtOnce)
{
    const std::string text = Padded("Buffering: 42%");
    MemDc reference(100, 16);
    ASSERT_TRUE(Write(reference.dc(), 0, 0, text));
    const std::vector<COLORREF> expected = Pixels(reference, 100, 16);
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                MemDc dc(100, 16);
                if (!Write(dc.dc(), 0, 0, text) || Pixels(dc, 100, 16) != expected)
                    ++mismatches[size_t(t)];
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(mismatches[size_t(t)], 0) << t;
}

} // namespace
