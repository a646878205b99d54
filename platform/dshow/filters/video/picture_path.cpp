#include "picture_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <twgui/video.h>

extern "C" {
#include <libswscale/swscale.h>
}

namespace twds {
namespace {

const DWORD kFourccYV12 = 0x32315659;     // 'YV12'
const LONG kMaxSide = 8192;

int Aligned(LONG pixels)
{
    return int((pixels + 15) & ~LONG(15));
}

LONG Width(const RECT &r)
{
    return r.right - r.left;
}

LONG Height(const RECT &r)
{
    return r.bottom - r.top;
}

uint32_t ToPixel(COLORREF c)
{
    return (uint32_t(c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The format block of a type the path takes, or null.
const VIDEOINFOHEADER *VideoInfo(const AM_MEDIA_TYPE &mt, bool *yv12)
{
    if (mt.majortype != MEDIATYPE_Video || mt.formattype != FORMAT_VideoInfo || !mt.pbFormat ||
        mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(mt.pbFormat);
    const BITMAPINFOHEADER &bih = vih->bmiHeader;
    if (bih.biWidth <= 0 || bih.biWidth > kMaxSide || bih.biHeight == 0 || bih.biHeight > kMaxSide ||
        bih.biHeight < -kMaxSide)
        return nullptr;
    if (mt.subtype == MEDIASUBTYPE_RGB32 && bih.biBitCount == 32 && bih.biCompression == BI_RGB) {
        *yv12 = false;
        return vih;
    }
    if (mt.subtype == MEDIASUBTYPE_YV12 && bih.biCompression == kFourccYV12 && bih.biHeight > 0 &&
        bih.biWidth % 2 == 0 && bih.biHeight % 2 == 0) {
        *yv12 = true;
        return vih;
    }
    return nullptr;
}

} // namespace

struct PicturePath::Bitmap {
    VMR9AlphaBitmap params{};
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
};

PicturePath::PicturePath() = default;

PicturePath::~PicturePath()
{
    sws_freeContext(m_convert);
    sws_freeContext(m_scale);
}

HRESULT PicturePath::Check(const AM_MEDIA_TYPE &mt)
{
    bool yv12 = false;
    return VideoInfo(mt, &yv12) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PicturePath::SetFormat(const AM_MEDIA_TYPE &mt)
{
    bool yv12 = false;
    const VIDEOINFOHEADER *vih = VideoInfo(mt, &yv12);
    if (!vih)
        return VFW_E_TYPE_NOT_ACCEPTED;
    std::lock_guard<std::mutex> hold(m_lock);
    m_width = vih->bmiHeader.biWidth;
    m_height = std::abs(vih->bmiHeader.biHeight);
    m_yv12 = yv12;
    m_bottomUp = !yv12 && vih->bmiHeader.biHeight > 0;
    m_avgTimePerFrame = vih->AvgTimePerFrame;
    m_lastStride = Aligned(m_width);
    m_last.assign(size_t(m_lastStride) * size_t(m_height), 0);
    m_haveLast = false;
    m_source = RECT{0, 0, m_width, m_height};
    return S_OK;
}

bool PicturePath::NativeSize(LONG *width, LONG *height)
{
    std::lock_guard<std::mutex> hold(m_lock);
    *width = m_width;
    *height = m_height;
    return m_width > 0;
}

REFERENCE_TIME PicturePath::AvgTimePerFrame()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_avgTimePerFrame;
}

HRESULT PicturePath::Take(const BYTE *data, LONG length)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_width == 0)
        return VFW_E_NOT_CONNECTED;
    if (!data)
        return E_POINTER;
    const size_t w = size_t(m_width), h = size_t(m_height);
    if (!m_yv12) {
        if (length < 0 || size_t(length) < w * h * 4)
            return E_INVALIDARG;
        for (size_t row = 0; row < h; ++row) {
            const BYTE *in = data + (m_bottomUp ? h - 1 - row : row) * w * 4;
            std::memcpy(&m_last[row * size_t(m_lastStride)], in, w * 4);
        }
    } else {
        // Y plane, then V and U at half size (rows of half the width).
        if (length < 0 || size_t(length) < w * h + 2 * (w / 2) * (h / 2))
            return E_INVALIDARG;
        m_convert = sws_getCachedContext(m_convert, int(w), int(h), AV_PIX_FMT_YUV420P, int(w), int(h), AV_PIX_FMT_BGR0,
                                         SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!m_convert)
            return E_OUTOFMEMORY;
        const uint8_t *planes[4] = {data, data + w * h + (w / 2) * (h / 2), data + w * h, nullptr};
        const int strides[4] = {int(w), int(w / 2), int(w / 2), 0};
        uint8_t *out[4] = {reinterpret_cast<uint8_t *>(m_last.data()), nullptr, nullptr, nullptr};
        const int outStrides[4] = {m_lastStride * 4, 0, 0, 0};
        sws_scale(m_convert, planes, strides, 0, int(h), out, outStrides);
    }
    m_haveLast = true;
    return S_OK;
}

void PicturePath::ComposeLocked()
{
    const LONG dw = Width(m_dest), dh = Height(m_dest);
    const uint32_t border = ToPixel(m_border);
    if (!m_haveLast || Width(m_source) <= 0 || Height(m_source) <= 0) {
        m_composed.assign(size_t(dw) * size_t(dh), border);
        return;
    }
    m_composed.resize(size_t(dw) * size_t(dh));
    // The video's place in the destination: all of it, or the largest rectangle
    // of the source's shape, centred.
    LONG vw = dw, vh = dh;
    if (m_letterBox) {
        const int64_t sw = Width(m_source), sh = Height(m_source);
        if (int64_t(dw) * sh > int64_t(dh) * sw)
            vw = LONG(int64_t(dh) * sw / sh);
        else
            vh = LONG(int64_t(dw) * sh / sw);
    }
    if (vw <= 0 || vh <= 0) {
        std::fill(m_composed.begin(), m_composed.end(), border);
        return;
    }
    const LONG vx = (dw - vw) / 2, vy = (dh - vh) / 2;
    // The border colour around the video's place (each frame covers the rest).
    for (LONG row = 0; row < dh; ++row) {
        uint32_t *line = &m_composed[size_t(row) * size_t(dw)];
        if (row < vy || row >= vy + vh) {
            std::fill(line, line + dw, border);
        } else {
            std::fill(line, line + vx, border);
            std::fill(line + vx + vw, line + dw, border);
        }
    }
    if (vw == Width(m_source) && vh == Height(m_source)) {
        // Shown at its own size: rows straight from the picture.
        for (LONG row = 0; row < vh; ++row)
            std::memcpy(&m_composed[size_t(vy + row) * size_t(dw) + size_t(vx)],
                        &m_last[size_t(m_source.top + row) * size_t(m_lastStride) + size_t(m_source.left)],
                        size_t(vw) * 4);
        BlendBitmapLocked(vx, vy, vw, vh);
        return;
    }
    m_scale = sws_getCachedContext(m_scale, Width(m_source), Height(m_source), AV_PIX_FMT_BGR0, vw, vh, AV_PIX_FMT_BGR0,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_scale)
        return;
    m_scaledStride = Aligned(vw);
    m_scaled.resize(size_t(m_scaledStride) * size_t(vh));
    const uint8_t *in[4] = {
        reinterpret_cast<const uint8_t *>(&m_last[size_t(m_source.top) * size_t(m_lastStride) + size_t(m_source.left)]),
        nullptr, nullptr, nullptr};
    const int inStrides[4] = {m_lastStride * 4, 0, 0, 0};
    uint8_t *out[4] = {reinterpret_cast<uint8_t *>(m_scaled.data()), nullptr, nullptr, nullptr};
    const int outStrides[4] = {m_scaledStride * 4, 0, 0, 0};
    sws_scale(m_scale, in, inStrides, 0, Height(m_source), out, outStrides);
    for (LONG row = 0; row < vh; ++row)
        std::memcpy(&m_composed[size_t(vy + row) * size_t(dw) + size_t(vx)], &m_scaled[size_t(row) * size_t(m_scaledStride)],
                    size_t(vw) * 4);
    BlendBitmapLocked(vx, vy, vw, vh);
}

// The bitmap's normalised rectangle is a place on the video; each of its pixels
// takes the nearest bitmap pixel, blended with the bitmap's opacity.
void PicturePath::BlendBitmapLocked(int vx, int vy, int vw, int vh)
{
    if (!m_bitmap || (m_bitmap->params.dwFlags & VMR9AlphaBitmap_Disable) || m_bitmap->params.fAlpha <= 0.0f)
        return;
    const Bitmap &b = *m_bitmap;
    const float alpha = std::min(b.params.fAlpha, 1.0f);
    const VMR9NormalizedRect &r = b.params.rDest;
    const double left = vx + double(r.left) * vw, top = vy + double(r.top) * vh;
    const double right = vx + double(r.right) * vw, bottom = vy + double(r.bottom) * vh;
    if (!(right > left) || !(bottom > top))
        return;
    const LONG dw = Width(m_dest), dh = Height(m_dest);
    const int x0 = int(std::max(std::lround(left), long(std::max(vx, 0))));
    const int x1 = int(std::min(std::lround(right), long(std::min(vx + vw, int(dw)))));
    const int y0 = int(std::max(std::lround(top), long(std::max(vy, 0))));
    const int y1 = int(std::min(std::lround(bottom), long(std::min(vy + vh, int(dh)))));
    const bool keyed = (b.params.dwFlags & VMR9AlphaBitmap_SrcColorKey) != 0;
    const uint32_t key = ToPixel(b.params.clrSrcKey);
    for (int y = y0; y < y1; ++y) {
        const int by = std::clamp(int((y + 0.5 - top) * b.height / (bottom - top)), 0, b.height - 1);
        for (int x = x0; x < x1; ++x) {
            const int bx = std::clamp(int((x + 0.5 - left) * b.width / (right - left)), 0, b.width - 1);
            const uint32_t over = b.pixels[size_t(by) * size_t(b.width) + size_t(bx)];
            if (keyed && over == key)
                continue;
            uint32_t &px = m_composed[size_t(y) * size_t(dw) + size_t(x)];
            uint32_t mixed = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const float v = float((px >> shift) & 0xFF), o = float((over >> shift) & 0xFF);
                mixed |= uint32_t(std::lround(v + (o - v) * alpha)) << shift;
            }
            px = mixed;
        }
    }
}

HRESULT PicturePath::Present(HWND hwnd)
{
    if (!hwnd)
        return S_FALSE;
    twgui::PictureView view;
    int x = 0, y = 0;
    std::vector<uint32_t> picture;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (Width(m_dest) <= 0 || Height(m_dest) <= 0)
            return S_FALSE;
        ComposeLocked();
        picture.swap(m_composed);
        view = twgui::PictureView{picture.data(), int(Width(m_dest)), int(Height(m_dest)), int(Width(m_dest))};
        x = m_dest.left;
        y = m_dest.top;
    }
    // Outside m_lock: the windows library takes the surface's own lock only.
    const bool shown = twgui::PresentPicture(hwnd, x, y, view);
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_composed.empty())
        m_composed.swap(picture);     // keep the buffer for the next picture
    return shown ? S_OK : S_FALSE;
}

