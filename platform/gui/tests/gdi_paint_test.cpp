// Painting windows: BeginPaint's erase and update rectangle, window DCs clipped to
// the client area, the screen DC, window DCs used from another thread, and video
// pictures presented into part of a window.
#include "gdi_testutil.h"

#include <gtest/gtest.h>
#include <twgui/testing.h>
#include <twgui/video.h>

#include <chrono>
#include <thread>
#include <vector>

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

// Whether the window shows exactly what its client area holds.
bool ShowsItsClientArea(HWND hwnd)
{
    twgui::test::WindowPixels shown = twgui::test::ReadWindowPixels(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    std::vector<uint32_t> held;
    HDC dc = GetDC(hwnd);
    const bool read = twgui::ReadPicture(dc, client, &held);
    ReleaseDC(hwnd, dc);
    return read && shown.width == client.right && shown.height == client.bottom && shown.pixels == held;
}

// Waits until the window shows `want` at (x, y).
bool ShowsAt(HWND hwnd, int x, int y, uint32_t want)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        twgui::test::WindowPixels shown = twgui::test::ReadWindowPixels(hwnd);
        if (shown.width > x && shown.height > y && shown.At(x, y) == want)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(GdiPaint, PresentedPicturesShowOverWhatTheWindowPaintedAsItsClientAreaHoldsThem)
{
    HWND hwnd = Create("GdiPaintBrush");
    ShowWindow(hwnd, SW_SHOWNORMAL);
    Mark();
    const uint32_t mark = 0xC86400;      // kMark as 0x00RRGGBB
    // Pictures from a streaming thread, as a video renderer presents them: one, a
    // second that moved and overlaps it, and one partly outside the client area.
    auto present = [hwnd](int x, int y, int w, int h, uint32_t colour) {
        std::vector<uint32_t> pixels(size_t(w) * size_t(h), colour);
        std::thread([&] { EXPECT_TRUE(twgui::PresentPicture(hwnd, x, y, {pixels.data(), w, h, w})); }).join();
    };
    present(10, 20, 40, 30, 0x0000FF);
    ASSERT_TRUE(ShowsAt(hwnd, 15, 25, 0x0000FF));
    present(30, 30, 40, 30, 0xFF0000);
    ASSERT_TRUE(ShowsAt(hwnd, 35, 35, 0xFF0000));
    twgui::test::WindowPixels shown = twgui::test::ReadWindowPixels(hwnd);
    EXPECT_EQ(0x0000FFu, shown.At(15, 25)) << "the first picture's uncovered part stays";
    EXPECT_EQ(mark, shown.At(5, 5));
    EXPECT_EQ(mark, shown.At(75, 35));
    present(-20, 100, 60, 100, 0x00FF00);
    ASSERT_TRUE(ShowsAt(hwnd, 0, 110, 0x00FF00));
    EXPECT_EQ(mark, twgui::test::ReadWindowPixels(hwnd).At(45, 110));
    EXPECT_TRUE(ShowsItsClientArea(hwnd));
    // Painting the window again covers the pictures; a new one shows over that.
    Mark();
    ASSERT_TRUE(ShowsAt(hwnd, 15, 25, mark));
    present(100, 10, 8, 8, 0x123456);
    ASSERT_TRUE(ShowsAt(hwnd, 104, 14, 0x123456));
    EXPECT_TRUE(ShowsItsClientArea(hwnd));
    EXPECT_EQ(mark, twgui::test::ReadWindowPixels(hwnd).At(35, 35));
}

} // namespace
