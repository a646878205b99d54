// The predefined control classes of dialogs: Button, Edit, Static, ComboBox and
// the progress bar. Their state lives in the window records; their procedures
// answer the control messages and hand changes to the Qt side.
#pragma once
#include "windows/windowtable.h"

#include <string>

namespace twgui {

// The control type of a class name (case-insensitive); None for other classes.
ControlType ControlTypeOfClass(const std::string &className);

// The window procedure of a control type.
WNDPROC ControlProc(ControlType type);

// Sets a window's text in its record and shows it; logs caption changes of
// top-level windows and dialogs.
void SetRecordText(HWND hwnd, const char *text);

// Copies a text into a caller's buffer of `max` characters as WM_GETTEXT does;
// returns the characters copied.
LRESULT CopyTextOut(const std::string &text, WPARAM max, LPARAM buffer);

} // namespace twgui
