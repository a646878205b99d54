// GDI objects: stock objects, selection and deletion rules, bitmaps and their
// description, DC attributes, and use from several threads at once.
#include "gdi/gdi_objects.h"
#include "gdi_testutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using gditest::MemDc;

namespace {

TEST(GdiObjects, StockObjectsAreSharedAndNeverDeleted)
{
    const int stock[] = {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH,
                         WHITE_PEN,   BLACK_PEN,    NULL_PEN,   SYSTEM_FONT,  DEFAULT_GUI_FONT};
    for (int i : stock) {
        HGDIOBJ h = GetStockObject(i);
        ASSERT_NE(h, nullptr) << i;
        EXPECT_EQ(GetStockObject(i), h) << i;
        EXPECT_TRUE(DeleteObject(h)) << i;
    }
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);
    // Still usable after DeleteObject.
    MemDc target(1, 1);
    RECT rc{0, 0, 1, 1};
    EXPECT_NE(FillRect(target.dc(), &rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH))), 0);
    EXPECT_EQ(target.at(0, 0), RGB(192, 192, 192));
    EXPECT_NE(FillRect(target.dc(), &rc, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH))), 0);
    EXPECT_EQ(target.at(0, 0), RGB(64, 64, 64));
}

TEST(GdiObjects, MemoryDcStartsWithTheStockBitmapAndSelectReturnsThePrevious)
{
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc, 0, 0), 0u);
    EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
    HBITMAP a = CreateCompatibleBitmap(dc, 3, 2);
    HBITMAP b = CreateCompatibleBitmap(dc, 4, 4);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    HGDIOBJ original = SelectObject(dc, a);
    ASSERT_NE(original, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(original, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(SelectObject(dc, b), a);
    EXPECT_EQ(SelectObject(dc, original), b);

    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), brush);
    EXPECT_EQ(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)), GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_PEN)), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
    EXPECT_EQ(SelectObject(nullptr, a), nullptr);

    // Bitmaps and DCs are also invalid handles once deleted.
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(a));
    EXPECT_EQ(SelectObject(dc, a), nullptr);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
    EXPECT_EQ(SetBkColor(dc, 0), CLR_INVALID);
}

TEST(GdiObjects, ABitmapLivesInOneDcAndIsNotDeletedWhileSelected)
{
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    ASSERT_NE(second, nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(first, 2, 2);
    HGDIOBJ original = SelectObject(first, bitmap);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    // Selected again into the same DC: fine, it stays.
    EXPECT_EQ(SelectObject(first, bitmap), bitmap);
    EXPECT_EQ(SelectObject(first, original), bitmap);
    EXPECT_NE(SelectObject(second, bitmap), nullptr);
    // Deleting the DC releases the bitmap.
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_TRUE(DeleteObject(bitmap));
    // A DC or an icon is no object for DeleteObject.
    EXPECT_FALSE(DeleteObject(first));
    EXPECT_FALSE(DeleteObject(LoadIconA(nullptr, IDI_APPLICATION)));
    EXPECT_TRUE(DeleteDC(first));
}

TEST(GdiObjects, CompatibleBitmapsAreBlack32BitBitmaps)
{
    MemDc target(7, 5);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(target.bitmap(), 0, nullptr), int(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectA(target.bitmap(), sizeof(bm) - 1, &bm), 0);
    ASSERT_EQ(GetObjectA(target.bitmap(), sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 7);
    EXPECT_EQ(bm.bmHeight, 5);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmWidthBytes, 28);
    EXPECT_EQ(bm.bmBits, nullptr);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(target.at(x, y), 0u);
    EXPECT_EQ(GetObjectA(target.dc(), sizeof(bm), &bm), 0);

    EXPECT_EQ(CreateCompatibleBitmap(target.dc(), -1, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(target.dc(), 100000, 100000), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 5, 5), nullptr);
}

TEST(GdiObjects, AttributeSettersReturnThePreviousValue)
{
    MemDc target(1, 1);
    EXPECT_EQ(SetTextColor(target.dc(), RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(target.dc(), RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(SetBkColor(target.dc(), RGB(7, 8, 9)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkColor(target.dc(), 0), RGB(7, 8, 9));
    EXPECT_EQ(SetBkMode(target.dc(), TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(target.dc(), 7), 0);
    EXPECT_EQ(SetBkMode(target.dc(), OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
    EXPECT_EQ(SetBkMode(nullptr, OPAQUE), 0);
}

TEST(GdiObjects, BrushColorForTheWindowCode)
{
    QRgb color = 0;
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    ASSERT_TRUE(twgui::BrushColor(brush, &color));
    EXPECT_EQ(color, qRgb(10, 20, 30));
    ASSERT_TRUE(twgui::BrushColor(static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), &color));
    EXPECT_EQ(color, qRgb(0, 0, 0));
    ASSERT_TRUE(twgui::BrushColor(reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), &color));
    EXPECT_EQ(color, qRgb(240, 240, 240));
    EXPECT_FALSE(twgui::BrushColor(static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), &color));
    EXPECT_FALSE(twgui::BrushColor(nullptr, &color));
    DeleteObject(brush);
    EXPECT_FALSE(twgui::BrushColor(brush, &color));
}

// Threads draw into DCs of their own while others create and delete objects and
// blit between shared bitmaps: every thread's pixels come out as it drew them.
TEST(GdiObjects, ThreadsDrawIntoTheirOwnDcsAtOnce)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    MemDc shared(8, 8);
    shared.fill(0, 0, 8, 8, RGB(5, 6, 7));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const COLORREF color = RGB(t * 50, round % 256, 99);
                MemDc own(16, 8);
                own.fill(0, 0, 16, 8, color);
                // Reads from the shared bitmap, which other threads read at the same time.
                BitBlt(own.dc(), 8, 0, 8, 8, shared.dc(), 0, 0, SRCCOPY);
                StretchBlt(own.dc(), 0, 4, 4, 4, own.dc(), 0, 0, 2, 2, SRCAND);
                HBRUSH extra = CreateSolidBrush(color);
                DeleteObject(extra);
                if (own.at(3, 1) != color || own.at(1, 5) != color || own.at(12, 3) != RGB(5, 6, 7))
                    ++failures;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
