// The Qt side of windows: each call hands a change to the Qt thread, which keeps a
// widget per window and turns the user's input into messages posted to the owning
// thread. Any thread may call; nothing here waits for the Qt thread except Grab.
#pragma once
#include "windows/windowtable.h"

#include <QImage>
#include <QRect>
#include <string>
#include <vector>

namespace twgui {

struct MirrorMenuItem {
    UINT id = 0;
    std::string text;
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    std::vector<MirrorMenuItem> children;   // a pop-up's items
};

struct MirrorControl {
    HWND hwnd = nullptr;
    ControlType type = ControlType::None;
    std::string className;
    int id = 0;
    DWORD style = 0;
    std::string text;
    QRect geometry;
    bool visible = true;
    bool enabled = true;
    bool isDefault = false;
};

struct MirrorWindow {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    bool dialog = false;
    std::string title;
    QRect geometry;            // of the widget: client area plus menu bar, screen coordinates
    QSize minimum;             // 0 for none
    bool systemMenu = true;    // a close box
    QImage icon;
    std::vector<MirrorMenuItem> menu;
    std::vector<MirrorControl> controls;
    std::string fontFamily;    // dialogs
    int fontPixels = 0;
};

void MirrorCreate(const MirrorWindow &window);
void MirrorDestroy(HWND hwnd);
void MirrorSetGeometry(HWND hwnd, const QRect &geometry);
void MirrorSetMinimumSize(HWND hwnd, const QSize &size);
void MirrorShow(HWND hwnd, bool visible);
void MirrorEnable(HWND hwnd, bool enabled);
void MirrorRaise(HWND hwnd);
void MirrorFocus(HWND hwnd);
void MirrorSetText(HWND hwnd, const std::string &text);
void MirrorSetIcon(HWND hwnd, const QImage &icon);
void MirrorSetMenu(HWND hwnd, const std::vector<MirrorMenuItem> &menu);
void MirrorMenuItemState(HWND hwnd, UINT id, bool grayed, bool checked);
void MirrorSetItems(HWND combo, const std::vector<std::string> &items, int curSel);
void MirrorSetProgress(HWND progress, int min, int max, int pos);
void MirrorPresent(HWND hwnd, const QImage &image);

// Triggers a menu item as the user would (nothing if it is gray); false if the
// window has no such item.
bool MirrorTriggerMenu(HWND hwnd, UINT id);
// Clicks a button as the user would; false if it is hidden or disabled.
bool MirrorClick(HWND button);
// Types a text into an edit control (or picks the combo box entry) as the user would.
bool MirrorUserText(HWND control, const std::string &text);
// Resizes a top-level window as the user's dragging would (within its minimum).
void MirrorUserResize(HWND hwnd, int width, int height);
// A picture of the window as shown; null when it has no widget.
QImage MirrorGrab(HWND hwnd);

// The font dialogs use and its dialog base units (average character width, height).
struct DialogFont {
    std::string family;
    int pixels = 0;
    int baseX = 0;
    int baseY = 0;
};
DialogFont DialogFontFor(const std::string &face, int pointSize);

} // namespace twgui
