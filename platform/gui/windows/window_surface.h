// What the window records offer the painting code: each window's client-area
// picture, its pending update region and its class background, and the hand-over
// of a finished picture to the Qt thread.
#pragma once
#include <memory>
#include <mutex>

#include <QImage>
#include <windows.h>

namespace twgui {

// A window's client area as a 32-bit image (QImage::Format_RGB32), sized to the
// client rectangle. The owning thread paints it; any thread that draws into it
// (a window DC handed to another thread) holds the mutex while it does.
struct ClientSurface {
    std::mutex mutex;
    QImage image;
    unsigned long long videoPictures = 0; // pictures a video renderer presented; under mutex
};

// The surface of a window, created on first use and resized with the client area
// (content kept at the top left). Null for a handle that is not a window.
std::shared_ptr<ClientSurface> GetClientSurface(HWND hwnd);

// Takes the window's update region as BeginPaint does: returns its bounding
// rectangle (empty when nothing is invalid) and whether it was invalidated with
// erasing, and validates the window. False for a handle that is not a window.
bool TakeUpdateRegion(HWND hwnd, RECT *bounds, bool *erase);

// The class background brush of the window (hbrBackground), or null.
HBRUSH ClassBackgroundBrush(HWND hwnd);

// Hands a copy of the surface to the Qt thread to be shown. Any thread.
void PresentClientSurface(HWND hwnd);

} // namespace twgui
