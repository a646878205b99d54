// What a MessageBox style asks for: its buttons in order, the default button, the
// icon and what closing the box answers. Plain data, no Qt.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace twgui {

enum class MessageBoxIcon { None, Error, Warning, Information, Question };

struct MessageBoxStyle {
    std::vector<int> buttons;   // command ids (IDOK, IDCANCEL, ...) in display order
    int defaultButton = 0;      // the id Enter presses
    int closeAnswer = 0;        // the id the close box and Esc answer; 0: the box cannot be closed
    MessageBoxIcon icon = MessageBoxIcon::None;
};

// Decodes uType; false for a button set MessageBox does not support.
bool DecodeMessageBoxStyle(UINT type, MessageBoxStyle &style);

// The name of a command id ("IDOK"), or its number for an unknown id.
std::string CommandIdName(int id);

} // namespace twgui
