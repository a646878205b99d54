// Drives real message boxes from a test: finds an open box on the Qt thread and
// acts on it there, as a user would.
#pragma once
#include <QMessageBox>
#include <QString>

#include <functional>

namespace guitest {

// Waits for a visible message box whose text is `text` and runs action on it on the
// Qt thread. False when no such box appears within the time-out.
bool OnBox(const QString &text, const std::function<void(QMessageBox *)> &action, int timeoutMs = 10000);

// Presses a key in the box (Enter, Escape) the way keyboard input arrives.
void PressKey(QMessageBox *box, int key);

// True while a visible box with this text is open.
bool BoxOpen(const QString &text);

} // namespace guitest
