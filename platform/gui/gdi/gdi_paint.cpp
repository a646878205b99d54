// Painting windows: window DCs over a window's client surface (GetDC, BeginPaint)
// and the hand-over of the finished picture (ReleaseDC, EndPaint).
#include "gdi_dc.h"
#include "windows/window_surface.h"

#include <cstring>

using namespace twgui::gdi;

// GetDC(NULL) gives a DC standing for the screen, over a small image of its own.
extern "C" HDC WINAPI GetDC(HWND hWnd)
{
    if (!hWnd)
        return NewScreenDc();
    auto surface = twgui::GetClientSurface(hWnd);
    if (!surface) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return NewWindowDc(hWnd, std::move(surface));
}

extern "C" int WINAPI ReleaseDC(HWND hWnd, HDC hDC)
{
    if (!EndWindowDc(hDC, hWnd))
        return 0;
    if (hWnd)
        twgui::PresentClientSurface(hWnd);
    return 1;
}

// Takes the update region; an update invalidated with erasing is filled with the
// class background brush, and only left to the caller (fErase) when the class has
// none. The DC draws anywhere in the client area, not only in rcPaint.
extern "C" HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    if (!lpPaint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::memset(lpPaint, 0, sizeof(*lpPaint));
    auto surface = twgui::GetClientSurface(hWnd);
    RECT update{};
    bool erase = false;
    if (!surface || !twgui::TakeUpdateRegion(hWnd, &update, &erase)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HDC hdc = NewWindowDc(hWnd, std::move(surface));
    bool erased = false;
    if (erase && update.right > update.left && update.bottom > update.top) {
        if (HBRUSH background = twgui::ClassBackgroundBrush(hWnd))
            erased = FillRect(hdc, &update, background) != 0;
    }
    lpPaint->hdc = hdc;
    lpPaint->fErase = erase && !erased;
    lpPaint->rcPaint = update;
    return hdc;
}

extern "C" BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint)
{
    if (!hWnd || !lpPaint || !EndWindowDc(lpPaint->hdc, hWnd))
        return FALSE;
    twgui::PresentClientSurface(hWnd);
    return TRUE;
}
