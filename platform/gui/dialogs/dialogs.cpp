// Modal dialogs from dialog templates: the dialog and its controls become window
// records and Qt widgets, and the calling thread runs a nested message loop until
// EndDialog.
#include "automation/automation.h"
#include "controls.h"
#include "dialogtemplate.h"
#include "windows/msgqueue.h"
#include "qt/qtmirror.h"
#include "automation/script.h"
#include "windows/windowtable.h"

#include <algorithm>

namespace twgui {
namespace {

LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DLGPROC dlgProc = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (WindowRecord *r = LockedRecord(hwnd)) {
            dlgProc = r->dlgProc;
            r->msgResult = 0;
        }
    }
    INT_PTR handled = dlgProc != nullptr ? dlgProc(hwnd, msg, wParam, lParam) : FALSE;
    if (handled) {
        // These answer with the procedure's own result; the rest through DWLP_MSGRESULT.
        if (msg == WM_INITDIALOG)
            return handled;
        return GetWindowLongPtrA(hwnd, DWLP_MSGRESULT);
    }
    return DefDlgProcA(hwnd, msg, wParam, lParam);
}

// The first visible, enabled control with WS_TABSTOP; null if none.
HWND FirstTabStop(HWND dialog)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *d = LockedRecord(dialog);
    if (d == nullptr)
        return nullptr;
    for (HWND child : d->children) {
        WindowRecord *c = LockedRecord(child);
        if (c != nullptr && (c->style & WS_TABSTOP) && c->visible && c->enabled)
            return child;
    }
    return nullptr;
}

int ToPixels(int units, int base, int divisor)
{
    return (units * base + divisor / 2) / divisor;
}

// Creates the dialog's records and widgets; null if the template cannot be used.
HWND CreateDialogFromTemplate(const DialogTemplate &t, HINSTANCE instance, HWND owner, DLGPROC proc)
{
    DialogFont font = DialogFontFor(t.typeface, t.pointSize > 0 ? t.pointSize : 8);
    int cw = ToPixels(t.cx, font.baseX, 4);
    int ch = ToPixels(t.cy, font.baseY, 8);

    auto dialog = std::make_unique<WindowRecord>();
    dialog->threadId = GetCurrentThreadId();
    dialog->kind = WindowKind::Dialog;
    dialog->className = "#32770";
    dialog->proc = DialogWndProc;
    dialog->dlgProc = proc;
    dialog->instance = instance;
    dialog->style = t.style & ~WS_VISIBLE;
    dialog->exStyle = t.exStyle;
    dialog->parent = owner;
    dialog->text = t.caption;
    int frameW = 2 * kBorder;
    int frameH = ((t.style & WS_CAPTION) == WS_CAPTION ? kCaption : 0) + 2 * kBorder;
    // Centred on the owner when there is one, else on the screen.
    RECT area{0, 0, kScreenWidth, kScreenHeight};
    if (owner != nullptr && owner != DesktopWindow())
        GetWindowRect(owner, &area);
    int w = cw + frameW, h = ch + frameH;
    int x = area.left + ((area.right - area.left) - w) / 2;
    int y = area.top + ((area.bottom - area.top) - h) / 2;
    dialog->rect = RECT{x, y, x + w, y + h};
    HWND hwnd = InsertRecord(std::move(dialog));

    MirrorWindow m;
    m.hwnd = hwnd;
    m.owner = owner;
    m.dialog = true;
    m.title = t.caption;
    m.systemMenu = (t.style & WS_SYSMENU) != 0;
    m.fontFamily = font.family;
    m.fontPixels = font.pixels;
    POINT origin{kBorder, frameH - kBorder};
    m.geometry = QRect(x + origin.x, y + origin.y, cw, ch);

    std::vector<HWND> children;
    for (const DialogItemTemplate &item : t.items) {
        auto c = std::make_unique<WindowRecord>();
        c->threadId = GetCurrentThreadId();
        c->kind = WindowKind::Control;
        c->control = ControlTypeOfClass(item.className);
        c->className = item.className;
        c->proc = ControlProc(c->control);
        c->instance = instance;
        c->style = item.style;
        c->exStyle = item.exStyle;
        c->parent = hwnd;
        c->id = item.id;
        c->text = item.text;
        c->visible = (item.style & WS_VISIBLE) != 0;
        c->shownOnce = true;
        c->enabled = !(item.style & WS_DISABLED);
        c->defaultButton = c->control == ControlType::Button && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        int px = ToPixels(item.x, font.baseX, 4), py = ToPixels(item.y, font.baseY, 8);
        int pw = ToPixels(item.cx, font.baseX, 4), ph = ToPixels(item.cy, font.baseY, 8);
        c->rect = RECT{px, py, px + pw, py + ph};
        MirrorControl mc;
        mc.type = c->control;
        mc.className = c->className;
        mc.id = c->id;
        mc.style = c->style;
        mc.text = c->text;
        mc.geometry = QRect(px, py, pw, ph);
        mc.visible = c->visible;
        mc.enabled = c->enabled;
        mc.isDefault = c->defaultButton;
        if (c->exStyle & WS_EX_CLIENTEDGE)
            mc.style |= WS_BORDER;
        HWND child = InsertRecord(std::move(c));
        mc.hwnd = child;
        m.controls.push_back(mc);
        children.push_back(child);
    }
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (WindowRecord *r = LockedRecord(hwnd))
            r->children = children;
    }
    MirrorCreate(m);
    return hwnd;
}

} // namespace
} // namespace twgui

