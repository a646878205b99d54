// Raster operations on 32-bit pixels: the bitwise combinations, nearest-neighbour
// stretching, mirroring and clipping, FillRect and GetPixel.
#include "gdi_testutil.h"

#include <gtest/gtest.h>

#include <climits>

using gditest::MemDc;

namespace {

constexpr COLORREF kGrey = RGB(224, 224, 224);

TEST(GdiRaster, RopsCombineTheColourBytesBitwise)
{
    const COLORREF dest = 0x5A3C96, src = 0x0FF00F;
    struct Case {
        DWORD rop;
        COLORREF expected;
    } cases[] = {
        {SRCCOPY, src},
        {SRCAND, dest & src},
        {SRCPAINT, dest | src},
        {SRCINVERT, dest ^ src},
        {BLACKNESS, 0x000000},
        {WHITENESS, 0xFFFFFF},
    };
    MemDc source(1, 1);
    source.set(0, 0, src);
    for (const Case &c : cases) {
        MemDc target(1, 1);
        target.set(0, 0, dest);
        EXPECT_TRUE(BitBlt(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, c.rop)) << std::hex << c.rop;
        EXPECT_EQ(target.at(0, 0), c.expected) << std::hex << c.rop;
    }
    // BLACKNESS and WHITENESS read no source.
    MemDc target(2, 1);
    EXPECT_TRUE(BitBlt(target.dc(), 0, 0, 2, 1, nullptr, 0, 0, WHITENESS));
    EXPECT_EQ(target.at(1, 0), 0xFFFFFFu);
    // Operations that need a source fail without one, and unknown ones fail.
    EXPECT_FALSE(BitBlt(target.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 0x00550009 /* DSTINVERT */));
    EXPECT_EQ(target.at(0, 0), 0xFFFFFFu);
}

// A picture on black drawn over a background through its mask (shape black on
// white): AND with the mask, then OR with the picture, the classic sprite drawing.
TEST(GdiRaster, MaskThenPaintShowsThePictureOverTheBackground)
{
    const COLORREF shape = RGB(100, 150, 200);
    MemDc art(8, 4); // left half the picture, right half its mask
    art.fill(4, 0, 8, 4, RGB(255, 255, 255));
    for (int y = 0; y < 4; ++y) {
        art.set(y, y, shape);       // a diagonal
        art.set(4 + y, y, RGB(0, 0, 0));
    }
    MemDc bar(10, 6);
    bar.fill(0, 0, 10, 6, kGrey);
    ASSERT_TRUE(StretchBlt(bar.dc(), 3, 1, 4, 4, art.dc(), 4, 0, 4, 4, SRCAND));
    ASSERT_TRUE(StretchBlt(bar.dc(), 3, 1, 4, 4, art.dc(), 0, 0, 4, 4, SRCPAINT));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool onShape = y >= 1 && y < 5 && x - 3 == y - 1;
            EXPECT_EQ(bar.at(x, y), onShape ? shape : kGrey) << x << "," << y;
        }
    }
    // Dark text on white, ANDed onto the bar, leaves the text and the bar's grey.
    MemDc text(3, 1);
    text.fill(0, 0, 3, 1, RGB(255, 255, 255));
    text.set(1, 0, RGB(0, 0, 0));
    ASSERT_TRUE(BitBlt(bar.dc(), 0, 0, 3, 1, text.dc(), 0, 0, SRCAND));
    EXPECT_EQ(bar.at(0, 0), kGrey);
    EXPECT_EQ(bar.at(1, 0), 0u);
    EXPECT_EQ(bar.at(2, 0), kGrey);
}

// A 2x2 source of four colours.
class Quad : public MemDc {
public:
    static constexpr COLORREF c[2][2] = {{RGB(255, 0, 0), RGB(0, 255, 0)}, {RGB(0, 0, 255), RGB(255, 255, 0)}};
    Quad() : MemDc(2, 2)
    {
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                set(x, y, c[y][x]);
    }
};

