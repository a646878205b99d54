// The UI script: when TARNWICK_UI_SCRIPT names a file, its steps run on a thread of
// the window library's own, started with the first window, dialog or box.
#pragma once

namespace twgui {

// Starts the script runner once, if a script is set. Any thread.
void StartUiScript();

} // namespace twgui
