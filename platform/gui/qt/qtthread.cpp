// The Qt thread: start on first use, hand work over, stop at process exit.
#include "qtthread.h"
#include "wakeevent.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QInputDevice>
#include <QMessageBox>
#include <QPointingDevice>
#include <QSocketNotifier>

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace twgui {
namespace {

enum class Phase { NotStarted, Starting, Running, Stopping, Stopped, Failed };

// Any thread starts, feeds and stops the Qt thread: `mutex` guards every field but
// the wake event (whose signalling is a system call) and exitFns.
struct QtThreadState {
    std::mutex mutex;
    std::condition_variable changed;              // phase changed
    Phase phase = Phase::NotStarted;
    std::thread thread;
    std::thread::id threadId;
    std::deque<std::function<void()>> queue;      // work for the Qt thread, in order
    WakeEvent wake;                               // signalled while the queue has work
    bool wakePending = false;
    std::vector<std::function<void()>> exitFns;   // Qt thread only
};

QtThreadState &State()
{
    static QtThreadState state;
    return state;
}

// How long process exit waits for the Qt thread before leaving it behind.
constexpr auto kStopTimeout = std::chrono::seconds(5);

bool NoDisplay()
{
    auto unset = [](const char *name) {
        const char *v = std::getenv(name);
        return v == nullptr || *v == '\0';
    };
    return unset("DISPLAY") && unset("WAYLAND_DISPLAY") && unset("QT_QPA_PLATFORM");
}

// Qt's own diagnostics, less the notes of the offscreen platform about what it
// cannot do (raise a window, size hints) and about a missing runtime directory,
// which say nothing about the program.
void FilterQtMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const char *const kNoise[] = {"This plugin does not support", "XDG_RUNTIME_DIR not set"};
    for (const char *noise : kNoise)
        if (message.contains(QLatin1String(noise)))
            return;
    QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
}

// Creates the widgets and resources a message box uses once, so that Qt's own
// process-wide objects exist before the exit hook is registered: exit handlers run
// in reverse order, so the hook then ends the Qt thread before they are destroyed.
void WarmUp()
{
    QInputDevice::primaryKeyboard();
    QPointingDevice::primaryPointingDevice();
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tarnwick"), QStringLiteral("Ready"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    box.setAttribute(Qt::WA_DontShowOnScreen);
    box.show();
    QCoreApplication::processEvents();
    QAccessible::queryAccessibleInterface(&box); // the accessibility cache, used when widgets die
    box.hide();
    // The same for windows and dialogs: menus (their icons load image plugins),
    // the controls, and pictures saved as PNG.
    QWidget window;
    window.setAttribute(Qt::WA_DontShowOnScreen);
    QMenuBar bar(&window);
    bar.addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Open\tO"));
    QLineEdit edit(&window);
    QComboBox combo(&window);
    combo.addItem(QStringLiteral("Item"));
    QProgressBar progress(&window);
    QPushButton button(QStringLiteral("OK"), &window);
    QLabel label(QStringLiteral("Static"), &window);
    window.show();
    QCoreApplication::processEvents();
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    window.grab().toImage().save(&png, "PNG");
    window.hide();
}

// Runs the queued work. Other threads never call Qt: they queue work under our
// mutex and signal the wake event, which the event loop watches.
void Drain(QtThreadState &s)
{
    std::deque<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.wake.Clear();
        work.swap(s.queue);
        s.wakePending = false;
    }
    for (auto &fn : work)
        fn();
}

// Deletes every widget still alive (windows whose thread never destroyed them,
// deletions still posted), so none outlives the application object.
void DeleteAllWidgets()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::vector<QPointer<QWidget>> widgets;
    for (QWidget *widget : QApplication::topLevelWidgets())
        widgets.emplace_back(widget);
    for (QPointer<QWidget> &widget : widgets)
        delete widget.data(); // null when its owner went first
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The Qt thread has torn Qt down and stays, asleep, until the process ends. Qt
// keeps the plugin objects it loaded (platform, image formats) until its own exit
// handlers delete them on the exiting thread; they belong to this thread, and
// deleting them after this thread had ended would release its thread data twice,
// a write into freed memory.
[[noreturn]] void ParkUntilProcessEnd()
{
    for (;;)
        pause();
}

void QtThreadMain(QtThreadState &s)
{
    // Without a display, Qt would abort; the offscreen platform needs none.
    static char name[] = "tarnwick";
    static char platformOpt[] = "-platform";
    static char offscreen[] = "offscreen";
    static char *argvDisplay[] = {name, nullptr};
    static char *argvOffscreen[] = {name, platformOpt, offscreen, nullptr};
    static int argc = 1;
    char **argv = argvDisplay;
    if (NoDisplay()) {
        argc = 3;
        argv = argvOffscreen;
    }

    if (s.wake.valid()) {
        qInstallMessageHandler(FilterQtMessages);
        QApplication app(argc, argv);
        // Closing the last box or window must not end the loop.
        QApplication::setQuitOnLastWindowClosed(false);
        WarmUp();
        QSocketNotifier notifier(s.wake.fd(), QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &notifier, [&s] { Drain(s); });
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.phase = Phase::Running;
        }
        s.changed.notify_all();

        QApplication::exec();

        // Work queued before shutdown began still runs, so no caller is left waiting.
        Drain(s);
        for (auto &fn : s.exitFns)
            fn();
        s.exitFns.clear();
        DeleteAllWidgets();
    }
    bool started;
    {
        // Notified under the lock: once StopQtThread sees the phase it may return
        // and let exit destroy this state, which this thread then no longer touches.
        std::lock_guard<std::mutex> lock(s.mutex);
        started = s.phase != Phase::Starting;
        s.phase = started ? Phase::Stopped : Phase::Failed;
        s.changed.notify_all();
    }
    if (started)
        ParkUntilProcessEnd();
}

