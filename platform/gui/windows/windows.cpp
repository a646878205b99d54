// Windows: classes, creation and destruction, geometry, visibility, text, window
// data, and message delivery to window procedures.
#include "automation/automation.h"
#include "dialogs/controls.h"
#include "gdi/gdi_objects.h"
#include "internalmsg.h"
#include "menus.h"
#include "msgqueue.h"
#include "qt/qtmirror.h"
#include "automation/script.h"
#include "windowtable.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>

namespace twgui {
namespace {

struct WindowClass {
    WNDCLASSA wc{};
    std::string menuName;     // a copy when lpszMenuName is a string
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Registered classes by lower-case name; guarded by WindowLock().
std::map<std::string, WindowClass> g_classes;

std::map<std::string, WindowClass> &Classes()
{
    return g_classes;
}

std::string ClassNameOf(LPCSTR name)
{
    if (name == nullptr)
        return std::string();
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return name;
}

// Cascaded default positions for CW_USEDEFAULT. Windows are created on any thread:
// the count is atomic.
int NextDefaultOffset()
{
    static std::atomic<unsigned> n{0};
    return 48 + 32 * static_cast<int>(n.fetch_add(1) % 8);
}

// The widget geometry (client area plus menu bar) of a top-level window.
QRect WidgetGeometry(const WindowRecord &r)
{
    RECT client = ClientRectOf(r);
    POINT o = ClientOrigin(r);
    int menu = r.menu != nullptr && r.kind == WindowKind::TopLevel ? kMenuBar : 0;
    return QRect(r.rect.left + o.x, r.rect.top + o.y - menu, client.right, client.bottom + menu);
}

QSize MinimumWidgetSize(const WindowRecord &r)
{
    if (r.minTrack.x <= 0 && r.minTrack.y <= 0)
        return QSize();
    WindowRecord probe = r;
    probe.rect = RECT{0, 0, std::max<LONG>(r.minTrack.x, 1), std::max<LONG>(r.minTrack.y, 1)};
    return WidgetGeometry(probe).size();
}

// Asks the window for its minimum tracking size and hands it to the Qt side.
void QueryMinMax(HWND hwnd)
{
    MINMAXINFO info{};
    info.ptMaxSize = POINT{kScreenWidth, kScreenHeight};
    info.ptMaxTrackSize = POINT{kScreenWidth, kScreenHeight};
    info.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    WindowRecord copy;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return;
        r->minTrack = info.ptMinTrackSize;
        copy = *r;
    }
    MirrorSetMinimumSize(hwnd, MinimumWidgetSize(copy));
}

void InvalidateAll(HWND hwnd, bool erase)
{
    RECT all{0, 0, 0x7fff, 0x7fff};
    InvalidateRect(hwnd, &all, erase ? TRUE : FALSE);
}

// Sends the notifications of a changed rectangle on the owning thread.
void NotifyGeometry(HWND hwnd, const RECT &before, const RECT &after, bool force)
{
    WindowRecord r;
    if (!SnapshotRecord(hwnd, r))
        return;
    bool moved = before.left != after.left || before.top != after.top;
    bool sized = (before.right - before.left) != (after.right - after.left) ||
                 (before.bottom - before.top) != (after.bottom - after.top);
    if (sized || force) {
        if (r.kind == WindowKind::TopLevel) {
            GetClientSurface(hwnd);
            InvalidateAll(hwnd, true);
        }
        RECT client = ClientRectOf(r);
        SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
    if (moved || force) {
        POINT o = ClientOrigin(r);
        SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(r.rect.left + o.x, r.rect.top + o.y));
    }
}

// Runs a call on the window's owning thread, sending it there when another
// thread calls; returns its result (0 if the window or its thread is gone).
LRESULT OnOwnerThread(HWND hwnd, const std::function<LRESULT()> &call)
{
    DWORD owner = OwnerThread(hwnd);
    if (owner == 0 || owner == GetCurrentThreadId())
        return call();
    std::function<LRESULT()> copy = call;
    return SendToOtherThread(owner, hwnd, kMsgRunOnOwner, 0, reinterpret_cast<LPARAM>(&copy));
}

// The foreground window; set and cleared from any thread, so atomic.
std::atomic<HWND> &Foreground()
{
    static std::atomic<HWND> foreground{nullptr};
    return foreground;
}

thread_local HWND t_focus = nullptr;

} // namespace

std::shared_ptr<ClientSurface> GetClientSurface(HWND hwnd)
{
    std::shared_ptr<ClientSurface> surface;
    QSize size;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return nullptr;
        if (!r->surface)
            r->surface = std::make_shared<ClientSurface>();
        surface = r->surface;
        RECT c = ClientRectOf(*r);
        size = QSize(std::max<LONG>(c.right, 1), std::max<LONG>(c.bottom, 1));
    }
    std::lock_guard<std::mutex> lock(surface->mutex);
    if (surface->image.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(Qt::black);
        if (!surface->image.isNull()) {
            const QImage &old = surface->image;
            int w = std::min(old.width(), size.width());
            int h = std::min(old.height(), size.height());
            for (int y = 0; y < h; ++y)
                std::copy_n(reinterpret_cast<const QRgb *>(old.constScanLine(y)), w,
                            reinterpret_cast<QRgb *>(resized.scanLine(y)));
        }
        surface->image = resized;
    }
    return surface;
}

