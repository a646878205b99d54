// The platform's own window records: every window's class, procedure, owner
// thread, geometry, text, state and update region. Queries are answered from here;
// the Qt thread keeps only the widgets that show them. One lock guards them all;
// no window procedure is ever called with it held.
#pragma once
#include "window_surface.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

namespace twgui {

enum class WindowKind { TopLevel, Dialog, Control };
enum class ControlType { None, Button, Edit, Static, ComboBox, Progress };

struct WindowRecord {
    HWND hwnd = nullptr;
    DWORD threadId = 0;
    WindowKind kind = WindowKind::TopLevel;
    ControlType control = ControlType::None;
    std::string className;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;         // owner of a top-level window or dialog, parent of a control
    int id = 0;                    // control id
    HMENU menu = nullptr;          // menu bar of a top-level window
    RECT rect{};                   // window rectangle: screen for windows, parent client for controls
    std::string text;
    LONG_PTR userData = 0;
    bool visible = false;
    bool enabled = true;
    bool shownOnce = false;        // WM_SIZE/WM_MOVE were sent at the first show
    bool destroying = false;
    // Update region, kept as its bounding rectangle.
    bool hasUpdate = false;
    bool updateErase = false;
    RECT update{};
    POINT minTrack{0, 0};          // from WM_GETMINMAXINFO; 0 when none
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::shared_ptr<ClientSurface> surface;
    // Controls.
    std::vector<std::string> items; // combo box entries
    int curSel = -1;
    int rangeMin = 0, rangeMax = 100, pos = 0;
    bool defaultButton = false;
    // Dialogs.
    DLGPROC dlgProc = nullptr;
    LONG_PTR msgResult = 0;
    bool endDialog = false;
    INT_PTR dialogResult = 0;
    std::vector<HWND> children;    // controls in creation (tab) order
};

// The lock guarding every record.
std::mutex &WindowLock();

// The record of a window; call with WindowLock() held. Null for an unknown handle.
WindowRecord *LockedRecord(HWND hwnd);

// Adds a record and gives it a new handle.
HWND InsertRecord(std::unique_ptr<WindowRecord> record);
// Removes a record (its handle is never used again).
void RemoveRecord(HWND hwnd);

// A copy of a record's fields read under the lock; false for an unknown handle.
bool SnapshotRecord(HWND hwnd, WindowRecord &out);

// The owning thread of a window; 0 for an unknown handle.
DWORD OwnerThread(HWND hwnd);

// The windows matching pred, read under the lock (pred runs with it held).
std::vector<HWND> FindWindows(const std::function<bool(const WindowRecord &)> &pred);

// A window of the thread that needs WM_PAINT (visible, with an update region),
// within the filter (null: any); null if none.
HWND FindWindowToPaint(DWORD threadId, HWND filter);

// The desktop window's handle (a record of its own, owned by no thread).
HWND DesktopWindow();

// Metrics of the window frame this platform draws.
constexpr int kBorder = 1;         // SM_CXBORDER, SM_CYBORDER
constexpr int kCaption = 23;       // SM_CYCAPTION
constexpr int kMenuBar = 20;       // SM_CYMENU
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

// The client rectangle (0-based) for a window rectangle of the record's kind and style.
RECT ClientRectOf(const WindowRecord &record);
// The client area's top-left in the window rectangle's coordinates.
POINT ClientOrigin(const WindowRecord &record);

} // namespace twgui