TEST(GdiRaster, StretchBltScalesWithNearestNeighbour)
{
    Quad quad;
    MemDc big(6, 4);
    ASSERT_TRUE(StretchBlt(big.dc(), 0, 0, 6, 4, quad.dc(), 0, 0, 2, 2, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(big.at(x, y), Quad::c[y / 2][x / 3]) << x << "," << y;

    // Shrinking takes the source pixel under each destination pixel's centre.
    MemDc stripes(6, 1);
    for (int x = 0; x < 6; ++x)
        stripes.set(x, 0, RGB(x * 40, 0, 0));
    MemDc small(3, 1);
    ASSERT_TRUE(StretchBlt(small.dc(), 0, 0, 3, 1, stripes.dc(), 0, 0, 6, 1, SRCCOPY));
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(small.at(x, 0), RGB((2 * x + 1) * 40, 0, 0)) << x;

    // A negative source width mirrors: the source runs from x 2 back to x 0.
    MemDc mirrored(2, 2);
    ASSERT_TRUE(StretchBlt(mirrored.dc(), 0, 0, 2, 2, quad.dc(), 2, 0, -2, 2, SRCCOPY));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(mirrored.at(0, y), Quad::c[y][1]);
        EXPECT_EQ(mirrored.at(1, y), Quad::c[y][0]);
    }
}

TEST(GdiRaster, BlitsAreClippedToDestinationAndSource)
{
    Quad quad;
    const COLORREF untouched = RGB(9, 9, 9);
    MemDc target(3, 3);
    target.fill(0, 0, 3, 3, untouched);
    // Hanging off the top left: only the source's bottom-right pixel lands, at (0, 0).
    ASSERT_TRUE(BitBlt(target.dc(), -1, -1, 2, 2, quad.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(target.at(0, 0), Quad::c[1][1]);
    EXPECT_EQ(target.at(1, 0), untouched);
    EXPECT_EQ(target.at(0, 1), untouched);
    // Reading beyond the source's right edge leaves those destination pixels alone.
    target.fill(0, 0, 3, 3, untouched);
    ASSERT_TRUE(BitBlt(target.dc(), 0, 2, 3, 1, quad.dc(), 1, 0, SRCCOPY));
    EXPECT_EQ(target.at(0, 2), Quad::c[0][1]);
    EXPECT_EQ(target.at(1, 2), untouched);
    EXPECT_EQ(target.at(2, 2), untouched);
    // A stretch past the bottom right edge draws the part inside.
    target.fill(0, 0, 3, 3, untouched);
    ASSERT_TRUE(StretchBlt(target.dc(), 1, 1, 4, 4, quad.dc(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(target.at(0, 0), untouched);
    EXPECT_EQ(target.at(1, 1), Quad::c[0][0]);
    EXPECT_EQ(target.at(2, 2), Quad::c[0][0]);
    // Extreme coordinates and sizes draw nothing outside and do not fail.
    target.fill(0, 0, 3, 3, untouched);
    EXPECT_TRUE(BitBlt(target.dc(), INT_MAX - 1, 0, INT_MAX, 3, quad.dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(target.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, quad.dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(StretchBlt(target.dc(), 0, 0, 3, 3, quad.dc(), INT_MIN, 0, INT_MAX, 2, SRCCOPY));
    EXPECT_TRUE(StretchBlt(target.dc(), INT_MIN, INT_MIN, -1, -1, quad.dc(), 0, 0, INT_MIN, INT_MIN, SRCCOPY));
    EXPECT_TRUE(StretchBlt(target.dc(), 0, 0, 3, 3, quad.dc(), 0, 0, 0, 2, SRCCOPY));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(target.at(x, y), untouched) << x << "," << y;
}

TEST(GdiRaster, OverlappingBlitWithinOneBitmapReadsTheOriginal)
{
    MemDc strip(5, 1);
    for (int x = 0; x < 5; ++x)
        strip.set(x, 0, RGB(10 * x, 0, 0));
    ASSERT_TRUE(BitBlt(strip.dc(), 1, 0, 4, 1, strip.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(strip.at(0, 0), RGB(0, 0, 0));
    for (int x = 1; x < 5; ++x)
        EXPECT_EQ(strip.at(x, 0), RGB(10 * (x - 1), 0, 0)) << x;
}

TEST(GdiRaster, FillRectExcludesRightAndBottomAndKnowsSystemColours)
{
    MemDc target(4, 4);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT rc{1, 1, 3, 3};
    EXPECT_NE(FillRect(target.dc(), &rc, red), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.at(x, y), (x >= 1 && x < 3 && y >= 1 && y < 3) ? RGB(255, 0, 0) : 0u) << x << "," << y;
    // Inverted and empty rectangles and the null brush paint nothing; hanging off
    // the edge is clipped.
    RECT inverted{3, 3, 0, 0};
    EXPECT_NE(FillRect(target.dc(), &inverted, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
    RECT all{-5, -5, 50, 50};
    EXPECT_NE(FillRect(target.dc(), &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 0);
    EXPECT_EQ(target.at(0, 0), 0u);
    EXPECT_NE(FillRect(target.dc(), &all, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)), 0);
    EXPECT_EQ(target.at(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(target.at(3, 3), RGB(255, 255, 255));
    // A handle that is no brush fails.
    EXPECT_EQ(FillRect(target.dc(), &all, reinterpret_cast<HBRUSH>(target.dc())), 0);
    EXPECT_EQ(FillRect(target.dc(), nullptr, red), 0);
    DeleteObject(red);
}

TEST(GdiRaster, GetPixelOutsideTheBitmapIsInvalid)
{
    MemDc target(2, 2);
    target.set(1, 1, RGB(1, 2, 3));
    EXPECT_EQ(target.at(1, 1), RGB(1, 2, 3));
    EXPECT_EQ(target.at(2, 1), CLR_INVALID);
    EXPECT_EQ(target.at(-1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
}

} // namespace