HRESULT PicturePath::Repaint(HDC hdc)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (Width(m_dest) <= 0 || Height(m_dest) <= 0)
        return S_OK;
    ComposeLocked();
    const twgui::PictureView view{m_composed.data(), int(Width(m_dest)), int(Height(m_dest)), int(Width(m_dest))};
    return twgui::DrawPicture(hdc, m_dest.left, m_dest.top, view) ? S_OK : E_INVALIDARG;
}

HRESULT PicturePath::SetPosition(const RECT *source, const RECT *destination)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (source && (source->left < 0 || source->top < 0 || source->right > m_width || source->bottom > m_height ||
                   Width(*source) <= 0 || Height(*source) <= 0))
        return E_INVALIDARG;
    if (destination && (Width(*destination) < 0 || Height(*destination) < 0 || Width(*destination) > kMaxSide ||
                        Height(*destination) > kMaxSide))
        return E_INVALIDARG;
    if (source)
        m_source = *source;
    if (destination)
        m_dest = *destination;
    return S_OK;
}

void PicturePath::GetPosition(RECT *source, RECT *destination)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (source)
        *source = m_source;
    if (destination)
        *destination = m_dest;
}

void PicturePath::DefaultSource()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_source = RECT{0, 0, m_width, m_height};
}

void PicturePath::SetBorderColor(COLORREF color)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_border = color;
}

