// Dialog templates (DIALOG and DIALOGEX resources) read into plain data.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include <windows.h>

namespace twgui {

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className;   // predefined classes by name: "Button", "Edit", "Static", ...
    std::string text;
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string className;
    int pointSize = 8;
    std::string typeface;
    std::vector<DialogItemTemplate> items;
};

// Parses a template; false if it is malformed (nothing is read past `size`).
bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate &out);

} // namespace twgui
