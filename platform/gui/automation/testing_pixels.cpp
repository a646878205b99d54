// The test interface's view of window pixels (twgui/testing.h).
#include <twgui/testing.h>

#include "automation/uiactions.h"
#include "qt/qtmirror.h"

namespace twgui::test {

namespace {

WindowPixels PixelsOf(QImage image)
{
    WindowPixels out;
    if (image.isNull())
        return out;
    image = image.convertToFormat(QImage::Format_RGB32);
    out.width = image.width();
    out.height = image.height();
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (int y = 0; y < out.height; ++y) {
        const auto *row = reinterpret_cast<const uint32_t *>(image.constScanLine(y));
        for (int x = 0; x < out.width; ++x)
            out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = row[x] & 0x00FFFFFFu;
    }
    return out;
}

} // namespace

WindowPixels ReadWindowPixels(HWND hwnd)
{
    return PixelsOf(MirrorGrab(hwnd));
}

WindowPixels ReadPictureFile(const std::string &path)
{
    return PixelsOf(QImage(QString::fromStdString(path)));
}

bool SaveWindowPng(HWND hwnd, const std::string &path)
{
    return SaveWindowPicture(hwnd, path);
}

} // namespace twgui::test
