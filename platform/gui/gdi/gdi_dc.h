// Device contexts as the drawing calls see them: the image a DC draws into and the
// attributes a call needs, taken in one step under the table mutex.
#pragma once
#include "gdi_table.h"

#include <mutex>

namespace twgui::gdi {

// The pixels a DC draws into. Lock the mutex around any access to the image; the
// owner keeps both alive. Drawing is clipped to the image, which for a window DC is
// the client area.
struct Target {
    std::shared_ptr<void> owner;
    std::mutex *mutex = nullptr;
    QImage *image = nullptr;
};

struct DcState {
    Target target;
    COLORREF textColor = 0;
    COLORREF bkColor = 0;
    int bkMode = OPAQUE;
    FontFace face = FontFace::System;
};

// The DC's target and attributes; false (ERROR_INVALID_HANDLE) for a handle that is
// not a DC.
bool SnapshotDc(HDC hdc, DcState *state);

// What a brush handle paints: a solid colour (a brush, or a system colour given as
// COLOR_* + 1), nothing (the null brush), or it is no brush at all.
enum class BrushPaint { Solid, Nothing, Invalid };
BrushPaint LookupBrush(HBRUSH hbr, COLORREF *color);

// A DC over a window's client surface, for GetDC and BeginPaint.
HDC NewWindowDc(HWND hwnd, std::shared_ptr<ClientSurface> surface);

// A DC over a small image standing for the screen, for GetDC(NULL).
HDC NewScreenDc();

// Ends a DC from NewWindowDc for that window, or from NewScreenDc when hwnd is
// null; false if hdc is no such DC.
bool EndWindowDc(HDC hdc, HWND hwnd);

// Locks the mutexes of two targets, once when they are the same, in an order that
// cannot deadlock against another thread locking the same pair.
class PairLock {
public:
    PairLock(std::mutex *a, std::mutex *b);
    ~PairLock();
    PairLock(const PairLock &) = delete;
    PairLock &operator=(const PairLock &) = delete;

private:
    std::mutex *m_a;
    std::mutex *m_b;
};

} // namespace twgui::gdi
