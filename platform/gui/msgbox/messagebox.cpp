// MessageBoxA: the calling thread waits while the Qt thread shows the box, unless
// a test responder or the UI script answers it.
#include "automation/automation.h"
#include "messagebox_qt.h"
#include "messagebox_style.h"
#include "windows/msgqueue.h"
#include "automation/script.h"
#include "windows/windowtable.h"
#include "qt/qtthread.h"
#include <twgui/testing.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace twgui {
namespace {

using Responder = std::function<int(const test::MessageBoxInfo &)>;

// Boxes kept for TakeMessageBoxes; a process that never asks keeps only the latest.
constexpr size_t kMaxRecorded = 256;

struct MessageBoxRecord {
    std::mutex mutex;
    std::shared_ptr<Responder> responder;
    std::deque<test::MessageBoxInfo> shown;
};

MessageBoxRecord &Record()
{
    static MessageBoxRecord record;
    return record;
}

// One answer handed from the Qt thread to the waiting caller.
struct PendingAnswer {
    std::mutex mutex;
    std::condition_variable cv;
    bool answered = false;
    int id = 0;
};

// The process is exiting and the Qt thread has ended. As ExitProcess ends every
// other thread on Windows, the caller stays here until the process is gone rather
// than run on among the exit handlers.
[[noreturn]] void WaitForProcessEnd()
{
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;)
        never.wait(lock);
}

int ShowAndWait(const test::MessageBoxInfo &info, const MessageBoxStyle &style)
{
    auto pending = std::make_shared<PendingAnswer>();
    DWORD caller = GetCurrentThreadId();
    // A thread that owns windows keeps handling their messages while the box is up.
    bool ownsWindows = !FindWindows([caller](const WindowRecord &r) { return r.threadId == caller; }).empty();
    bool posted = PostToQtThread([info, style, pending, ownsWindows, caller] {
        ShowQtMessageBox(info.caption, info.text, style, [pending, ownsWindows, caller](int id) {
            {
                std::lock_guard<std::mutex> lock(pending->mutex);
                pending->answered = true;
                pending->id = id;
                pending->cv.notify_all();
            }
            if (ownsWindows)
                WakeModalLoop(caller);
        });
    });
    if (!posted) {
        if (QtThreadStopping())
            WaitForProcessEnd();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (ownsWindows) {
        ModalLoop([pending] {
            std::lock_guard<std::mutex> lock(pending->mutex);
            return pending->answered;
        });
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    pending->cv.wait(lock, [&] { return pending->answered; });
    lock.unlock();
    if (pending->id == 0) // the box was closed by the Qt thread ending
        WaitForProcessEnd();
    return pending->id;
}

} // namespace

namespace test {

void SetMessageBoxResponder(std::function<int(const MessageBoxInfo &)> responder)
{
    MessageBoxRecord &r = Record();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.responder = responder ? std::make_shared<Responder>(std::move(responder)) : nullptr;
}

std::vector<MessageBoxInfo> TakeMessageBoxes()
{
    MessageBoxRecord &r = Record();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<MessageBoxInfo> taken(r.shown.begin(), r.shown.end());
    r.shown.clear();
    return taken;
}

} // namespace test
} // namespace twgui

using namespace twgui;

EXTERN_C int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    (void)hWnd; // the box is modal to the application; its owner stays usable
    StartUiScript();
    MessageBoxStyle style;
    if (!DecodeMessageBoxStyle(uType, style)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    test::MessageBoxInfo info;
    info.caption = lpCaption != nullptr ? lpCaption : "Error";
    info.text = lpText != nullptr ? lpText : "";
    info.type = uType;
    info.threadId = GetCurrentThreadId();

    std::shared_ptr<Responder> responder;
    {
        MessageBoxRecord &r = Record();
        std::lock_guard<std::mutex> lock(r.mutex);
        responder = r.responder;
    }
    if (responder)
        info.answer = (*responder)(info);
    else if (UiScriptActive())
        info.answer = style.defaultButton;
    else
        info.answer = ShowAndWait(info, style);

    AppendUiLog({"messagebox", info.caption, info.text, CommandIdName(info.answer)});
    {
        MessageBoxRecord &r = Record();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.shown.push_back(info);
        if (r.shown.size() > kMaxRecorded)
            r.shown.pop_front();
    }
    return info.answer;
}