void ExitHook()
{
    StopQtThread();
}

// exit() runs the exiting thread's thread_local destructors before any exit
// handler, so this guard, held by the main thread, ends the Qt thread before the
// handlers that destroy Qt's and the platform's process-wide objects, whenever
// those were created. The exit handler above covers an exit from another thread.
struct MainThreadExitGuard {
    void Arm() {}
    ~MainThreadExitGuard() { StopQtThread(); }
};
thread_local MainThreadExitGuard t_exitGuard;

bool ArmExitGuardOnMainThread()
{
    if (gettid() != getpid())
        return false;
    t_exitGuard.Arm();
    return true;
}

// The library is loaded by the main thread at start-up or by LoadLibrary.
const bool g_exitGuardArmed = ArmExitGuardOnMainThread();

// Starts the Qt thread if it has not started; true once it is running.
bool EnsureStarted(std::unique_lock<std::mutex> &lock)
{
    QtThreadState &s = State();
    if (s.phase == Phase::NotStarted) {
        s.phase = Phase::Starting;
        s.thread = std::thread(QtThreadMain, std::ref(s));
        s.threadId = s.thread.get_id();
        if (!g_exitGuardArmed)
            ArmExitGuardOnMainThread();
        s.changed.wait(lock, [&] { return s.phase != Phase::Starting; });
        if (s.phase == Phase::Running) {
            lock.unlock();
            RefreshExitHook();
            lock.lock();
        }
    } else if (s.phase == Phase::Starting) {
        s.changed.wait(lock, [&] { return s.phase != Phase::Starting; });
    }
    return s.phase == Phase::Running;
}

} // namespace

bool PostToQtThread(std::function<void()> fn)
{
    QtThreadState &s = State();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (!EnsureStarted(lock))
        return false;
    s.queue.push_back(std::move(fn));
    if (!s.wakePending) {
        s.wake.Signal();
        s.wakePending = true;
    }
    return true;
}

bool RunOnQtThread(const std::function<void()> &fn)
{
    if (IsQtThread()) {
        fn();
        return true;
    }
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool ran = false;
        bool finished = false;
    };
    auto done = std::make_shared<Done>();
    // Signals the waiter when the task has run, or when it is dropped unrun.
    struct Signal {
        std::shared_ptr<Done> d;
        ~Signal()
        {
            if (!d)
                return;
            std::lock_guard<std::mutex> lock(d->mutex);
            d->finished = true;
            d->cv.notify_all();
        }
    };
    auto signal = std::make_shared<Signal>();
    signal->d = done;
    bool posted = PostToQtThread([&fn, signal]() {
        fn();
        std::lock_guard<std::mutex> lock(signal->d->mutex);
        signal->d->ran = true;
    });
    signal.reset();
    if (!posted)
        return false;
    std::unique_lock<std::mutex> lock(done->mutex);
    done->cv.wait(lock, [&] { return done->finished; });
    return done->ran;
}

bool QtThreadStopping()
{
    QtThreadState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.phase == Phase::Stopping || s.phase == Phase::Stopped;
}

void RefreshExitHook()
{
    // Registering again moves the hook to the front of the exit handlers; it is
    // idempotent, so earlier registrations do nothing when they run.
    if (!QtThreadStopping())
        std::atexit(ExitHook);
}

bool IsQtThread()
{
    QtThreadState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.phase != Phase::NotStarted && std::this_thread::get_id() == s.threadId;
}

void AtQtThreadExit(std::function<void()> fn)
{
    State().exitFns.push_back(std::move(fn));
}

void StopQtThread()
{
    QtThreadState &s = State();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.phase != Phase::Running || std::this_thread::get_id() == s.threadId)
        return;
    s.phase = Phase::Stopping;
    // exit() rather than quit(): quit() would first close every window, answering
    // open message boxes as though the user had closed them.
    s.queue.push_back([] { QCoreApplication::exit(0); });
    s.wake.Signal();
    s.wakePending = true;
    // Stopped: Qt is torn down and the thread sleeps to the end of the process.
    // Otherwise it is stuck in Qt; either way it is left to the end of the process.
    s.changed.wait_for(lock, kStopTimeout, [&] { return s.phase == Phase::Stopped; });
    s.thread.detach();
}

} // namespace twgui