bool TakeUpdateRegion(HWND hwnd, RECT *bounds, bool *erase)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hwnd);
    if (r == nullptr)
        return false;
    *bounds = r->hasUpdate ? r->update : RECT{0, 0, 0, 0};
    *erase = r->hasUpdate && r->updateErase;
    r->hasUpdate = false;
    r->updateErase = false;
    r->update = RECT{0, 0, 0, 0};
    return true;
}

HBRUSH ClassBackgroundBrush(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hwnd);
    return r == nullptr ? nullptr : r->background;
}

void PresentClientSurface(HWND hwnd)
{
    auto surface = GetClientSurface(hwnd);
    if (!surface)
        return;
    QImage copy;
    {
        std::lock_guard<std::mutex> lock(surface->mutex);
        copy = surface->image.copy();
    }
    MirrorPresent(hwnd, copy);
}

LRESULT DeliverMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMsgRunOnOwner)
        return (*reinterpret_cast<std::function<LRESULT()> *>(lParam))();
    if (message == kMsgGeometryChanged) {
        RECT now;
        {
            std::lock_guard<std::mutex> lock(WindowLock());
            WindowRecord *r = LockedRecord(hwnd);
            if (r == nullptr)
                return 0;
            now = r->rect;
        }
        // The record already holds the user's rectangle: notify as for a change.
        NotifyGeometry(hwnd, RECT{-1, -1, -1, -1}, now, true);
        return 0;
    }
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return 0;
        proc = r->proc;
    }
    return proc != nullptr ? proc(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CreateTopLevel(DWORD exStyle, const std::string &className, LPCSTR title, DWORD style, int x, int y, int w,
                    int h, HWND owner, HMENU menu, HINSTANCE instance, LPVOID param)
{
    WindowClass cls;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto it = Classes().find(Lower(className));
        if (it == Classes().end()) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        cls = it->second;
    }
    if (menu == nullptr && cls.wc.lpszMenuName != nullptr)
        menu = LoadMenuA(cls.wc.hInstance, cls.menuName.empty() ? cls.wc.lpszMenuName : cls.menuName.c_str());
    auto record = std::make_unique<WindowRecord>();
    record->threadId = GetCurrentThreadId();
    record->kind = WindowKind::TopLevel;
    record->className = className;
    record->proc = cls.wc.lpfnWndProc;
    record->instance = instance;
    record->style = style;
    record->exStyle = exStyle;
    record->parent = owner;
    record->menu = menu;
    record->text = title != nullptr ? title : "";
    record->icon = cls.wc.hIcon;
    record->cursor = cls.wc.hCursor;
    record->background = cls.wc.hbrBackground;
    if (x == CW_USEDEFAULT) {
        x = NextDefaultOffset();
        y = x;
    }
    if (w == CW_USEDEFAULT) {
        w = 640;
        h = 480;
    }
    record->rect = RECT{x, y, x + std::max(w, 0), y + std::max(h, 0)};
    CurrentQueue();
    HWND hwnd = InsertRecord(std::move(record));

    QueryMinMax(hwnd);
    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = owner;
    cs.x = x;
    cs.y = y;
    cs.cx = w;
    cs.cy = h;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.dwExStyle = exStyle;
    std::string classCopy = className;
    cs.lpszClass = classCopy.c_str();

    WindowRecord snapshot;
    SnapshotRecord(hwnd, snapshot);
    MirrorWindow m;
    m.hwnd = hwnd;
    m.owner = owner;
    m.title = snapshot.text;
    m.geometry = WidgetGeometry(snapshot);
    m.minimum = MinimumWidgetSize(snapshot);
    m.systemMenu = (style & WS_SYSMENU) != 0;
    m.menu = MirrorOfMenu(menu);
    MirrorCreate(m);
    if (cls.wc.hIcon != nullptr)
        MirrorSetIcon(hwnd, IconImage(cls.wc.hIcon));

    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (style & WS_VISIBLE) {
        {
            std::lock_guard<std::mutex> lock(WindowLock());
            if (WindowRecord *r = LockedRecord(hwnd))
                r->style &= ~WS_VISIBLE;
        }
        ShowWindow(hwnd, SW_SHOW);
    }
    return hwnd;
}

} // namespace twgui

