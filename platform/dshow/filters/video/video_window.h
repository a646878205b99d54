// A video renderer's own top-level window of the windows library, on a thread of
// its own that runs the window's message loop: WM_PAINT repaints the last picture,
// a resize makes the client area the destination, the close box hides the window
// and tells the owner.
//
// Threads: Show and the destructor come from the graph's thread; Handle from any
// thread (atomic). The window thread touches only the picture path (its own lock)
// and the close callback.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <windows.h>

#include "filters/video/picture_path.h"

namespace twds {

class VideoWindow {
public:
    VideoWindow(PicturePath &path, std::string caption, std::function<void()> onClose);
    ~VideoWindow();
    VideoWindow(const VideoWindow &) = delete;
    VideoWindow &operator=(const VideoWindow &) = delete;

    // Creates the window once, with a client area of width x height, and shows it.
    HRESULT Show(LONG width, LONG height);
    // The window, or null before Show.
    HWND Handle() const { return m_hwnd.load(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Run(LONG width, LONG height, HANDLE ready);

    PicturePath &m_path;
    const std::string m_caption;
    const std::function<void()> m_onClose;
    std::thread m_thread;                 // graph thread
    std::atomic<HWND> m_hwnd{nullptr};    // set by the window thread before it signals ready
    std::atomic<DWORD> m_threadId{0};
};

} // namespace twds
