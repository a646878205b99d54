// Menus built from resources; item states kept here and handed to the Qt side of
// every window that shows the menu.
#include "menus.h"
#include "windowtable.h"

#include <twkernel/textconv.h>
#include <unordered_map>

namespace twgui {
namespace {

struct MenuItem {
    UINT id = 0;
    std::string text;
    UINT flags = 0;        // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR
    HMENU popup = nullptr;
};

struct MenuRecord {
    std::vector<MenuItem> items;
};

// Guarded by WindowLock().
struct MenuTable {
    std::unordered_map<HMENU, MenuRecord> menus;
    ULONG_PTR next = 0x20000;
};

MenuTable g_menus;

MenuTable &Menus()
{
    return g_menus;
}

HMENU NewMenu()
{
    MenuTable &t = Menus();
    t.next += 4;
    HMENU h = reinterpret_cast<HMENU>(t.next);
    t.menus[h];
    return h;
}

// Removes a menu and its pop-ups; with the lock held. False if it was not a menu.
bool DeleteMenuTree(HMENU root)
{
    std::vector<HMENU> pending{root};
    bool found = false;
    while (!pending.empty()) {
        HMENU m = pending.back();
        pending.pop_back();
        auto it = Menus().menus.find(m);
        if (it == Menus().menus.end())
            continue;
        found = true;
        for (const MenuItem &item : it->second.items)
            if (item.popup != nullptr)
                pending.push_back(item.popup);
        Menus().menus.erase(it);
    }
    return found;
}

// Reads a NUL-terminated UTF-16 string; false if it runs past the end.
bool ReadString(const BYTE *&p, const BYTE *end, std::string &out)
{
    std::u16string wide;
    for (;;) {
        if (end - p < 2)
            return false;
        char16_t c = static_cast<char16_t>(p[0] | (p[1] << 8));
        p += 2;
        if (c == 0)
            break;
        wide.push_back(c);
    }
    out = twk::Utf8FromWide(wide);
    return true;
}

// Parses the items of one level until the item marked MF_END; with the lock held.
bool ParseLevel(const BYTE *&p, const BYTE *end, HMENU menu, int depth)
{
    if (depth > 16)
        return false;
    for (;;) {
        if (end - p < 2)
            return false;
        WORD flags = static_cast<WORD>(p[0] | (p[1] << 8));
        p += 2;
        MenuItem item;
        item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
        if (!(flags & MF_POPUP)) {
            if (end - p < 2)
                return false;
            item.id = static_cast<WORD>(p[0] | (p[1] << 8));
            p += 2;
        }
        if (!ReadString(p, end, item.text))
            return false;
        if (!(flags & MF_POPUP) && item.id == 0 && item.text.empty())
            item.flags |= MF_SEPARATOR;
        if (flags & MF_POPUP) {
            item.popup = NewMenu();
            if (!ParseLevel(p, end, item.popup, depth + 1)) {
                DeleteMenuTree(item.popup);
                return false;
            }
        }
        Menus().menus[menu].items.push_back(item);
        if (flags & MF_END)
            return true;
    }
}

// The item for a command id or position, searching pop-ups; with the lock held.
MenuItem *FindItem(HMENU menu, UINT which, UINT flags, int depth = 0)
{
    auto it = Menus().menus.find(menu);
    if (it == Menus().menus.end() || depth > 16)
        return nullptr;
    auto &items = it->second.items;
    if (flags & MF_BYPOSITION)
        return which < items.size() ? &items[which] : nullptr;
    for (MenuItem &item : items) {
        if (!(item.flags & MF_POPUP) && !(item.flags & MF_SEPARATOR) && item.id == which)
            return &item;
        if (item.popup != nullptr)
            if (MenuItem *found = FindItem(item.popup, which, flags, depth + 1))
                return found;
    }
    return nullptr;
}

bool Contains(HMENU root, HMENU menu, int depth = 0)
{
    if (root == menu)
        return true;
    auto it = Menus().menus.find(root);
    if (it == Menus().menus.end() || depth > 16)
        return false;
    for (const MenuItem &item : it->second.items)
        if (item.popup != nullptr && Contains(item.popup, menu, depth + 1))
            return true;
    return false;
}

void Mirror(HMENU menu, std::vector<MirrorMenuItem> &out, int depth)
{
    auto it = Menus().menus.find(menu);
    if (it == Menus().menus.end() || depth > 16)
        return;
    for (const MenuItem &item : it->second.items) {
        MirrorMenuItem m;
        m.id = item.id;
        m.text = item.text;
        m.separator = (item.flags & MF_SEPARATOR) != 0;
        m.grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        m.checked = (item.flags & MF_CHECKED) != 0;
        if (item.popup != nullptr)
            Mirror(item.popup, m.children, depth + 1);
        out.push_back(std::move(m));
    }
}

void States(HMENU menu, std::vector<MenuItemState> &out, int depth)
{
    auto it = Menus().menus.find(menu);
    if (it == Menus().menus.end() || depth > 16)
        return;
    for (const MenuItem &item : it->second.items) {
        if (item.popup != nullptr)
            States(item.popup, out, depth + 1);
        else if (!(item.flags & MF_SEPARATOR))
            out.push_back({item.id, item.text, (item.flags & (MF_GRAYED | MF_DISABLED)) != 0,
                           (item.flags & MF_CHECKED) != 0});
    }
}

// Changes an item's state bits and shows the change on every window with the menu.
DWORD ChangeItem(HMENU menu, UINT which, UINT flags, UINT mask, UINT bits)
{
    std::vector<HWND> windows;
    UINT id = 0;
    DWORD previous;
    bool grayed, checked;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        MenuItem *item = FindItem(menu, which, flags);
        if (item == nullptr)
            return static_cast<DWORD>(-1);
        previous = item->flags & mask;
        item->flags = (item->flags & ~mask) | (bits & mask);
        id = item->id;
        grayed = (item->flags & (MF_GRAYED | MF_DISABLED)) != 0;
        checked = (item->flags & MF_CHECKED) != 0;
        if (item->flags & (MF_POPUP | MF_SEPARATOR))
            return previous;
    }
    windows = FindWindows([menu](const WindowRecord &r) { return r.menu != nullptr && Contains(r.menu, menu); });
    for (HWND hwnd : windows)
        MirrorMenuItemState(hwnd, id, grayed, checked);
    return previous;
}

} // namespace

