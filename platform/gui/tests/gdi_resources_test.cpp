// Bitmaps, icons and cursors from resources: this test program embeds the bitmaps
// and icons that gdi_testimages writes (gdi_test.rc).
#include "gdi/gdi_objects.h"
#include "gdi_testimages.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

HINSTANCE Self()
{
    return GetModuleHandleA(nullptr);
}

// Checks every pixel of a loaded bitmap against the colour it was written with.
void ExpectBitmap(HBITMAP bitmap, int width, int height, const std::function<uint32_t(int, int)> &rgb)
{
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, width);
    EXPECT_EQ(bm.bmHeight, height);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = rgb(x, y);
            EXPECT_EQ(GetPixel(dc, x, y), RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF)) << x << "," << y;
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(GdiResources, BitmapsOfEveryDepthLoadWithTheirPixels)
{
    using namespace gditest;
    ExpectBitmap(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_RGB24)), 5, 3, Rgb24Pixel);
    ExpectBitmap(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_PAL8)), 3, 4,
                 [](int x, int y) { return Pal8Color(Pal8Index(x, y)); });
    ExpectBitmap(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_PAL4)), 5, 2, Pal4Pixel);
    ExpectBitmap(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_MONO)), 10, 2, MonoPixel);
    ExpectBitmap(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_BGRX32)), 3, 2, Rgb32Pixel);
    ExpectBitmap(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_BITFIELDS32)), 3, 2, Rgb32Pixel);
    // The name may also be given as "#id".
    ExpectBitmap(LoadBitmapA(Self(), "#101"), 5, 3, Rgb24Pixel);
}

TEST(GdiResources, MalformedOrMissingBitmapsGiveNull)
{
    for (int i = 0; i < gditest::kBadBitmapCount; ++i) {
        SetLastError(0);
        EXPECT_EQ(LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_BAD_FIRST + i)), nullptr) << "bad" << i;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA)) << "bad" << i;
    }
    EXPECT_EQ(LoadBitmapA(Self(), MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(IDB_RGB24)), nullptr);
}

QRgb Opaque(uint32_t rgb)
{
    return 0xFF000000u | rgb;
}

TEST(GdiResources, IconsTakeTheImageNearest32AndItsMask)
{
    using namespace gditest;
    HICON sizes = LoadIconA(Self(), MAKEINTRESOURCEA(IDI_SIZES));
    ASSERT_NE(sizes, nullptr);
    QImage image = twgui::IconImage(sizes);
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (Icon32Transparent(x, y)) {
                EXPECT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
            } else {
                EXPECT_EQ(image.pixel(x, y), Opaque(kIcon32Color)) << x << "," << y;
            }
        }
    }
    // Shared: loading again gives the same icon, and DestroyIcon leaves it usable.
    EXPECT_EQ(LoadIconA(Self(), MAKEINTRESOURCEA(IDI_SIZES)), sizes);
    EXPECT_TRUE(DestroyIcon(sizes));
    EXPECT_FALSE(twgui::IconImage(sizes).isNull());

    // 16 and 48 are equally near: the larger wins, with its own alpha.
    image = twgui::IconImage(LoadIconA(Self(), MAKEINTRESOURCEA(IDI_ALPHA)));
    ASSERT_EQ(image.size(), QSize(48, 48));
    for (int y = 0; y < 48; ++y) {
        EXPECT_EQ(qAlpha(image.pixel(5, y)), Icon48Alpha(5, y)) << y;
        if (Icon48Alpha(5, y) != 0) {
            EXPECT_EQ(image.pixel(5, y) & 0xFFFFFFu, kIcon48Color) << y;
        }
    }

    image = twgui::IconImage(LoadIconA(Self(), MAKEINTRESOURCEA(IDI_PNG)));
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixel(16, 16), Opaque(kIconPngColor));
}

TEST(GdiResources, BrokenIconsGiveNull)
{
    EXPECT_EQ(LoadIconA(Self(), MAKEINTRESOURCEA(IDI_BAD_GROUP)), nullptr);
    EXPECT_EQ(LoadIconA(Self(), MAKEINTRESOURCEA(IDI_BAD_IMAGE)), nullptr);
    EXPECT_EQ(LoadIconA(Self(), MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_SIZES)), nullptr);
    EXPECT_FALSE(DestroyIcon(nullptr));
}

TEST(GdiResources, PredefinedIconAndCursors)
{
    HICON application = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), application);
    const QImage image = twgui::IconImage(application);
    EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(twgui::CursorShape(application), int(Qt::ArrowCursor));

    const struct {
        LPCSTR id;
        Qt::CursorShape shape;
    } cursors[] = {{IDC_ARROW, Qt::ArrowCursor}, {IDC_IBEAM, Qt::IBeamCursor}, {IDC_WAIT, Qt::WaitCursor}};
    for (const auto &c : cursors) {
        HCURSOR cursor = LoadCursorA(nullptr, c.id);
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(twgui::CursorShape(cursor), int(c.shape));
        EXPECT_TRUE(twgui::IconImage(cursor).isNull());
    }
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(LoadCursorA(Self(), IDC_ARROW), nullptr);
    EXPECT_EQ(twgui::CursorShape(nullptr), int(Qt::ArrowCursor));
    EXPECT_TRUE(twgui::IconImage(nullptr).isNull());
}

} // namespace
