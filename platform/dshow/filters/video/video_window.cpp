#include "video_window.h"

namespace twds {
namespace {

const char kClassName[] = "TwVideoWindow";
const UINT kMsgShow = WM_APP + 1;
const UINT kMsgQuit = WM_APP + 2;

void RegisterWindowClass()
{
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

VideoWindow::VideoWindow(PicturePath &path, std::string caption, std::function<void()> onClose)
    : m_path(path), m_caption(std::move(caption)), m_onClose(std::move(onClose))
{
}

VideoWindow::~VideoWindow()
{
    if (m_thread.joinable()) {
        if (HWND hwnd = m_hwnd.load())
            PostMessageA(hwnd, kMsgQuit, 0, 0);
        else
            PostThreadMessageA(m_threadId.load(), WM_QUIT, 0, 0);
        m_thread.join();
    }
}

HRESULT VideoWindow::Show(LONG width, LONG height)
{
    if (!m_thread.joinable()) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ready)
            return E_OUTOFMEMORY;
        m_thread = std::thread(&VideoWindow::Run, this, width, height, ready);
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    HWND hwnd = m_hwnd.load();
    if (!hwnd)
        return E_FAIL;
    PostMessageA(hwnd, kMsgShow, 0, 0);
    return S_OK;
}

void VideoWindow::Run(LONG width, LONG height, HANDLE ready)
{
    m_threadId = GetCurrentThreadId();
    RegisterWindowClass();
    HWND hwnd = CreateWindowExA(0, kClassName, m_caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&VideoWindow::Proc));
        // Grow the window by its frame so that the client area is the video's size.
        RECT outer, client;
        GetWindowRect(hwnd, &outer);
        GetClientRect(hwnd, &client);
        MoveWindow(hwnd, outer.left, outer.top, width + (outer.right - outer.left) - client.right,
                   height + (outer.bottom - outer.top) - client.bottom, FALSE);
        GetClientRect(hwnd, &client);
        m_path.SetPosition(nullptr, &client);
    }
    m_hwnd = hwnd;
    SetEvent(ready);
    if (!hwnd)
        return;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LRESULT CALLBACK VideoWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto *self = reinterpret_cast<VideoWindow *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
    case kMsgShow:
        ShowWindow(hwnd, SW_SHOWNORMAL);
        return 0;
    case WM_SIZE: {
        RECT client;
        GetClientRect(hwnd, &client);
        self->m_path.SetPosition(nullptr, &client);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        self->m_path.Repaint(hdc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        ShowWindow(hwnd, SW_HIDE);
        if (self->m_onClose)
            self->m_onClose();
        return 0;
    case kMsgQuit:
        // From the owner: the window goes and the loop ends.
        self->m_hwnd = nullptr;
        DestroyWindow(hwnd);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

} // namespace twds
