// User actions on windows, for the UI script and tests.
#include "uiactions.h"
#include "qtmirror.h"
#include "windowtable.h"

#include <QImage>

#include <chrono>
#include <deque>
#include <thread>

namespace twgui {
namespace {

bool WaitUntil(int timeoutMs, const std::function<bool()> &condition)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct FolderAnswers {
    std::mutex mutex;
    std::deque<std::optional<std::string>> answers;
};

FolderAnswers &Answers()
{
    static FolderAnswers answers;
    return answers;
}

} // namespace

HWND MainWindow()
{
    auto found = FindWindows([](const WindowRecord &r) {
        return r.kind == WindowKind::TopLevel && r.threadId != 0 && !r.destroying;
    });
    return found.empty() ? nullptr : found.front();
}

HWND WaitForCaption(const std::string &caption, int timeoutMs)
{
    HWND hwnd = nullptr;
    WaitUntil(timeoutMs, [&] {
        auto found = FindWindows([&](const WindowRecord &r) {
            return r.kind != WindowKind::Control && r.threadId != 0 && r.visible && !r.destroying &&
                   r.text == caption;
        });
        hwnd = found.empty() ? nullptr : found.back();
        return hwnd != nullptr;
    });
    return hwnd;
}

bool TypeIntoControl(HWND window, int id, const std::string &text)
{
    HWND control = GetDlgItem(window, id);
    return control != nullptr && MirrorUserText(control, text);
}

bool ClickControl(HWND window, int id, int timeoutMs)
{
    HWND control = GetDlgItem(window, id);
    if (control == nullptr)
        return false;
    if (!WaitUntil(timeoutMs, [&] { return IsWindowVisible(control) && IsWindowEnabled(control); }))
        return false;
    // The widget may not have caught up with the record yet: retry briefly.
    return WaitUntil(timeoutMs, [&] { return MirrorClick(control); });
}

bool PressKey(HWND window, WPARAM vk)
{
    return vk != 0 && PostMessageA(window, WM_KEYDOWN, vk, 1) != FALSE;
}

WPARAM VirtualKeyOfName(const std::string &name)
{
    if (name.size() == 1) {
        char c = name[0];
        if (c >= 'a' && c <= 'z')
            return static_cast<WPARAM>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return static_cast<WPARAM>(c);
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12 && name.find_first_not_of("0123456789", 1) == std::string::npos)
            return static_cast<WPARAM>(VK_F1 + n - 1);
    }
    if (name == "Enter" || name == "Return")
        return VK_RETURN;
    if (name == "Escape" || name == "Esc")
        return VK_ESCAPE;
    if (name == "Space")
        return VK_SPACE;
    if (name == "Tab")
        return VK_TAB;
    return 0;
}

bool ChooseMenuItem(HWND window, UINT id)
{
    return MirrorTriggerMenu(window, id);
}

std::vector<MenuItemState> MenuStatesOf(HWND window)
{
    return MenuItemStates(GetMenu(window));
}

bool SaveWindowPicture(HWND window, const std::string &path)
{
    QImage image = MirrorGrab(window);
    return !image.isNull() && image.save(QString::fromUtf8(path.c_str()), "PNG");
}

void QueueFolderAnswer(const std::optional<std::string> &path)
{
    std::lock_guard<std::mutex> lock(Answers().mutex);
    Answers().answers.push_back(path);
}

bool TakeFolderAnswer(std::optional<std::string> &path)
{
    std::lock_guard<std::mutex> lock(Answers().mutex);
    if (Answers().answers.empty())
        return false;
    path = Answers().answers.front();
    Answers().answers.pop_front();
    return true;
}

} // namespace twgui
