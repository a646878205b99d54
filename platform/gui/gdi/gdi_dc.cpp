// Device contexts: memory DCs, window and screen DCs, selection and attributes.
#include "gdi_dc.h"
#include "windows/window_surface.h"

#include <utility>

namespace twgui::gdi {
namespace {

// The screen as GetDC(NULL) offers it: drawing lands in a small image of its own.
constexpr int kScreenImageSide = 16;

std::shared_ptr<Dc> DcLocked(HDC hdc)
{
    auto dc = LookupLocked<Dc>(hdc, Kind::Dc);
    if (!dc)
        SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

// Selects a bitmap into a memory DC: a bitmap lives in one DC at a time.
HGDIOBJ SelectBitmapLocked(HDC hdc, Dc &dc, HBITMAP hbm, const std::shared_ptr<Bitmap> &bitmap)
{
    if (dc.type != DcType::Memory)
        return nullptr;
    if (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != hdc)
        return nullptr;
    HBITMAP previous = dc.bitmap;
    if (previous != hbm) {
        if (auto old = LookupLocked<Bitmap>(previous, Kind::Bitmap))
            old->selectedInto = nullptr;
        if (!bitmap->stock)
            bitmap->selectedInto = hdc;
        dc.bitmap = hbm;
        dc.target = bitmap;
    }
    return previous;
}

} // namespace

bool SnapshotDc(HDC hdc, DcState *state)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    if (!dc)
        return false;
    if (dc->type == DcType::Window) {
        state->target = Target{dc->surface, &dc->surface->mutex, &dc->surface->image};
    } else {
        state->target = Target{dc->target, &dc->target->mutex, &dc->target->image};
    }
    state->textColor = dc->textColor;
    state->bkColor = dc->bkColor;
    state->bkMode = dc->bkMode;
    auto font = LookupLocked<Font>(dc->font, Kind::Font);
    state->face = font ? font->face : FontFace::System;
    return true;
}

HDC NewWindowDc(HWND hwnd, std::shared_ptr<ClientSurface> surface)
{
    auto dc = NewDc(DcType::Window);
    dc->hwnd = hwnd;
    dc->surface = std::move(surface);
    return static_cast<HDC>(Insert(dc));
}

HDC NewScreenDc()
{
    auto dc = NewDc(DcType::Screen);
    dc->target = std::make_shared<Bitmap>();
    dc->target->image = NewImage(kScreenImageSide, kScreenImageSide);
    return static_cast<HDC>(Insert(dc));
}

bool EndWindowDc(HDC hdc, HWND hwnd)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    if (!dc || dc->type == DcType::Memory || dc->hwnd != hwnd)
        return false;
    RemoveLocked(hdc);
    return true;
}

PairLock::PairLock(std::mutex *a, std::mutex *b) : m_a(a), m_b(b == a ? nullptr : b)
{
    if (m_b)
        std::lock(*m_a, *m_b);
    else
        m_a->lock();
}

PairLock::~PairLock()
{
    m_a->unlock();
    if (m_b)
        m_b->unlock();
}

} // namespace twgui::gdi

using namespace twgui::gdi;

// A memory DC starts with the stock 1x1 bitmap; any valid DC, or none, may be given
// as the one to be compatible with, since every DC here has 32-bit pixels.
extern "C" HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    std::shared_ptr<Dc> dc;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        if (hdc && !DcLocked(hdc))
            return nullptr;
        dc = NewDc(DcType::Memory);
        dc->bitmap = StockBitmap();
        dc->target = LookupLocked<Bitmap>(dc->bitmap, Kind::Bitmap);
    }
    return static_cast<HDC>(Insert(dc));
}

// Only memory DCs are deleted; the bitmap they hold is free to be selected elsewhere
// or deleted afterwards.
extern "C" BOOL WINAPI DeleteDC(HDC hdc)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    if (!dc || dc->type != DcType::Memory)
        return FALSE;
    if (auto bitmap = LookupLocked<Bitmap>(dc->bitmap, Kind::Bitmap); bitmap && bitmap->selectedInto == hdc)
        bitmap->selectedInto = nullptr;
    RemoveLocked(hdc);
    return TRUE;
}

extern "C" HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    auto object = LookupLocked(h);
    if (!dc || !object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    switch (object->kind) {
    case Kind::Bitmap:
        return SelectBitmapLocked(hdc, *dc, static_cast<HBITMAP>(h), std::static_pointer_cast<Bitmap>(object));
    case Kind::Brush:
        return std::exchange(dc->brush, static_cast<HBRUSH>(h));
    case Kind::Pen:
        return std::exchange(dc->pen, static_cast<HPEN>(h));
    case Kind::Font:
        return std::exchange(dc->font, static_cast<HFONT>(h));
    case Kind::Dc:
    case Kind::Icon:
        break;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

extern "C" COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    return dc ? std::exchange(dc->bkColor, color & 0xFFFFFF) : CLR_INVALID;
}

extern "C" COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    return dc ? std::exchange(dc->textColor, color & 0xFFFFFF) : CLR_INVALID;
}

extern "C" int WINAPI SetBkMode(HDC hdc, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> lock(TableMutex());
    auto dc = DcLocked(hdc);
    return dc ? std::exchange(dc->bkMode, mode) : 0;
}

extern "C" COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    DcState state;
    if (!SnapshotDc(hdc, &state))
        return CLR_INVALID;
    std::lock_guard<std::mutex> lock(*state.target.mutex);
    const QImage &image = *state.target.image;
    if (!image.rect().contains(x, y))
        return CLR_INVALID;
    return ToColorRef(image.pixel(x, y));
}
