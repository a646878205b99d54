// Packed device-independent bitmaps, as bitmap and icon resources carry them: a
// BITMAPINFOHEADER (or a later, longer version), colour masks or a palette, then the
// pixel rows. Parsing checks every size against the data, so a damaged resource is
// refused rather than read beyond its end.
#pragma once
#include <windows.h>

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace twgui::gdi {

// Little-endian fields of resource data.
inline uint16_t Read16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t Read32(const uint8_t *p)
{
    return uint32_t(Read16(p)) | (uint32_t(Read16(p + 2)) << 16);
}

struct Dib {
    int width = 0;
    int height = 0;                // rows of the picture
    bool bottomUp = true;
    int bitCount = 0;              // 1, 4, 8, 16, 24 or 32
    bool bitfields = false;        // 16 and 32 bits: pixels are decoded through masks
    uint32_t masks[3] = {};        // red, green, blue
    std::vector<QRgb> palette;     // up to 8 bits: 1 << bitCount entries, the missing ones black
    const uint8_t *bits = nullptr; // the first stored row
    size_t stride = 0;             // bytes per row, a multiple of 4
    size_t after = 0;              // bytes of data left after the pixel rows
};

// Parses a packed DIB of `size` bytes. An icon image stores the AND mask's rows
// after the colour rows and counts both in biHeight: pass icon = true to take half.
// False for anything malformed, unsupported (compressed) or absurdly large.
bool ParseDib(const uint8_t *data, size_t size, bool icon, Dib *dib);

// The picture, top row first, in Format_RGB32 or Format_ARGB32; the latter takes
// 32-bit pixels' fourth byte as alpha (other depths are opaque). Null when memory
// runs out.
QImage DibImage(const Dib &dib, QImage::Format format);

// Applies an icon's AND mask, which follows the colour rows, to its ARGB32 picture:
// pixels whose mask bit is set become transparent. False when the mask does not fit
// in the data.
bool ApplyIconMask(const Dib &dib, QImage *image);

} // namespace twgui::gdi