COLORREF PicturePath::BorderColor()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_border;
}

void PicturePath::SetLetterBox(bool letterBox)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_letterBox = letterBox;
}

bool PicturePath::LetterBox()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_letterBox;
}

namespace {

bool ValidBitmapParams(const VMR9AlphaBitmap &p)
{
    const VMR9NormalizedRect &r = p.rDest;
    return std::isfinite(p.fAlpha) && p.fAlpha >= 0.0f && p.fAlpha <= 1.0f && std::isfinite(r.left) &&
           std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom);
}

} // namespace

HRESULT PicturePath::SetAlphaBitmap(const VMR9AlphaBitmap &params, std::vector<uint32_t> pixels, int width, int height)
{
    if (!(params.dwFlags & VMR9AlphaBitmap_Disable) &&
        (!ValidBitmapParams(params) || width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)))
        return E_INVALIDARG;
    auto bitmap = std::make_unique<Bitmap>();
    bitmap->params = params;
    bitmap->params.hdc = nullptr;     // the pixels were read; the caller's DC is not kept
    bitmap->pixels = std::move(pixels);
    bitmap->width = width;
    bitmap->height = height;
    std::lock_guard<std::mutex> hold(m_lock);
    m_bitmap = std::move(bitmap);
    return S_OK;
}

