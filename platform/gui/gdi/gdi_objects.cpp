// Stock objects, brushes and bitmaps: creation, deletion and description.
#include "gdi_dc.h"
#include "gdi_objects.h"

#include <cstring>

namespace twgui::gdi {

BrushPaint LookupBrush(HBRUSH hbr, COLORREF *color)
{
    switch (reinterpret_cast<uintptr_t>(hbr)) {
    case COLOR_WINDOW + 1:
        *color = RGB(255, 255, 255);
        return BrushPaint::Solid;
    case COLOR_BTNFACE + 1:
        *color = RGB(240, 240, 240);
        return BrushPaint::Solid;
    default:
        break;
    }
    std::lock_guard<std::mutex> lock(TableMutex());
    auto brush = LookupLocked<Brush>(hbr, Kind::Brush);
    if (!brush)
        return BrushPaint::Invalid;
    if (brush->null)
        return BrushPaint::Nothing;
    *color = brush->color;
    return BrushPaint::Solid;
}

} // namespace twgui::gdi

bool twgui::BrushColor(HBRUSH brush, QRgb *color)
{
    COLORREF ref = 0;
    if (gdi::LookupBrush(brush, &ref) != gdi::BrushPaint::Solid)
        return false;
    *color = gdi::ToQRgb(ref);
    return true;
}

using namespace twgui::gdi;

extern "C" HGDIOBJ WINAPI GetStockObject(int i)
{
    return StockObject(i);
}

extern "C" HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    auto brush = std::make_shared<Brush>();
    brush->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(Insert(brush));
}

// Every bitmap has 32-bit pixels, whatever DC it is made for. A zero size gives the
// stock 1x1 bitmap, as on Windows.
extern "C" HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        if (!LookupLocked<Dc>(hdc, Kind::Dc)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    if (cx == 0 || cy == 0)
        return StockBitmap();
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->image = NewImage(cx, cy);
    if (bitmap->image.isNull()) {
        SetLastError(cx < 0 || cy < 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(Insert(bitmap));
}

// Stock objects stay; a bitmap selected into a DC stays until it is deselected.
// DCs and icons have calls of their own.
extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto object = LookupLocked(ho);
    if (!object || object->kind == Kind::Dc || object->kind == Kind::Icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->stock)
        return TRUE;
    if (object->kind == Kind::Bitmap && std::static_pointer_cast<Bitmap>(object)->selectedInto)
        return FALSE;
    RemoveLocked(ho);
    return TRUE;
}

// Bitmaps are described as device-dependent 32-bit bitmaps without accessible bits.
extern "C" int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv)
{
    std::shared_ptr<Bitmap> bitmap;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        bitmap = LookupLocked<Bitmap>(h, Kind::Bitmap);
    }
    if (!bitmap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!pv)
        return int(sizeof(BITMAP));
    if (c < int(sizeof(BITMAP))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    BITMAP bm{};
    {
        std::lock_guard<std::mutex> lock(bitmap->mutex);
        bm.bmWidth = bitmap->image.width();
        bm.bmHeight = bitmap->image.height();
    }
    bm.bmWidthBytes = bm.bmWidth * 4;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 32;
    std::memcpy(pv, &bm, sizeof(bm));
    return int(sizeof(BITMAP));
}
