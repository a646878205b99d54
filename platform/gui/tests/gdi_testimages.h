// The bitmap and icon resources of the GDI tests: their ids (shared with the
// resource script) and the pixels the generator writes into them.
#pragma once

#define IDB_RGB24 101       // 5x3, 24 bits, bottom-up (rows padded)
#define IDB_PAL8 102        // 3x4, 8 bits with a 4-colour palette, bottom-up
#define IDB_PAL4 103        // 5x2, 4 bits with a full palette, top-down
#define IDB_MONO 104        // 10x2, 1 bit
#define IDB_BGRX32 105      // 3x2, 32 bits
#define IDB_BITFIELDS32 106 // 3x2, 32 bits with masks (red in the low byte)
#define IDB_BAD_FIRST 200   // malformed bitmaps: IDB_BAD_FIRST .. IDB_BAD_FIRST + kBadBitmapCount - 1
#define IDI_SIZES 301       // 16x16 24-bit, 32x32 24-bit with a mask, 48x48 32-bit
#define IDI_ALPHA 302       // 16x16 4-bit and 48x48 32-bit with alpha
#define IDI_PNG 303         // one 32x32 PNG image
#define IDI_BAD_GROUP 304   // a group directory naming a missing image
#define IDI_BAD_IMAGE 305   // a group whose only image is truncated
#define ID_RAW_BAD_ICON 900 // the truncated icon image

#ifndef RC_INVOKED
#include <cstdint>

namespace gditest {

constexpr int kBadBitmapCount = 13;

// Pixels as 0xRRGGBB.
inline uint32_t Rgb24Pixel(int x, int y)
{
    return (uint32_t(x * 50) << 16) | (uint32_t(y * 80 + 10) << 8) | uint32_t(200 - x * 30);
}

// The 8-bit bitmap uses palette entries (x + y) % 4.
inline uint32_t Pal8Color(int index)
{
    static const uint32_t colors[] = {0x102030, 0xFF0000, 0x00FF80, 0x8040C0};
    return colors[index];
}

inline int Pal8Index(int x, int y)
{
    return (x + y) % 4;
}

// The 4-bit bitmap: palette entry i is grey 17 * i, pixel (x, y) uses entry x + 5 * y.
inline uint32_t Pal4Pixel(int x, int y)
{
    const uint32_t g = uint32_t(17 * (x + 5 * y));
    return (g << 16) | (g << 8) | g;
}

// The 1-bit bitmap: black and yellow, yellow where (x + y) % 3 == 0.
inline uint32_t MonoPixel(int x, int y)
{
    return (x + y) % 3 == 0 ? 0xFFFF00 : 0x000000;
}

inline uint32_t Rgb32Pixel(int x, int y)
{
    return (uint32_t(x * 100) << 16) | (uint32_t(y * 120) << 8) | uint32_t(60 + x);
}

// Icon images: solid colours, so the chosen entry is known by its colour.
constexpr uint32_t kIcon16Color = 0xFF0000;
constexpr uint32_t kIcon32Color = 0x00C000;
constexpr uint32_t kIcon48Color = 0x0000FF;
constexpr uint32_t kIconPngColor = 0xFFA000;

// The 32x32 icon's mask: its left 8 columns are transparent.
inline bool Icon32Transparent(int x, int /*y*/)
{
    return x < 8;
}

// The 48x48 alpha icon: alpha 255 in the top half, 128 below, 0 in the last row.
inline int Icon48Alpha(int /*x*/, int y)
{
    return y == 47 ? 0 : y < 24 ? 255 : 128;
}

} // namespace gditest
#endif
