// What a user does, done by the UI script and by tests: find windows, type into
// controls, click, press keys, choose menu items, look at menus and pictures.
#pragma once
#include "windows/menus.h"

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace twgui {

// The first top-level window still open (the program's main window); null if none.
HWND MainWindow();

// Waits until a visible window or dialog has this caption; null after timeoutMs.
HWND WaitForCaption(const std::string &caption, int timeoutMs);

// Types into an edit control, or picks a combo box entry, of a window. False if
// the control is missing or (combo box) has no such entry.
bool TypeIntoControl(HWND window, int id, const std::string &text);

// Clicks a button of a window, waiting up to timeoutMs for it to be shown and enabled.
bool ClickControl(HWND window, int id, int timeoutMs);

// Waits until the thread that owns the window has dispatched every message posted
// to it so far (the user's clicks and keys have had their effect), at most
// timeoutMs; false on time-out or when the thread has no queue.
bool WaitUntilSettled(HWND window, int timeoutMs);
// Called when a settle marker is dispatched.
void MarkerDispatched(WPARAM marker);

// Posts WM_KEYDOWN with a virtual-key code to a window.
bool PressKey(HWND window, WPARAM vk);
// The virtual-key code for a name: a letter or digit, F1-F12, Enter, Escape, Space,
// Tab; 0 for an unknown name.
WPARAM VirtualKeyOfName(const std::string &name);

// Chooses a menu item of a window as the user would (a gray item does nothing).
// False if the window has no such item.
bool ChooseMenuItem(HWND window, UINT id);

// The items of a window's menu with their states.
std::vector<MenuItemState> MenuStatesOf(HWND window);

// Waits until a video renderer has presented a picture in the window's client
// area; false after timeoutMs or when hwnd is not a window.
bool WaitForVideo(HWND window, int timeoutMs);

// Saves a picture of a window as shown to a PNG file.
bool SaveWindowPicture(HWND window, const std::string &path);

// Sets how the next folder chooser answers: a path, or no value for Cancel.
void QueueFolderAnswer(const std::optional<std::string> &path);
// Takes the queued answer; false when none is queued.
bool TakeFolderAnswer(std::optional<std::string> &path);

} // namespace twgui
