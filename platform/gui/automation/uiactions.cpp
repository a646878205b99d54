// User actions on windows, for the UI script and tests.
#include "uiactions.h"
#include "windows/internalmsg.h"
#include "qt/qtmirror.h"
#include "windows/window_surface.h"
#include "windows/windowtable.h"

#include "gdi/gdi_objects.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <set>
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
    // Never destroyed: the script's thread may still use it while the process exits.
    static FolderAnswers *answers = new FolderAnswers;
    return *answers;
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

namespace {

struct Markers {
    std::mutex mutex;
    std::condition_variable cv;
    WPARAM next = 1;
    std::set<WPARAM> dispatched;
};

Markers &TheMarkers()
{
    // Never destroyed: the script's thread may still wait on it while the process exits.
    static Markers *markers = new Markers;
    return *markers;
}

} // namespace

bool WaitUntilSettled(HWND window, int timeoutMs)
{
    DWORD owner = GetWindowThreadProcessId(window, nullptr);
    if (owner == 0)
        return false;
    WPARAM marker;
    {
        std::lock_guard<std::mutex> lock(TheMarkers().mutex);
        marker = TheMarkers().next++;
    }
    if (!PostThreadMessageA(owner, kMsgSettleMarker, marker, 0))
        return false;
    std::unique_lock<std::mutex> lock(TheMarkers().mutex);
    bool done = TheMarkers().cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return TheMarkers().dispatched.count(marker) != 0; });
    TheMarkers().dispatched.erase(marker);
    return done;
}

void MarkerDispatched(WPARAM marker)
{
    std::lock_guard<std::mutex> lock(TheMarkers().mutex);
    TheMarkers().dispatched.insert(marker);
    TheMarkers().cv.notify_all();
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

bool WaitForVideo(HWND window, int timeoutMs)
{
    return WaitUntil(timeoutMs, [&] {
        auto surface = GetClientSurface(window);
        if (!surface)
            return false;
        std::lock_guard<std::mutex> lock(surface->mutex);
        return surface->videoPictures > 0;
    });
}

bool SaveWindowPicture(HWND window, const std::string &path)
{
    QImage content = MirrorGrab(window);
    WindowRecord r;
    if (content.isNull() || !SnapshotRecord(window, r))
        return false;
    // The frame this platform's metrics describe: a border, and a caption bar for
    // windows with a caption, drawn around what the widgets show.
    bool caption = (r.style & WS_CAPTION) == WS_CAPTION;
    int top = kBorder + (caption ? kCaption : 0);
    QImage framed(content.width() + 2 * kBorder, content.height() + top + kBorder, QImage::Format_RGB32);
    framed.fill(QColor(96, 96, 96));
    QPainter p(&framed);
    if (caption) {
        QRect bar(kBorder, kBorder, content.width(), kCaption);
        QLinearGradient shade(bar.topLeft(), bar.bottomLeft());
        shade.setColorAt(0, QColor(238, 240, 244));
        shade.setColorAt(1, QColor(214, 218, 226));
        p.fillRect(bar, shade);
        int x = bar.left() + 6;
        QImage icon = IconImage(r.icon);
        if (!icon.isNull()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRect(x, bar.top() + (kCaption - 16) / 2, 16, 16), icon);
            x += 22;
        }
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(32, 32, 40));
        p.drawText(QRect(x, bar.top(), bar.right() - x - 4, kCaption), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromUtf8(r.text.c_str()));
    }
    p.drawImage(kBorder, top, content);
    p.end();
    return framed.save(QString::fromUtf8(path.c_str()), "PNG");
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
