// Messages the window library sends itself; they never reach window procedures.
#pragma once
#include <windows.h>

namespace twgui {

// The Qt thread changed a window's rectangle (the user moved or sized it); the
// owning thread sends WM_MOVE/WM_SIZE.
constexpr UINT kMsgGeometryChanged = 0x0398;
// Carries a call that must run on a window's owning thread (SetWindowPos and
// ShowWindow from another thread); lParam points to a std::function<LRESULT()>.
constexpr UINT kMsgRunOnOwner = 0x0399;

// A thread message marking a point in a thread's queue: when it is dispatched,
// everything posted before it has been; wParam is the marker's number.
constexpr UINT kMsgSettleMarker = 0x039A;

} // namespace twgui
