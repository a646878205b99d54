#include "boxdriver.h"

#include "qt/qtthread.h"

#include <QApplication>
#include <QKeyEvent>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace guitest {
namespace {

QMessageBox *FindBox(const QString &text)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box != nullptr && box->isVisible() && box->text() == text)
            return box;
    }
    return nullptr;
}

} // namespace

bool OnBox(const QString &text, const std::function<void(QMessageBox *)> &action, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        bool found = false;
        twgui::RunOnQtThread([&] {
            if (QMessageBox *box = FindBox(text)) {
                action(box);
                found = true;
            }
        });
        if (found)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void PressKey(QMessageBox *box, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(box, &release);
}

bool BoxOpen(const QString &text)
{
    bool open = false;
    twgui::RunOnQtThread([&] { open = FindBox(text) != nullptr; });
    return open;
}

} // namespace guitest

namespace {
// Every test here runs without a display, and with real boxes unless it asks otherwise.
const bool g_environmentReady = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("TARNWICK_UI_SCRIPT");
    unsetenv("TARNWICK_UI_LOG");
    return true;
}();
} // namespace
