// Test interface of the gui library: lets a unit test answer message boxes, read
// what they said, and read the pixels a window shows. Platform-internal; system
// code never includes it.
#pragma once
#include <cstdint>
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

// What a window's client area shows on the Qt thread: 0x00RRGGBB pixels, top row
// first. Empty (width 0) when the window is not shown.
struct WindowPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
WindowPixels ReadWindowPixels(HWND hwnd);

// A picture file (PNG, BMP) as pixels of the same kind; width 0 when it cannot be read.
WindowPixels ReadPictureFile(const std::string &path);

// Saves a picture of a window as shown (with its frame) to a PNG file.
bool SaveWindowPng(HWND hwnd, const std::string &path);

} // namespace twgui::test