using namespace twgui;

EXTERN_C ATOM WINAPI RegisterClassA(const WNDCLASSA *lpWndClass)
{
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr || lpWndClass->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    StartUiScript();
    static ATOM nextAtom = 0xC000;
    std::lock_guard<std::mutex> lock(WindowLock());
    std::string key = Lower(ClassNameOf(lpWndClass->lpszClassName));
    if (Classes().count(key) != 0 || ControlTypeOfClass(key) != ControlType::None) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass cls;
    cls.wc = *lpWndClass;
    if (cls.wc.lpszMenuName != nullptr && !IS_INTRESOURCE(cls.wc.lpszMenuName))
        cls.menuName = cls.wc.lpszMenuName;
    cls.wc.lpszClassName = nullptr;
    Classes()[key] = cls;
    return nextAtom++;
}

EXTERN_C BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    if (Classes().erase(Lower(ClassNameOf(lpClassName))) == 0) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return TRUE;
}

EXTERN_C HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                     HINSTANCE hInstance, LPVOID lpParam)
{
    StartUiScript();
    if (dwStyle & WS_CHILD) {
        // Child windows come from dialog templates only.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (hWndParent != nullptr && !IsWindow(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return CreateTopLevel(dwExStyle, ClassNameOf(lpClassName), lpWindowName, dwStyle, X, Y, nWidth, nHeight,
                          hWndParent, hMenu, hInstance, lpParam);
}

EXTERN_C BOOL WINAPI IsWindow(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r != nullptr && !r->destroying;
}

EXTERN_C BOOL WINAPI DestroyWindow(HWND hWnd)
{
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hWnd);
        if (r == nullptr || r->destroying || r->threadId == 0) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (r->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        children = r->children;
    }
    // Windows owned by this one go first, as on Windows.
    for (HWND owned : FindWindows([hWnd](const WindowRecord &w) { return w.parent == hWnd && w.kind != WindowKind::Control; }))
        DestroyWindow(owned);
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    for (HWND child : children)
        SendMessageA(child, WM_DESTROY, 0, 0);
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (WindowRecord *r = LockedRecord(hWnd))
            r->destroying = true;
    }
    for (HWND child : children)
        SendMessageA(child, WM_NCDESTROY, 0, 0);
    SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
    {
        auto q = CurrentQueue();
        std::lock_guard<std::mutex> lock(twk::WaitLock());
        q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                       [hWnd](const QueueTimer &t) { return t.hwnd == hWnd; }),
                        q->timers.end());
    }
    MirrorDestroy(hWnd);
    for (HWND child : children)
        RemoveRecord(child);
    RemoveRecord(hWnd);
    HWND destroyed = hWnd;
    Foreground().compare_exchange_strong(destroyed, nullptr);
    if (t_focus == hWnd || std::find(children.begin(), children.end(), t_focus) != children.end())
        t_focus = nullptr;
    return TRUE;
}

