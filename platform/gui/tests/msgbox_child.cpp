// Shows message boxes and returns from main, for the process tests.
//   gui_msgbox_child boxes <type> <caption|-> <text> [...]   one box per triple; prints the answers
//   gui_msgbox_child answered   a real box, clicked through the Qt thread, then return
//   gui_msgbox_child unanswered return while another thread still waits on a real box
//   gui_msgbox_child video <ms> a window "Video" that a thread shows a picture in after
//                               ms (never when negative); runs until the window closes
#include "qt/qtthread.h"

#include <twgui/video.h>

#include <windows.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Clicks the box's default button once the box is open; false after 10 seconds.
bool PressDefault(bool press)
{
    for (int i = 0; i < 1000; ++i) {
        bool found = false;
        twgui::RunOnQtThread([&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (box != nullptr && box->isVisible()) {
                    found = true;
                    if (press)
                        box->defaultButton()->click();
                }
            }
        });
        if (found)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

LRESULT CALLBACK VideoWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A window that a renderer-like thread presents one picture into.
int ShowVideo(int delayMs)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = VideoWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VideoChild";
    if (RegisterClassA(&wc) == 0)
        return 3;
    HWND hwnd = CreateWindowExA(0, "VideoChild", "Video", WS_OVERLAPPEDWINDOW, 10, 10, 200, 150, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr)
        return 3;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    std::thread renderer([hwnd, delayMs] {
        if (delayMs < 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        std::vector<uint32_t> red(32 * 24, 0x00FF0000u);
        twgui::PresentPicture(hwnd, 0, 0, twgui::PictureView{red.data(), 32, 24, 32});
    });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    renderer.join();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    std::string mode = argv[1];
    if (mode == "boxes") {
        for (int i = 2; i + 2 < argc; i += 3) {
            const char *caption = std::strcmp(argv[i + 1], "-") == 0 ? nullptr : argv[i + 1];
            int answer = MessageBoxA(nullptr, argv[i + 2], caption, static_cast<UINT>(std::strtoul(argv[i], nullptr, 0)));
            std::printf("%d\n", answer);
        }
        return 0;
    }
    if (mode == "answered") {
        int answer = -1;
        std::thread caller([&] { answer = MessageBoxA(nullptr, "Quit now?", "Child", MB_YESNO | MB_DEFBUTTON2); });
        bool pressed = PressDefault(true);
        caller.join();
        std::printf("%d\n", answer);
        return pressed && answer == IDNO ? 0 : 3;
    }
    if (mode == "video" && argc == 3)
        return ShowVideo(std::atoi(argv[2]));
    if (mode == "unanswered") {
        // The caller must never return: the process ends while it waits.
        std::thread caller([] {
            int answer = MessageBoxA(nullptr, "Nobody answers", "Child", MB_OK);
            std::printf("returned %d\n", answer);
            std::fflush(stdout);
        });
        caller.detach();
        return PressDefault(false) ? 0 : 3;
    }
    return 2;
}
