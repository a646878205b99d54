// Packed device-independent bitmaps: parsing and decoding.
#include "gdi_dib.h"
#include "gdi_table.h"

#include <climits>

namespace twgui::gdi {
namespace {

constexpr size_t kInfoHeaderSize = 40;

// The header versions: BITMAPINFOHEADER, its two extensions with masks, V4 and V5.
bool KnownHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// One colour channel of a masked pixel, scaled to 8 bits.
int Channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const uint64_t max = uint64_t(mask) >> shift;
    return int(uint64_t((pixel & mask) >> shift) * 255 / max);
}

QRgb Masked(const Dib &dib, uint32_t pixel)
{
    return qRgb(Channel(pixel, dib.masks[0]), Channel(pixel, dib.masks[1]), Channel(pixel, dib.masks[2]));
}

// One row of stored pixels, decoded into ARGB values.
void DecodeRow(const Dib &dib, const uint8_t *in, QRgb *out, bool alpha)
{
    const int w = dib.width;
    switch (dib.bitCount) {
    case 1:
        for (int x = 0; x < w; ++x)
            out[x] = dib.palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (int x = 0; x < w; ++x)
            out[x] = dib.palette[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
        break;
    case 8:
        for (int x = 0; x < w; ++x)
            out[x] = dib.palette[in[x]];
        break;
    case 16:
        for (int x = 0; x < w; ++x)
            out[x] = Masked(dib, Read16(in + 2 * x));
        break;
    case 24:
        for (int x = 0; x < w; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
        break;
    case 32:
        for (int x = 0; x < w; ++x, in += 4) {
            if (dib.bitfields)
                out[x] = Masked(dib, Read32(in));
            else
                out[x] = qRgba(in[2], in[1], in[0], alpha ? in[3] : 0xFF);
        }
        break;
    }
}

} // namespace

bool ParseDib(const uint8_t *data, size_t size, bool icon, Dib *dib)
{
    if (!data || size < kInfoHeaderSize)
        return false;
    const uint32_t headerSize = Read32(data);
    if (!KnownHeaderSize(headerSize) || headerSize > size)
        return false;
    const int32_t width = int32_t(Read32(data + 4));
    int32_t height = int32_t(Read32(data + 8));
    const uint16_t planes = Read16(data + 12);
    const uint16_t bitCount = Read16(data + 14);
    const uint32_t compression = Read32(data + 16);
    const uint32_t clrUsed = Read32(data + 32);

    if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN)
        return false;
    dib->bottomUp = height > 0;
    if (height < 0)
        height = -height;
    if (icon)
        height /= 2;
    if (height == 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        qint64(width) * height > kMaxBitmapPixels)
        return false;
    dib->width = width;
    dib->height = height;

    switch (bitCount) {
    case 1: case 4: case 8: case 24:
        if (compression != BI_RGB)
            return false;
        break;
    case 16: case 32:
        if (compression != BI_RGB && compression != BI_BITFIELDS)
            return false;
        break;
    default:
        return false;
    }
    dib->bitCount = bitCount;
    dib->bitfields = compression == BI_BITFIELDS || bitCount == 16;

    size_t offset = headerSize;
    if (compression == BI_BITFIELDS) {
        // The masks follow a plain BITMAPINFOHEADER; longer headers hold them.
        if (headerSize == kInfoHeaderSize) {
            if (size < offset + 12)
                return false;
            offset += 12;
        }
        for (int i = 0; i < 3; ++i)
            dib->masks[i] = Read32(data + kInfoHeaderSize + 4 * i);
    } else if (bitCount == 16) {
        dib->masks[0] = 0x7C00; // 5-5-5
        dib->masks[1] = 0x03E0;
        dib->masks[2] = 0x001F;
    }

    // Up to 8 bits the palette has clrUsed entries (0: all of them); deeper bitmaps
    // may carry a palette too, which is skipped.
    const size_t maxColors = bitCount <= 8 ? size_t(1) << bitCount : 0;
    size_t colors = clrUsed;
    if (bitCount <= 8) {
        if (colors == 0)
            colors = maxColors;
        if (colors > maxColors)
            return false;
    }
    if (colors > (size - offset) / 4)
        return false;
    dib->palette.assign(maxColors, qRgb(0, 0, 0));
    for (size_t i = 0; i < colors && i < maxColors; ++i) {
        const uint8_t *q = data + offset + 4 * i;
        dib->palette[i] = qRgb(q[2], q[1], q[0]);
    }
    offset += 4 * colors;

    dib->stride = ((size_t(width) * bitCount + 31) / 32) * 4;
    const size_t pixelBytes = dib->stride * size_t(height);
    if (pixelBytes > size - offset)
        return false;
    dib->bits = data + offset;
    dib->after = size - offset - pixelBytes;
    return true;
}

QImage DibImage(const Dib &dib, QImage::Format format)
{
    const bool alpha = format == QImage::Format_ARGB32;
    QImage image(dib.width, dib.height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < dib.height; ++y) {
        const int stored = dib.bottomUp ? dib.height - 1 - y : y;
        DecodeRow(dib, dib.bits + size_t(stored) * dib.stride, reinterpret_cast<QRgb *>(image.scanLine(y)), alpha);
    }
    return image;
}

bool ApplyIconMask(const Dib &dib, QImage *image)
{
    const size_t stride = ((size_t(dib.width) + 31) / 32) * 4;
    if (stride * size_t(dib.height) > dib.after)
        return false;
    const uint8_t *mask = dib.bits + dib.stride * size_t(dib.height);
    for (int y = 0; y < dib.height; ++y) {
        const uint8_t *row = mask + size_t(dib.bottomUp ? dib.height - 1 - y : y) * stride;
        auto *out = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < dib.width; ++x) {
            if ((row[x >> 3] >> (7 - (x & 7))) & 1)
                out[x] = 0;
        }
    }
    return true;
}

} // namespace twgui::gdi
