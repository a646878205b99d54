// Painting windows: BeginPaint's erase and update rectangle, window DCs clipped to
// the client area, the screen DC, and window DCs used from another thread.
#include "gdi_testutil.h"

#include <gtest/gtest.h>

#include <thread>

using gditest::FillColor;
using gditest::MemDc;

namespace {

constexpr COLORREF kBackground = RGB(10, 120, 30);
constexpr COLORREF kMark = RGB(200, 100, 0);

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class GdiPaint : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_background = CreateSolidBrush(kBackground);
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = s_background;
        wc.lpszClassName = "GdiPaintBrush";
        ASSERT_NE(RegisterClassA(&wc), 0);
        wc.hbrBackground = nullptr;
        wc.lpszClassName = "GdiPaintBare";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override
    {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }
    HWND Create(const char *className)
    {
        m_hwnd = CreateWindowExA(0, className, "Paint", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(m_hwnd, nullptr);
        return m_hwnd;
    }
    // Covers the client area with the mark colour and takes any pending update.
    void Mark()
    {
        PAINTSTRUCT ps;
        BeginPaint(m_hwnd, &ps);
        EndPaint(m_hwnd, &ps);
        HDC dc = GetDC(m_hwnd);
        FillColor(dc, 0, 0, 1000, 1000, kMark);
        ReleaseDC(m_hwnd, dc);
    }
    static COLORREF PixelAt(HWND hwnd, int x, int y)
    {
        HDC dc = GetDC(hwnd);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(hwnd, dc);
        return c;
    }

    static HBRUSH s_background;
    HWND m_hwnd = nullptr;
};

HBRUSH GdiPaint::s_background = nullptr;

TEST_F(GdiPaint, BeginPaintErasesTheUpdateRectangleWithTheClassBrush)
{
    HWND hwnd = Create("GdiPaintBrush");
    Mark();
    RECT part{10, 20, 30, 25};
    ASSERT_TRUE(InvalidateRect(hwnd, &part, TRUE));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ps.hdc, dc);
    EXPECT_FALSE(ps.fErase);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.top, 20);
    EXPECT_EQ(ps.rcPaint.right, 30);
    EXPECT_EQ(ps.rcPaint.bottom, 25);
    EXPECT_EQ(GetPixel(dc, 10, 20), kBackground);
    EXPECT_EQ(GetPixel(dc, 29, 24), kBackground);
    EXPECT_EQ(GetPixel(dc, 30, 24), kMark);
    EXPECT_EQ(GetPixel(dc, 9, 20), kMark);
    // The DC draws beyond rcPaint too.
    RECT outside{100, 100, 101, 101};
    FillRect(dc, &outside, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_TRUE(EndPaint(hwnd, &ps));
    EXPECT_EQ(PixelAt(hwnd, 100, 100), RGB(255, 255, 255));
    // The update was taken; the DC is gone.
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    EXPECT_EQ(GetPixel(dc, 10, 20), CLR_INVALID);
    EXPECT_FALSE(EndPaint(hwnd, &ps));

    // Invalidated without erasing: nothing is filled.
    ASSERT_TRUE(InvalidateRect(hwnd, &outside, FALSE));
    dc = BeginPaint(hwnd, &ps);
    EXPECT_FALSE(ps.fErase);
    EXPECT_EQ(GetPixel(dc, 100, 100), RGB(255, 255, 255));
    EndPaint(hwnd, &ps);
}

TEST_F(GdiPaint, WithoutAClassBrushTheEraseIsLeftToTheWindow)
{
    HWND hwnd = Create("GdiPaintBare");
    Mark();
    ASSERT_TRUE(InvalidateRect(hwnd, nullptr, TRUE));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    ASSERT_NE(dc, nullptr);
    EXPECT_TRUE(ps.fErase);
    EXPECT_EQ(GetPixel(dc, 0, 0), kMark);
    EndPaint(hwnd, &ps);
    // Nothing pending: an empty update rectangle.
    dc = BeginPaint(hwnd, &ps);
    EXPECT_EQ(ps.rcPaint.right - ps.rcPaint.left, 0);
    EndPaint(hwnd, &ps);
    EXPECT_EQ(BeginPaint(nullptr, &ps), nullptr);
}

TEST_F(GdiPaint, WindowDcsAreClippedToTheClientArea)
{
    HWND hwnd = Create("GdiPaintBrush");
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    ASSERT_GT(client.right, 0);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    RECT huge{-50, -50, 5000, 5000};
    EXPECT_NE(FillRect(dc, &huge, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH))), 0);
    EXPECT_EQ(GetPixel(dc, client.right - 1, client.bottom - 1), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dc, client.right, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 0, client.bottom), CLR_INVALID);
    // A memory DC made for the window DC blits into it.
    {
        MemDc art(2, 2);
        art.fill(0, 0, 2, 2, kMark);
        EXPECT_TRUE(BitBlt(dc, client.right - 1, 0, 2, 2, art.dc(), 0, 0, SRCCOPY));
        EXPECT_EQ(GetPixel(dc, client.right - 1, 1), kMark);
    }
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0); // not the screen's
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 0);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x12345)), nullptr);

    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    HDC compatible = CreateCompatibleDC(screen);
    EXPECT_NE(compatible, nullptr);
    DeleteDC(compatible);
    EXPECT_FALSE(DeleteDC(screen));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

// GDI objects may be used from any thread: a worker paints through a window DC
// while the owner reads the picture.
TEST_F(GdiPaint, AnotherThreadPaintsThroughAWindowDc)
{
    HWND hwnd = Create("GdiPaintBrush");
    Mark();
    std::thread worker([hwnd] {
        HDC dc = GetDC(hwnd);
        FillColor(dc, 5, 5, 6, 6, kBackground);
        ReleaseDC(hwnd, dc);
    });
    worker.join();
    EXPECT_EQ(PixelAt(hwnd, 5, 5), kBackground);
    EXPECT_EQ(PixelAt(hwnd, 6, 5), kMark);
}

} // namespace
