// Drawing helpers of the GDI tests: a memory DC over a bitmap of its own.
#pragma once
#include <windows.h>

namespace gditest {

// Fills [left, right) x [top, bottom) of a DC with a colour.
inline void FillColor(HDC dc, int left, int top, int right, int bottom, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    RECT rc{left, top, right, bottom};
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

class MemDc {
public:
    MemDc(int width, int height)
        : m_dc(CreateCompatibleDC(nullptr)), m_bitmap(CreateCompatibleBitmap(m_dc, width, height)),
          m_old(SelectObject(m_dc, m_bitmap))
    {
    }
    ~MemDc()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    MemDc(const MemDc &) = delete;
    MemDc &operator=(const MemDc &) = delete;

    HDC dc() const { return m_dc; }
    HBITMAP bitmap() const { return m_bitmap; }
    COLORREF at(int x, int y) const { return GetPixel(m_dc, x, y); }

    void fill(int left, int top, int right, int bottom, COLORREF color)
    {
        FillColor(m_dc, left, top, right, bottom, color);
    }
    void set(int x, int y, COLORREF color) { fill(x, y, x + 1, y + 1, color); }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

} // namespace gditest
