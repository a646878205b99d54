// Shows message boxes and returns from main, for the process tests.
//   gui_msgbox_child boxes <type> <caption|-> <text> [...]   one box per triple; prints the answers
//   gui_msgbox_child answered   a real box, clicked through the Qt thread, then return
//   gui_msgbox_child unanswered return while another thread still waits on a real box
#include "qt/qtthread.h"

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
