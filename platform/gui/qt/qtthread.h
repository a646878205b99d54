// The Qt thread: Qt runs on a thread of the gui library's own, started on first
// use, with the QApplication created there. Nothing else touches Qt objects; work
// for Qt is handed over with these calls. The Qt thread never waits for an
// application thread.
#pragma once
#include <functional>

namespace twgui {

// Queues fn to run on the Qt thread, starting the thread if needed, and returns at
// once. False when Qt is shutting down or could not start (fn is then dropped).
bool PostToQtThread(std::function<void()> fn);

// Runs fn on the Qt thread and waits until it has run: for queries and for tests.
// On the Qt thread itself it runs fn at once. False when Qt is shutting down.
bool RunOnQtThread(const std::function<void()> &fn);

// True once the Qt thread has begun to end (the process is exiting).
bool QtThreadStopping();

// True on the Qt thread.
bool IsQtThread();

// Registers fn to run on the Qt thread when its event loop has ended, before the
// QApplication is destroyed (so open windows can be closed and waiting callers
// answered). Call on the Qt thread.
void AtQtThreadExit(std::function<void()> fn);

// An exit from the main thread ends the Qt thread before any exit handler runs.
// An exit from another thread ends it from an exit handler, which must run before
// the handlers that destroy Qt's own process-wide objects; those are created lazily,
// and exit handlers run in reverse order of registration. Call after Qt work that
// may have created new ones at a pace set by the user (a message box was
// destroyed), never per frame or per message. Any thread.
void RefreshExitHook();

// Ends the Qt thread: quits its event loop, runs the exit functions, deletes every
// widget and the application object, waiting a bounded time. The thread then
// sleeps until the process ends. Runs by itself at process exit; idempotent. Work
// posted afterwards is refused.
void StopQtThread();

} // namespace twgui
