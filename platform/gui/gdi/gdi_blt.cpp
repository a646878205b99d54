// Raster operations: FillRect, BitBlt and StretchBlt on 32-bit pixels. The
// operations combine the red, green and blue bytes of source and destination
// bitwise; the unused top byte stays 0xFF, as Format_RGB32 requires.
#include "gdi_dc.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace twgui::gdi {
namespace {

constexpr QRgb kOpaque = 0xFF000000u;

enum class Rop { Copy, And, Paint, Invert, Black, White };

bool DecodeRop(DWORD code, Rop *rop)
{
    switch (code) {
    case SRCCOPY: *rop = Rop::Copy; return true;
    case SRCAND: *rop = Rop::And; return true;
    case SRCPAINT: *rop = Rop::Paint; return true;
    case SRCINVERT: *rop = Rop::Invert; return true;
    case BLACKNESS: *rop = Rop::Black; return true;
    case WHITENESS: *rop = Rop::White; return true;
    default: return false;
    }
}

bool UsesSource(Rop rop)
{
    return rop != Rop::Black && rop != Rop::White;
}

// The cells [start, start + length) clipped to [0, limit); a negative length
// counts back from start.
struct Span {
    int from = 0;
    int to = 0;
    bool empty() const { return from >= to; }
};

Span Clip(int64_t start, int64_t length, int limit)
{
    if (length < 0) {
        start += length;
        length = -length;
    }
    Span span;
    span.from = int(std::clamp<int64_t>(start, 0, limit));
    span.to = int(std::clamp<int64_t>(start + length, 0, limit));
    return span;
}

// One axis of a blit: the destination cells drawn and the source cell each one
// takes (nearest neighbour), or -1 where the source lies outside its image.
struct Axis {
    int first = 0;            // first destination cell drawn
    std::vector<int> source;  // per destination cell from `first` on
};

// The destination span [dest, dest + destLen) clipped to [0, destLimit), each cell
// mapped onto the source span [src, src + srcLen) within [0, srcLimit). Negative
// lengths mirror, as they do for StretchBlt.
Axis MapAxis(int64_t dest, int64_t destLen, int64_t src, int64_t srcLen, int destLimit, int srcLimit)
{
    const bool mirror = (destLen < 0) != (srcLen < 0);
    if (destLen < 0) {
        dest += destLen;
        destLen = -destLen;
    }
    if (srcLen < 0) {
        src += srcLen;
        srcLen = -srcLen;
    }
    Axis axis;
    const Span span = Clip(dest, destLen, destLimit);
    if (srcLen == 0 || span.empty())
        return axis;
    axis.first = span.from;
    axis.source.reserve(size_t(span.to - span.from));
    for (int64_t d = span.from; d < span.to; ++d) {
        // The source cell under the centre of destination cell i: (i + 1/2) * srcLen / destLen,
        // computed without overflow as lengths stay below 2^32.
        const uint64_t i = uint64_t(d - dest);
        int64_t k = int64_t(((2 * i + 1) * uint64_t(srcLen)) / (2 * uint64_t(destLen)));
        if (mirror)
            k = srcLen - 1 - k;
        const int64_t s = src + k;
        axis.source.push_back(s >= 0 && s < srcLimit ? int(s) : -1);
    }
    return axis;
}

template <class Op>
void Combine(QImage &dest, const QImage &src, const Axis &cols, const Axis &rows, Op op)
{
    for (size_t r = 0; r < rows.source.size(); ++r) {
        if (rows.source[r] < 0)
            continue;
        auto *out = reinterpret_cast<QRgb *>(dest.scanLine(rows.first + int(r))) + cols.first;
        const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(rows.source[r]));
        for (size_t c = 0; c < cols.source.size(); ++c) {
            if (cols.source[c] >= 0)
                out[c] = kOpaque | op(out[c], in[cols.source[c]]);
        }
    }
}

void Fill(QImage &dest, Span cols, Span rows, QRgb value)
{
    if (cols.empty())
        return;
    for (int y = rows.from; y < rows.to; ++y) {
        auto *line = reinterpret_cast<QRgb *>(dest.scanLine(y));
        std::fill(line + cols.from, line + cols.to, value);
    }
}

void Apply(Rop rop, QImage &dest, const QImage &src, const Axis &cols, const Axis &rows)
{
    switch (rop) {
    case Rop::Copy: Combine(dest, src, cols, rows, [](QRgb, QRgb s) { return s; }); break;
    case Rop::And: Combine(dest, src, cols, rows, [](QRgb d, QRgb s) { return d & s; }); break;
    case Rop::Paint: Combine(dest, src, cols, rows, [](QRgb d, QRgb s) { return d | s; }); break;
    case Rop::Invert: Combine(dest, src, cols, rows, [](QRgb d, QRgb s) { return d ^ s; }); break;
    case Rop::Black:
    case Rop::White: break;
    }
}

BOOL Blit(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
          int hSrc, DWORD code)
{
    Rop rop;
    if (!DecodeRop(code, &rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DcState dest, src;
    if (!SnapshotDc(hdcDest, &dest) || (UsesSource(rop) && !SnapshotDc(hdcSrc, &src)))
        return FALSE;
    PairLock lock(dest.target.mutex, src.target.mutex);
    QImage &out = *dest.target.image;
    if (!UsesSource(rop)) {
        Fill(out, Clip(xDest, wDest, out.width()), Clip(yDest, hDest, out.height()),
             rop == Rop::Black ? kOpaque : 0xFFFFFFFFu);
        return TRUE;
    }
    const QImage *in = src.target.image;
    const Axis cols = MapAxis(xDest, wDest, xSrc, wSrc, out.width(), in->width());
    const Axis rows = MapAxis(yDest, hDest, ySrc, hSrc, out.height(), in->height());
    if (cols.source.empty() || rows.source.empty())
        return TRUE;
    // Within one image, read from a copy so that overlapping areas read what was there.
    QImage copy;
    if (in == &out) {
        copy = out.copy();
        in = &copy;
    }
    Apply(rop, out, *in, cols, rows);
    return TRUE;
}

} // namespace
} // namespace twgui::gdi

using namespace twgui::gdi;

extern "C" BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    return Blit(hdc, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
}

extern "C" BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                                  int ySrc, int wSrc, int hSrc, DWORD rop)
{
    return Blit(hdcDest, xDest, yDest, wDest, hDest, hdcSrc, xSrc, ySrc, wSrc, hSrc, rop);
}

// The rectangle excludes its right and bottom edges; an empty or inverted one fills
// nothing.
extern "C" int WINAPI FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr)
{
    COLORREF color = 0;
    DcState state;
    if (!lprc || !SnapshotDc(hDC, &state))
        return 0;
    const BrushPaint paint = LookupBrush(hbr, &color);
    if (paint != BrushPaint::Solid) {
        if (paint == BrushPaint::Invalid)
            SetLastError(ERROR_INVALID_HANDLE);
        return paint == BrushPaint::Nothing ? 1 : 0;
    }
    std::lock_guard<std::mutex> lock(*state.target.mutex);
    QImage &image = *state.target.image;
    const int64_t width = int64_t(lprc->right) - lprc->left;
    const int64_t height = int64_t(lprc->bottom) - lprc->top;
    if (width > 0 && height > 0)
        Fill(image, Clip(lprc->left, width, image.width()), Clip(lprc->top, height, image.height()), ToQRgb(color));
    return 1;
}