HRESULT PicturePath::UpdateAlphaBitmap(const VMR9AlphaBitmap &params)
{
    if (!(params.dwFlags & VMR9AlphaBitmap_Disable) && !ValidBitmapParams(params))
        return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_bitmap)
        return E_UNEXPECTED;
    const RECT source = m_bitmap->params.rSrc;
    const DWORD kept = m_bitmap->params.dwFlags & VMR9AlphaBitmap_hDC;
    m_bitmap->params = params;
    m_bitmap->params.hdc = nullptr;
    m_bitmap->params.rSrc = source;     // the pixels stay those first given
    m_bitmap->params.dwFlags = (params.dwFlags & ~DWORD(VMR9AlphaBitmap_hDC)) | kept;
    return S_OK;
}

HRESULT PicturePath::GetAlphaBitmap(VMR9AlphaBitmap *params)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_bitmap) {
        *params = VMR9AlphaBitmap{};
        params->dwFlags = VMR9AlphaBitmap_Disable;
        return S_OK;
    }
    *params = m_bitmap->params;
    return S_OK;
}

HRESULT PicturePath::CurrentImage(std::vector<BYTE> *dib)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_haveLast)
        return E_UNEXPECTED;
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof(bih);
    bih.biWidth = m_width;
    bih.biHeight = m_height;
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = DWORD(m_width) * DWORD(m_height) * 4;
    dib->resize(sizeof(bih) + bih.biSizeImage);
    std::memcpy(dib->data(), &bih, sizeof(bih));
    BYTE *rows = dib->data() + sizeof(bih);
    for (LONG row = 0; row < m_height; ++row)
        std::memcpy(rows + size_t(m_height - 1 - row) * size_t(m_width) * 4, &m_last[size_t(row) * size_t(m_lastStride)],
                    size_t(m_width) * 4);
    return S_OK;
}

} // namespace twds