EXTERN_C BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(OnOwnerThread(hWnd, [hWnd, nCmdShow]() -> LRESULT {
        bool show = nCmdShow != SW_HIDE;
        bool wasVisible, first;
        WindowKind kind;
        {
            std::lock_guard<std::mutex> lock(WindowLock());
            WindowRecord *r = LockedRecord(hWnd);
            if (r == nullptr)
                return FALSE;
            wasVisible = r->visible;
            r->visible = show;
            if (show)
                r->style |= WS_VISIBLE;
            else
                r->style &= ~WS_VISIBLE;
            first = show && !r->shownOnce;
            if (first)
                r->shownOnce = true;
            kind = r->kind;
        }
        if (wasVisible != show) {
            SendMessageA(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
            MirrorShow(hWnd, show);
        }
        if (first && kind != WindowKind::Control) {
            WindowRecord r;
            SnapshotRecord(hWnd, r);
            NotifyGeometry(hWnd, r.rect, r.rect, true);
        } else if (show && !wasVisible && kind == WindowKind::TopLevel) {
            InvalidateAll(hWnd, true);
        }
        return wasVisible ? TRUE : FALSE;
    }));
}

EXTERN_C BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r != nullptr && r->visible;
}

EXTERN_C BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r != nullptr && r->enabled;
}

EXTERN_C BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    bool wasDisabled, control;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hWnd);
        if (r == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasDisabled = !r->enabled;
        control = r->kind == WindowKind::Control;
        r->enabled = bEnable != FALSE;
        if (bEnable)
            r->style &= ~WS_DISABLED;
        else
            r->style |= WS_DISABLED;
    }
    // A disabled Qt window would disable its dialogs too; the owner of a modal
    // dialog is kept from input by the dialog's modality instead.
    if (control)
        MirrorEnable(hWnd, bEnable != FALSE);
    return wasDisabled ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(OnOwnerThread(hWnd, [=]() -> LRESULT {
        WindowKind kind;
        bool resizable;
        {
            WindowRecord r;
            if (!SnapshotRecord(hWnd, r))
                return FALSE;
            kind = r.kind;
            resizable = (r.style & WS_THICKFRAME) != 0;
        }
        if (kind == WindowKind::TopLevel && !(uFlags & SWP_NOSIZE))
            QueryMinMax(hWnd);
        RECT before, after;
        bool showChange = false, show = false;
        {
            std::lock_guard<std::mutex> lock(WindowLock());
            WindowRecord *r = LockedRecord(hWnd);
            if (r == nullptr)
                return FALSE;
            before = r->rect;
            after = before;
            if (!(uFlags & SWP_NOMOVE)) {
                after.right = X + (after.right - after.left);
                after.bottom = Y + (after.bottom - after.top);
                after.left = X;
                after.top = Y;
            }
            if (!(uFlags & SWP_NOSIZE)) {
                int w = std::max(cx, 0), h = std::max(cy, 0);
                if (kind == WindowKind::TopLevel && resizable) {
                    w = std::max<int>(w, r->minTrack.x);
                    h = std::max<int>(h, r->minTrack.y);
                }
                after.right = after.left + w;
                after.bottom = after.top + h;
            }
            r->rect = after;
            if (uFlags & SWP_SHOWWINDOW) {
                showChange = !r->visible;
                show = true;
            } else if (uFlags & SWP_HIDEWINDOW) {
                showChange = r->visible;
                show = false;
            }
        }
        WindowRecord r;
        SnapshotRecord(hWnd, r);
        if (kind == WindowKind::Control)
            MirrorSetGeometry(hWnd, QRect(after.left, after.top, after.right - after.left, after.bottom - after.top));
        else
            MirrorSetGeometry(hWnd, WidgetGeometry(r));
        if (showChange)
            ShowWindow(hWnd, show ? SW_SHOWNA : SW_HIDE);
        if (!(uFlags & SWP_NOZORDER) && kind != WindowKind::Control &&
            (hWndInsertAfter == HWND_TOP || hWndInsertAfter == HWND_TOPMOST))
            MirrorRaise(hWnd);
        if (kind != WindowKind::Control && r.shownOnce)
            NotifyGeometry(hWnd, before, after, false);
        return TRUE;
    }));
}