HMENU CreateMenuFromTemplate(const void *data, size_t size)
{
    const BYTE *p = static_cast<const BYTE *>(data);
    const BYTE *end = p + size;
    if (size < 4)
        return nullptr;
    WORD version = static_cast<WORD>(p[0] | (p[1] << 8));
    WORD offset = static_cast<WORD>(p[2] | (p[3] << 8));
    if (version != 0 || offset > size - 4)
        return nullptr;
    p += 4 + offset;
    std::lock_guard<std::mutex> lock(WindowLock());
    HMENU menu = NewMenu();
    if (p == end)
        return menu;
    if (!ParseLevel(p, end, menu, 0)) {
        // Leaves no half-built menu behind.
        DeleteMenuTree(menu);
        return nullptr;
    }
    return menu;
}

std::vector<MirrorMenuItem> MirrorOfMenu(HMENU menu)
{
    std::vector<MirrorMenuItem> out;
    std::lock_guard<std::mutex> lock(WindowLock());
    Mirror(menu, out, 0);
    return out;
}

std::vector<MenuItemState> MenuItemStates(HMENU menu)
{
    std::vector<MenuItemState> out;
    std::lock_guard<std::mutex> lock(WindowLock());
    States(menu, out, 0);
    return out;
}

} // namespace twgui

using namespace twgui;

EXTERN_C HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName)
{
    HRSRC res = FindResourceA(hInstance, lpMenuName, RT_MENU);
    if (res == nullptr)
        return nullptr;
    HGLOBAL data = LoadResource(hInstance, res);
    const void *bytes = data != nullptr ? LockResource(data) : nullptr;
    if (bytes == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    HMENU menu = CreateMenuFromTemplate(bytes, SizeofResource(hInstance, res));
    if (menu == nullptr)
        SetLastError(ERROR_INVALID_PARAMETER);
    return menu;
}

EXTERN_C BOOL WINAPI DestroyMenu(HMENU hMenu)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    bool found = DeleteMenuTree(hMenu);
    if (!found)
        SetLastError(ERROR_INVALID_MENU_HANDLE);
    return found ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
    return static_cast<BOOL>(ChangeItem(hMenu, uIDEnableItem, uEnable, MF_GRAYED | MF_DISABLED, uEnable));
}

EXTERN_C DWORD WINAPI CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck)
{
    return ChangeItem(hMenu, uIDCheckItem, uCheck, MF_CHECKED, uCheck);
}

EXTERN_C UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    MenuItem *item = FindItem(hMenu, uId, uFlags);
    return item == nullptr ? static_cast<UINT>(-1) : item->flags;
}

EXTERN_C HMENU WINAPI GetMenu(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    WindowRecord *r = LockedRecord(hWnd);
    return r == nullptr ? nullptr : r->menu;
}

EXTERN_C BOOL WINAPI SetMenu(HWND hWnd, HMENU hMenu)
{
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hWnd);
        if (r == nullptr || r->kind != WindowKind::TopLevel) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (hMenu != nullptr && Menus().menus.find(hMenu) == Menus().menus.end()) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        r->menu = hMenu;
    }
    MirrorSetMenu(hWnd, MirrorOfMenu(hMenu));
    return TRUE;
}

EXTERN_C BOOL WINAPI DrawMenuBar(HWND hWnd)
{
    return IsWindow(hWnd);
}
