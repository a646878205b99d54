// Menus: the records behind HMENU, built from menu resources, and what the Qt
// side needs to show them.
#pragma once
#include "qt/qtmirror.h"

#include <cstddef>
#include <vector>

#include <windows.h>

namespace twgui {

// Parses a menu resource (the standard template) into a new menu; null if the data
// is malformed.
HMENU CreateMenuFromTemplate(const void *data, size_t size);

// The menu as the Qt side shows it; empty for an unknown handle.
std::vector<MirrorMenuItem> MirrorOfMenu(HMENU menu);

// Every command item of a menu with its state, in menu order (for the UI log and tests).
struct MenuItemState {
    UINT id = 0;
    std::string text;
    bool grayed = false;
    bool checked = false;
};
std::vector<MenuItemState> MenuItemStates(HMENU menu);

} // namespace twgui