EXTERN_C BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL)
{
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

EXTERN_C BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    if (r == nullptr || lpRect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = ClientRectOf(*r);
    return TRUE;
}

EXTERN_C BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    if (r == nullptr || lpRect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = r->rect;
    if (r->kind == WindowKind::Control) {
        if (WindowRecord *p = LockedRecord(r->parent)) {
            POINT o = ClientOrigin(*p);
            LONG dx = p->rect.left + o.x, dy = p->rect.top + o.y;
            lpRect->left += dx;
            lpRect->right += dx;
            lpRect->top += dy;
            lpRect->bottom += dy;
        }
    }
    return TRUE;
}

EXTERN_C BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    RECT w;
    if (lpPoint == nullptr || !GetWindowRect(hWnd, &w))
        return FALSE;
    WindowRecord r;
    SnapshotRecord(hWnd, r);
    POINT o = ClientOrigin(r);
    lpPoint->x += w.left + o.x;
    lpPoint->y += w.top + o.y;
    return TRUE;
}

EXTERN_C BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint)
{
    POINT zero{0, 0};
    if (lpPoint == nullptr || !ClientToScreen(hWnd, &zero))
        return FALSE;
    lpPoint->x -= zero.x;
    lpPoint->y -= zero.y;
    return TRUE;
}

EXTERN_C BOOL WINAPI InvalidateRect(HWND hWnd, const RECT *lpRect, BOOL bErase)
{
    DWORD owner;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hWnd);
        if (r == nullptr || r->threadId == 0) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        RECT client = ClientRectOf(*r);
        RECT add = lpRect != nullptr ? *lpRect : client;
        add.left = std::max(add.left, client.left);
        add.top = std::max(add.top, client.top);
        add.right = std::min(add.right, client.right);
        add.bottom = std::min(add.bottom, client.bottom);
        if (add.left < add.right && add.top < add.bottom) {
            if (r->hasUpdate) {
                r->update.left = std::min(r->update.left, add.left);
                r->update.top = std::min(r->update.top, add.top);
                r->update.right = std::max(r->update.right, add.right);
                r->update.bottom = std::max(r->update.bottom, add.bottom);
            } else {
                r->update = add;
                r->hasUpdate = true;
            }
        }
        if (bErase && r->hasUpdate)
            r->updateErase = true;
        owner = r->threadId;
    }
    WakeQueue(owner);
    return TRUE;
}

EXTERN_C BOOL WINAPI ValidateRect(HWND hWnd, const RECT *lpRect)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    if (r == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!r->hasUpdate)
        return TRUE;
    const RECT &u = r->update;
    if (lpRect == nullptr ||
        (lpRect->left <= u.left && lpRect->top <= u.top && lpRect->right >= u.right && lpRect->bottom >= u.bottom)) {
        r->hasUpdate = false;
        r->updateErase = false;
    }
    return TRUE;
}

EXTERN_C BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    if (r == nullptr)
        return FALSE;
    if (lpRect != nullptr)
        *lpRect = r->hasUpdate ? r->update : RECT{0, 0, 0, 0};
    return r->hasUpdate ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI UpdateWindow(HWND hWnd)
{
    bool paint;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hWnd);
        if (r == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        paint = r->hasUpdate && r->visible && r->threadId == GetCurrentThreadId();
    }
    if (paint)
        SendMessageA(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

EXTERN_C BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    if (!IsWindow(hWnd))
        return FALSE;
    Foreground() = hWnd;
    MirrorRaise(hWnd);
    return TRUE;
}

EXTERN_C HWND WINAPI GetForegroundWindow(void)
{
    // A window destroyed on another thread between SetForegroundWindow's check and
    // its store is not handed out.
    HWND foreground = Foreground();
    return foreground && IsWindow(foreground) ? foreground : nullptr;
}

EXTERN_C HWND WINAPI SetFocus(HWND hWnd)
{
    HWND previous = t_focus;
    if (hWnd != nullptr && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    t_focus = hWnd;
    if (hWnd != nullptr)
        MirrorFocus(hWnd);
    return previous;
}

EXTERN_C HWND WINAPI GetFocus(void)
{
    return t_focus;
}

EXTERN_C HWND WINAPI GetParent(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r == nullptr ? nullptr : r->parent;
}

EXTERN_C HWND WINAPI GetDesktopWindow(void)
{
    return DesktopWindow();
}

EXTERN_C BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString != nullptr ? lpString : "")) ? TRUE
                                                                                                           : FALSE;
}

