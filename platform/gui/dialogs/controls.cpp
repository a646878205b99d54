// The predefined control classes: their messages work on the window records and
// hand what is shown to the Qt side.
#include "controls.h"
#include "automation/automation.h"
#include "qt/qtmirror.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace twgui {
namespace {

bool StartsWithNoCase(const std::string &text, const char *prefix)
{
    size_t n = std::strlen(prefix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool EqualsNoCase(const std::string &text, const char *other)
{
    return text.size() == std::strlen(other) && StartsWithNoCase(text, other);
}

// Searches the entries after `start` (-1: from the first), wrapping around.
int FindEntry(const std::vector<std::string> &items, WPARAM start, const char *text, bool exact)
{
    if (text == nullptr || items.empty())
        return CB_ERR;
    int count = static_cast<int>(items.size());
    int first = static_cast<int>(start);
    if (first < -1 || first >= count)
        first = -1;
    for (int k = 1; k <= count; ++k) {
        int i = (first + k) % count;
        const std::string &item = items[static_cast<size_t>(i)];
        if (exact ? EqualsNoCase(item, text) : StartsWithNoCase(item, text))
            return i;
    }
    return CB_ERR;
}

void ShowItems(HWND hwnd)
{
    std::vector<std::string> items;
    int sel = -1;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return;
        items = r->items;
        sel = r->curSel;
    }
    MirrorSetItems(hwnd, items, sel);
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CB_ERR;
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return CB_ERR;
        int count = static_cast<int>(r->items.size());
        switch (msg) {
        case CB_ADDSTRING:
        case CB_INSERTSTRING: {
            if (lParam == 0)
                return CB_ERR;
            std::string text = reinterpret_cast<const char *>(lParam);
            int at = msg == CB_ADDSTRING ? count : static_cast<int>(wParam);
            if (at < 0 || at > count)
                at = count;
            r->items.insert(r->items.begin() + at, text);
            if (r->curSel >= at)
                ++r->curSel;
            result = at;
            changed = true;
            break;
        }
        case CB_DELETESTRING: {
            int at = static_cast<int>(wParam);
            if (at < 0 || at >= count)
                return CB_ERR;
            r->items.erase(r->items.begin() + at);
            if (r->curSel == at)
                r->curSel = -1;
            else if (r->curSel > at)
                --r->curSel;
            result = count - 1;
            changed = true;
            break;
        }
        case CB_RESETCONTENT:
            r->items.clear();
            r->curSel = -1;
            result = CB_OKAY;
            changed = true;
            break;
        case CB_GETCOUNT: return count;
        case CB_GETCURSEL: return r->curSel;
        case CB_SETCURSEL: {
            int at = static_cast<int>(wParam);
            if (at < 0 || at >= count) {
                r->curSel = -1;
                result = CB_ERR;
            } else {
                r->curSel = at;
                result = at;
            }
            changed = true;
            break;
        }
        case CB_FINDSTRING:
        case CB_FINDSTRINGEXACT:
            return FindEntry(r->items, wParam, reinterpret_cast<const char *>(lParam), msg == CB_FINDSTRINGEXACT);
        case CB_SELECTSTRING: {
            int at = FindEntry(r->items, wParam, reinterpret_cast<const char *>(lParam), false);
            if (at == CB_ERR)
                return CB_ERR;   // the selection stays as it was
            r->curSel = at;
            result = at;
            changed = true;
            break;
        }
        case CB_GETLBTEXT: {
            int at = static_cast<int>(wParam);
            if (at < 0 || at >= count || lParam == 0)
                return CB_ERR;
            const std::string &item = r->items[static_cast<size_t>(at)];
            std::memcpy(reinterpret_cast<char *>(lParam), item.c_str(), item.size() + 1);
            return static_cast<LRESULT>(item.size());
        }
        case CB_GETLBTEXTLEN: {
            int at = static_cast<int>(wParam);
            if (at < 0 || at >= count)
                return CB_ERR;
            return static_cast<LRESULT>(r->items[static_cast<size_t>(at)].size());
        }
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH: {
            std::string text = r->curSel >= 0 && r->curSel < count ? r->items[static_cast<size_t>(r->curSel)] : "";
            if (msg == WM_GETTEXTLENGTH)
                return static_cast<LRESULT>(text.size());
            return CopyTextOut(text, wParam, lParam);
        }
        case WM_SETTEXT: {
            // A drop-down list shows only its entries: the text selects one.
            int at = lParam != 0 ? FindEntry(r->items, static_cast<WPARAM>(-1),
                                             reinterpret_cast<const char *>(lParam), true)
                                 : CB_ERR;
            if (at == CB_ERR)
                return CB_ERR;
            r->curSel = at;
            result = TRUE;
            changed = true;
            break;
        }
        default:
            break;
        }
    }
    if (changed) {
        ShowItems(hwnd);
        return result;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int min, max, pos;
    LRESULT result;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return 0;
        switch (msg) {
        case PBM_SETRANGE:
            result = MAKELONG(r->rangeMin, r->rangeMax);
            r->rangeMin = LOWORD(lParam);
            r->rangeMax = HIWORD(lParam);
            break;
        case PBM_SETRANGE32:
            result = MAKELONG(r->rangeMin, r->rangeMax);
            r->rangeMin = static_cast<int>(wParam);
            r->rangeMax = static_cast<int>(lParam);
            break;
        case PBM_SETPOS:
            result = r->pos;
            r->pos = static_cast<int>(wParam);
            break;
        case PBM_DELTAPOS:
            result = r->pos;
            r->pos += static_cast<int>(wParam);
            break;
        case PBM_GETPOS: return r->pos;
        case PBM_GETRANGE: return wParam ? r->rangeMin : r->rangeMax;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        r->pos = std::clamp(r->pos, r->rangeMin, std::max(r->rangeMin, r->rangeMax));
        min = r->rangeMin;
        max = r->rangeMax;
        pos = r->pos;
    }
    MirrorSetProgress(hwnd, min, max, pos);
    return result;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == BM_CLICK) {
        HWND parent = GetParent(hwnd);
        int id = GetDlgCtrlID(hwnd);
        if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
            SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK PlainControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

ControlType ControlTypeOfClass(const std::string &className)
{
    std::string c = className;
    std::transform(c.begin(), c.end(), c.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (c == "button")
        return ControlType::Button;
    if (c == "edit")
        return ControlType::Edit;
    if (c == "static")
        return ControlType::Static;
    if (c == "combobox")
        return ControlType::ComboBox;
    if (c == "msctls_progress32")
        return ControlType::Progress;
    return ControlType::None;
}

WNDPROC ControlProc(ControlType type)
{
    switch (type) {
    case ControlType::ComboBox: return ComboProc;
    case ControlType::Progress: return ProgressProc;
    case ControlType::Button: return ButtonProc;
    default: return PlainControlProc;
    }
}

void SetRecordText(HWND hwnd, const char *text)
{
    std::string value = text != nullptr ? text : "";
    bool logCaption;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return;
        logCaption = r->kind != WindowKind::Control && r->threadId != 0 && r->text != value;
        r->text = value;
    }
    MirrorSetText(hwnd, value);
    if (logCaption)
        AppendUiLog({"caption", value});
}

LRESULT CopyTextOut(const std::string &text, WPARAM max, LPARAM buffer)
{
    if (buffer == 0 || max == 0)
        return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(max) - 1);
    char *out = reinterpret_cast<char *>(buffer);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

} // namespace twgui
