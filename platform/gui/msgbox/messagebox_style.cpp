#include "messagebox_style.h"

namespace twgui {

bool DecodeMessageBoxStyle(UINT type, MessageBoxStyle &style)
{
    style = MessageBoxStyle();
    switch (type & MB_TYPEMASK) {
    case MB_OK: style.buttons = {IDOK}; style.closeAnswer = IDOK; break;
    case MB_OKCANCEL: style.buttons = {IDOK, IDCANCEL}; style.closeAnswer = IDCANCEL; break;
    // Without a Cancel button the close box is disabled, as on Windows.
    case MB_ABORTRETRYIGNORE: style.buttons = {IDABORT, IDRETRY, IDIGNORE}; break;
    case MB_YESNOCANCEL: style.buttons = {IDYES, IDNO, IDCANCEL}; style.closeAnswer = IDCANCEL; break;
    case MB_YESNO: style.buttons = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: style.buttons = {IDRETRY, IDCANCEL}; style.closeAnswer = IDCANCEL; break;
    default: return false;
    }
    // A default beyond the last button falls back to the first.
    size_t index = (type & MB_DEFMASK) >> 8;
    style.defaultButton = style.buttons[index < style.buttons.size() ? index : 0];
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: style.icon = MessageBoxIcon::Error; break;
    case MB_ICONQUESTION: style.icon = MessageBoxIcon::Question; break;
    case MB_ICONEXCLAMATION: style.icon = MessageBoxIcon::Warning; break;
    case MB_ICONASTERISK: style.icon = MessageBoxIcon::Information; break;
    default: break;
    }
    return true;
}

std::string CommandIdName(int id)
{
    switch (id) {
    case IDOK: return "IDOK";
    case IDCANCEL: return "IDCANCEL";
    case IDABORT: return "IDABORT";
    case IDRETRY: return "IDRETRY";
    case IDIGNORE: return "IDIGNORE";
    case IDYES: return "IDYES";
    case IDNO: return "IDNO";
    default: return std::to_string(id);
    }
}

} // namespace twgui
