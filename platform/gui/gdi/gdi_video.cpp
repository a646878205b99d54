// Pictures for video renderers (twgui/video.h): copies between a renderer's
// 32-bit pictures and the images that windows and DCs draw into.
#include <twgui/video.h>

#include "automation/automation.h"
#include "gdi_dc.h"
#include "windows/window_surface.h"

#include <algorithm>

namespace twgui {
namespace {

// Copies the picture into the image at (x, y), clipped; the caller holds the
// image's mutex. Images are Format_RGB32, whose pixels carry an opaque alpha byte.
void CopyInto(QImage &image, int x, int y, const PictureView &picture)
{
    if (!picture.pixels || picture.width <= 0 || picture.height <= 0)
        return;
    const int x0 = std::max(x, 0), x1 = std::min<int64_t>(int64_t(x) + picture.width, image.width());
    const int y0 = std::max(y, 0), y1 = std::min<int64_t>(int64_t(y) + picture.height, image.height());
    for (int row = y0; row < y1; ++row) {
        const uint32_t *in = picture.pixels + size_t(row - y) * size_t(picture.stride) + (x0 - x);
        auto *out = reinterpret_cast<uint32_t *>(image.scanLine(row)) + x0;
        for (int col = x0; col < x1; ++col)
            *out++ = *in++ | 0xFF000000u;
    }
}

} // namespace

bool PresentPicture(HWND hwnd, int x, int y, const PictureView &picture)
{
    auto surface = GetClientSurface(hwnd);
    if (!surface)
        return false;
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(surface->mutex);
        CopyInto(surface->image, x, y, picture);
        first = surface->videoPictures++ == 0;
    }
    PresentClientSurface(hwnd);
    // The moment a window first shows video, for unattended runs and benchmarks.
    if (first)
        AppendUiLog({"video", "shown"});
    return true;
}

bool DrawPicture(HDC hdc, int x, int y, const PictureView &picture)
{
    gdi::DcState state;
    if (!gdi::SnapshotDc(hdc, &state))
        return false;
    std::lock_guard<std::mutex> lock(*state.target.mutex);
    CopyInto(*state.target.image, x, y, picture);
    return true;
}

bool ReadPicture(HDC hdc, const RECT &rect, std::vector<uint32_t> *pixels)
{
    const int64_t width = int64_t(rect.right) - rect.left, height = int64_t(rect.bottom) - rect.top;
    gdi::DcState state;
    if (!pixels || width <= 0 || height <= 0 || width * height > (int64_t(1) << 26) || !gdi::SnapshotDc(hdc, &state))
        return false;
    pixels->assign(size_t(width * height), 0);
    std::lock_guard<std::mutex> lock(*state.target.mutex);
    const QImage &image = *state.target.image;
    for (int64_t row = 0; row < height; ++row) {
        const int64_t y = rect.top + row;
        if (y < 0 || y >= image.height())
            continue;
        const auto *in = reinterpret_cast<const uint32_t *>(image.constScanLine(int(y)));
        for (int64_t col = 0; col < width; ++col) {
            const int64_t x = rect.left + col;
            if (x >= 0 && x < image.width())
                (*pixels)[size_t(row * width + col)] = in[x] & 0x00FFFFFFu;
        }
    }
    return true;
}

} // namespace twgui
