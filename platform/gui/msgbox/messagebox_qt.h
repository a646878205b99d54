// Shows a message box with Qt. Runs on the Qt thread and returns at once; the
// answer arrives through the callback when the user presses a button.
#pragma once
#include "messagebox_style.h"

#include <functional>
#include <string>

namespace twgui {

// deliver is called exactly once on the Qt thread: with the button pressed, or with
// 0 when the Qt thread ends before the box is answered.
void ShowQtMessageBox(const std::string &caption, const std::string &text, const MessageBoxStyle &style,
                      std::function<void(int)> deliver);

} // namespace twgui
