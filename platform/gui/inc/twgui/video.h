// Pictures for video renderers: a finished picture handed to a window's client
// area from any thread, drawn into a DC, and pixels read back from a DC (the
// bitmap of a memory DC). Platform-internal; system code never includes it.
#pragma once
#include <cstdint>
#include <vector>

#include <windows.h>

namespace twgui {

// A 32-bit picture: 0x00RRGGBB per pixel, top row first, rows `stride` pixels apart.
struct PictureView {
    const uint32_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// Copies the picture into the window's client area with its top-left corner at
// (x, y), clipped to the client area, and hands the client area to the Qt thread
// to be shown. Any thread; never waits for the window's thread. False when hwnd
// is not a window.
bool PresentPicture(HWND hwnd, int x, int y, const PictureView &picture);

// Draws the picture into what a DC draws into, top-left at (x, y), clipped.
// False for a handle that is not a DC.
bool DrawPicture(HDC hdc, int x, int y, const PictureView &picture);

// Reads the rectangle of what a DC draws into (for a memory DC, its bitmap) as
// 0x00RRGGBB pixels, top row first; pixels outside the image read as black.
// False for a handle that is not a DC or an empty rectangle.
bool ReadPicture(HDC hdc, const RECT &rect, std::vector<uint32_t> *pixels);

} // namespace twgui