using namespace twgui;

EXTERN_C INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                        DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    StartUiScript();
    HRSRC res = FindResourceA(hInstance, lpTemplateName, RT_DIALOG);
    if (res == nullptr)
        return -1;
    HGLOBAL data = LoadResource(hInstance, res);
    const void *bytes = data != nullptr ? LockResource(data) : nullptr;
    DialogTemplate t;
    if (bytes == nullptr || !ParseDialogTemplate(bytes, SizeofResource(hInstance, res), t)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return -1;
    }
    if (hWndParent != nullptr && !IsWindow(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    CurrentQueue();
    HWND owner = hWndParent == DesktopWindow() ? nullptr : hWndParent;
    HWND dlg = CreateDialogFromTemplate(t, hInstance, owner, lpDialogFunc);
    // The owner takes no input while its modal dialog is up.
    bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);

    HWND first = FirstTabStop(dlg);
    if (SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), dwInitParam) && first != nullptr)
        SetFocus(first);
    auto ended = [dlg] {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(dlg);
        return r == nullptr || r->endDialog;
    };
    bool shown = false;
    if (!ended()) {
        ShowWindow(dlg, SW_SHOWNORMAL);
        SetForegroundWindow(dlg);
        AppendUiLog({"dialog", "open", t.caption});
        shown = true;
        ModalLoop(ended);
    }
    INT_PTR result = 0;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (WindowRecord *r = LockedRecord(dlg))
            result = r->dialogResult;
    }
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    if (IsWindow(dlg))
        DestroyWindow(dlg);
    if (owner != nullptr && IsWindow(owner))
        SetForegroundWindow(owner);
    if (shown)
        AppendUiLog({"dialog", "close", t.caption, std::to_string(static_cast<long long>(result))});
    return result;
}

EXTERN_C BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    DWORD owner;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hDlg);
        if (r == nullptr || r->kind != WindowKind::Dialog) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        r->endDialog = true;
        r->dialogResult = nResult;
        r->visible = false;
        owner = r->threadId;
    }
    MirrorShow(hDlg, false);
    // The modal loop may be waiting for a message right now (EndDialog called while
    // answering a message sent from another thread): wake it to see the end.
    WakeModalLoop(owner);
    return TRUE;
}

EXTERN_C HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *d = LockedRecord(hDlg);
    if (d == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : d->children) {
        WindowRecord *c = LockedRecord(child);
        if (c != nullptr && c->id == nIDDlgItem)
            return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

EXTERN_C int WINAPI GetDlgCtrlID(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r == nullptr || r->kind != WindowKind::Control ? 0 : r->id;
}

EXTERN_C UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (item == nullptr) {
        if (lpString != nullptr && cchMax > 0)
            *lpString = '\0';
        return 0;
    }
    return static_cast<UINT>(SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(cchMax > 0 ? cchMax : 0),
                                          reinterpret_cast<LPARAM>(lpString)));
}

EXTERN_C BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (item == nullptr)
        return FALSE;
    return SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString != nullptr ? lpString : "")) ? TRUE
                                                                                                          : FALSE;
}

EXTERN_C LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item == nullptr ? 0 : SendMessageA(item, Msg, wParam, lParam);
}

EXTERN_C LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_CLOSE:
        // The close box asks the dialog procedure to cancel.
        PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDCANCEL)));
        return 0;
    case WM_PAINT:
        // The dialog's face is its controls' widgets: nothing to paint.
        ValidateRect(hDlg, nullptr);
        return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_NCCREATE:
        return DefWindowProcA(hDlg, Msg, wParam, lParam);
    default:
        return 0;
    }
}

EXTERN_C BOOL WINAPI IsDialogMessageA(HWND, LPMSG)
{
    // Dialog keys (Enter, Escape, Tab) are handled by the dialog's widgets.
    return FALSE;
}
