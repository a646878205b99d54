// Automation of the user interface for tests and unattended runs, driven by the
// environment: TARNWICK_UI_SCRIPT (answers boxes without showing them) and
// TARNWICK_UI_LOG (a line per box).
#pragma once
#include <string>
#include <vector>

namespace twgui {

// True when TARNWICK_UI_SCRIPT names a file: boxes are answered with their default button.
bool UiScriptActive();

// Escapes a log field: backslash, tab, newline and carriage return become \\ \t \n \r.
std::string EscapeLogField(const std::string &field);

// Appends one line of tab-separated fields to the TARNWICK_UI_LOG file, if set, in a
// single append so that lines from several threads or processes never mix.
void AppendUiLog(const std::vector<std::string> &fields);

} // namespace twgui
