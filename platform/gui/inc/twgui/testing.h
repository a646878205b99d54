// Test interface of the gui library: lets a unit test answer message boxes and
// read what they said. Platform-internal; system code never includes it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace twgui::test {

// One message box as the caller asked for it.
struct MessageBoxInfo {
    std::string caption;   // after defaulting (a null caption reads "Error")
    std::string text;
    UINT type = 0;         // the uType argument, unchanged
    DWORD threadId = 0;    // GetCurrentThreadId() of the calling thread
    int answer = 0;        // the button id returned (filled in for TakeMessageBoxes)
};

// Answers every message box in this process with the returned button id instead
// of showing it. A null function restores real boxes. Safe from any thread.
void SetMessageBoxResponder(std::function<int(const MessageBoxInfo &)> responder);

// The message boxes shown (or answered) since the previous call, oldest first.
std::vector<MessageBoxInfo> TakeMessageBoxes();

} // namespace twgui::test