EXTERN_C int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    std::string text;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hWnd);
        if (r == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            if (lpString != nullptr && nMaxCount > 0)
                *lpString = '\0';
            return 0;
        }
        text = r->control == ControlType::ComboBox ? (r->curSel >= 0 && r->curSel < static_cast<int>(r->items.size())
                                                          ? r->items[static_cast<size_t>(r->curSel)]
                                                          : std::string())
                                                   : r->text;
    }
    if (nMaxCount <= 0)
        return 0;
    return static_cast<int>(CopyTextOut(text, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

EXTERN_C int WINAPI GetWindowTextLengthA(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r == nullptr ? 0 : static_cast<int>(r->text.size());
}

EXTERN_C LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    if (r == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (nIndex) {
    case GWLP_USERDATA: return r->userData;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(r->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(r->instance);
    case GWLP_ID: return r->id;
    case GWL_STYLE: return static_cast<LONG>(r->style);
    case GWL_EXSTYLE: return static_cast<LONG>(r->exStyle);
    case DWLP_MSGRESULT:
        if (r->kind == WindowKind::Dialog)
            return r->msgResult;
        [[fallthrough]];
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

EXTERN_C LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    if (r == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    switch (nIndex) {
    case GWLP_USERDATA: previous = r->userData; r->userData = dwNewLong; break;
    case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(r->proc);
        r->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        break;
    case GWLP_ID: previous = r->id; r->id = static_cast<int>(dwNewLong); break;
    case GWL_STYLE: previous = static_cast<LONG>(r->style); r->style = static_cast<DWORD>(dwNewLong); break;
    case GWL_EXSTYLE: previous = static_cast<LONG>(r->exStyle); r->exStyle = static_cast<DWORD>(dwNewLong); break;
    case DWLP_MSGRESULT:
        if (r->kind == WindowKind::Dialog) {
            previous = r->msgResult;
            r->msgResult = dwNewLong;
            break;
        }
        [[fallthrough]];
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
    return previous;
}

EXTERN_C LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex)
{
    return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex));
}

EXTERN_C LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong)
{
    return static_cast<LONG>(SetWindowLongPtrA(hWnd, nIndex, dwNewLong));
}

EXTERN_C DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    DWORD owner = OwnerThread(hWnd);
    if (lpdwProcessId != nullptr)
        *lpdwProcessId = owner != 0 ? GetCurrentProcessId() : 0;
    return owner;
}

EXTERN_C HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    std::string cls = lpClassName != nullptr ? Lower(ClassNameOf(lpClassName)) : std::string();
    std::string title = lpWindowName != nullptr ? lpWindowName : "";
    auto found = FindWindows([&](const WindowRecord &r) {
        return r.kind != WindowKind::Control && r.threadId != 0 && !r.destroying &&
               (lpClassName == nullptr || Lower(r.className) == cls) &&
               (lpWindowName == nullptr || r.text == title);
    });
    return found.empty() ? nullptr : found.front();
}

EXTERN_C int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex) {
    case SM_CXSCREEN: return kScreenWidth;
    case SM_CYSCREEN: return kScreenHeight;
    case SM_CYCAPTION: return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER: return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXFRAME:
    case SM_CYFRAME: return kBorder;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CYMENU: return kMenuBar;
    case SM_CXMIN:
    case SM_CXMINTRACK: return 112;
    case SM_CYMIN:
    case SM_CYMINTRACK: return kCaption + 2 * kBorder;
    default: return 0;
    }
}

EXTERN_C LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_SETTEXT: SetRecordText(hWnd, reinterpret_cast<const char *>(lParam)); return TRUE;
    case WM_GETTEXT: {
        std::string text;
        {
            std::lock_guard<std::mutex> lock(WindowLock());
            if (WindowRecord *r = LockedRecord(hWnd))
                text = r->text;
        }
        return CopyTextOut(text, wParam, lParam);
    }
    case WM_GETTEXTLENGTH: return GetWindowTextLengthA(hWnd);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(hWnd, &ps) != nullptr)
            EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = ClassBackgroundBrush(hWnd);
        if (brush == nullptr)
            return 0;
        RECT rc;
        GetClientRect(hWnd, &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
        return 1;
    }
    default: return 0;
    }
}

EXTERN_C LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return lpPrevWndFunc != nullptr ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}
