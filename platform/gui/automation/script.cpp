// The UI script runner: reads TARNWICK_UI_SCRIPT and performs its steps on a thread
// of its own, one a line, logging what it does to TARNWICK_UI_LOG.
#include "script.h"
#include "automation.h"
#include "uiactions.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

namespace twgui {
namespace {

constexpr int kDefaultWaitMs = 10000;
constexpr int kScriptFailedExit = 124;

// Splits a line into words; a word in double quotes may hold spaces (a backslash
// inside quotes takes the next character as it is).
std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size())
                    ++i;
                word.push_back(line[i++]);
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word.push_back(line[i++]);
        }
        words.push_back(word);
    }
    return words;
}

[[noreturn]] void Fail(int lineNo, const std::string &why)
{
    AppendUiLog({"script", "failed", std::to_string(lineNo), why});
    std::fprintf(stderr, "UI script line %d: %s\n", lineNo, why.c_str());
    // An unattended run must not hang on a step that cannot happen.
    std::_Exit(kScriptFailedExit);
}

int Number(const std::vector<std::string> &w, size_t i, int fallback, int lineNo)
{
    if (i >= w.size())
        return fallback;
    char *end = nullptr;
    long v = std::strtol(w[i].c_str(), &end, 10);
    if (end == w[i].c_str() || *end != '\0')
        Fail(lineNo, "not a number: " + w[i]);
    return static_cast<int>(v);
}

void Run(const std::string &path)
{
    std::ifstream in(path);
    if (!in) {
        AppendUiLog({"script", "failed", "0", "cannot read " + path});
        return;
    }
    AppendUiLog({"script", "start"});
    HWND target = nullptr;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::vector<std::string> w = Words(line);
        if (w.empty() || w[0][0] == '#')
            continue;
        const std::string &cmd = w[0];
        auto need = [&](size_t n) {
            if (w.size() < n)
                Fail(lineNo, cmd + ": missing argument");
        };
        auto needTarget = [&] {
            if (target == nullptr || !IsWindow(target))
                Fail(lineNo, cmd + ": no window (use wait first)");
        };
        auto main = [&] {
            HWND m = MainWindow();
            if (m == nullptr)
                Fail(lineNo, cmd + ": no main window");
            return m;
        };
        if (cmd == "wait") {
            need(2);
            target = WaitForCaption(w[1], Number(w, 2, kDefaultWaitMs, lineNo));
            if (target == nullptr)
                Fail(lineNo, "no window \"" + w[1] + "\" appeared");
        } else if (cmd == "waitvideo") {
            if (!WaitForVideo(main(), Number(w, 1, kDefaultWaitMs, lineNo)))
                Fail(lineNo, "no video picture was shown");
        } else if (cmd == "settext") {
            need(3);
            needTarget();
            if (!TypeIntoControl(target, Number(w, 1, 0, lineNo), w[2]))
                Fail(lineNo, "cannot type into control " + w[1]);
            WaitUntilSettled(target, kDefaultWaitMs);
        } else if (cmd == "click") {
            need(2);
            needTarget();
            if (!ClickControl(target, Number(w, 1, 0, lineNo), kDefaultWaitMs))
                Fail(lineNo, "cannot click control " + w[1]);
            WaitUntilSettled(target, kDefaultWaitMs);
        } else if (cmd == "key") {
            need(2);
            WPARAM vk = VirtualKeyOfName(w[1]);
            if (vk == 0)
                Fail(lineNo, "unknown key " + w[1]);
            HWND m = main();
            PressKey(m, vk);
            WaitUntilSettled(m, kDefaultWaitMs);
        } else if (cmd == "menu") {
            need(2);
            HWND m = main();
            if (!ChooseMenuItem(m, static_cast<UINT>(Number(w, 1, 0, lineNo))))
                Fail(lineNo, "no menu item " + w[1]);
            WaitUntilSettled(m, kDefaultWaitMs);
        } else if (cmd == "menustate") {
            for (const MenuItemState &s : MenuStatesOf(main()))
                AppendUiLog({"menu", std::to_string(s.id), s.text, s.grayed ? "grayed" : "enabled",
                             s.checked ? "checked" : "unchecked"});
        } else if (cmd == "browse") {
            need(2);
            QueueFolderAnswer(w[1] == "cancel" ? std::optional<std::string>() : std::optional<std::string>(w[1]));
        } else if (cmd == "sleep") {
            need(2);
            Sleep(static_cast<DWORD>(std::max(0, Number(w, 1, 0, lineNo))));
        } else if (cmd == "png") {
            need(2);
            needTarget();
            if (!SaveWindowPicture(target, w[1]))
                Fail(lineNo, "cannot save a picture to " + w[1]);
            AppendUiLog({"png", w[1]});
        } else if (cmd == "close") {
            needTarget();
            PostMessageA(target, WM_CLOSE, 0, 0);
        } else if (cmd == "quit") {
            // Logged first: closing the main window may end the process before
            // this thread runs again.
            AppendUiLog({"script", "end"});
            PostMessageA(main(), WM_CLOSE, 0, 0);
            return;
        } else {
            Fail(lineNo, "unknown step " + cmd);
        }
    }
    AppendUiLog({"script", "end"});
}

} // namespace

void StartUiScript()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const char *path = std::getenv("TARNWICK_UI_SCRIPT");
        if (path == nullptr || *path == '\0')
            return;
        std::thread(Run, std::string(path)).detach();
    });
}

} // namespace twgui
