// Message queues: posting, sending across threads, and taking messages in the
// order Windows gives them.
#include "msgqueue.h"
#include "windowtable.h"

#include <algorithm>
#include <map>

namespace twgui {
namespace {

struct QueueDirectory {
    std::mutex mutex;
    std::map<DWORD, std::shared_ptr<MessageQueue>> queues;
};

QueueDirectory &Directory()
{
    // Never destroyed: threads still ending at process exit take their queues out.
    static QueueDirectory *directory = new QueueDirectory;
    return *directory;
}

// Ends a thread's queue when the thread ends: senders waiting on it get 0.
struct QueueOwner {
    std::shared_ptr<MessageQueue> queue;
    ~QueueOwner()
    {
        if (!queue)
            return;
        std::deque<std::shared_ptr<SentMessage>> orphans;
        {
            std::lock_guard<std::mutex> lock(twk::WaitLock());
            queue->alive = false;
            orphans.swap(queue->sent);
        }
        for (auto &m : orphans)
            m->Complete(0);
        QueueDirectory &d = Directory();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.queues.erase(queue->threadId);
    }
};

thread_local QueueOwner t_owner;

bool Matches(const MSG &m, HWND filter, UINT first, UINT last)
{
    if (filter != nullptr && m.hwnd != filter)
        return false;
    if (first == 0 && last == 0)
        return true;
    return m.message >= first && m.message <= last;
}

} // namespace

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m{};
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    return m;
}

void SentMessage::Complete(LRESULT value)
{
    std::lock_guard<std::mutex> lock(twk::WaitLock());
    result = value;
    done = true;
    WakeWaiters();
}

bool SentSignal::IsSignalled(DWORD) const
{
    return !m_queue->sent.empty();
}

MessageQueue::MessageQueue(DWORD id) : threadId(id) {}

void MessageQueue::Notify()
{
    newInput = true;
    WakeWaiters();
    sentSignal->Wake();
}

std::shared_ptr<MessageQueue> CurrentQueue()
{
    if (!t_owner.queue) {
        auto q = std::make_shared<MessageQueue>(GetCurrentThreadId());
        q->sentSignal = std::make_shared<SentSignal>(q.get());
        QueueDirectory &d = Directory();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.queues[q->threadId] = q;
        t_owner.queue = q;
    }
    return t_owner.queue;
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId)
{
    QueueDirectory &d = Directory();
    std::lock_guard<std::mutex> lock(d.mutex);
    auto it = d.queues.find(threadId);
    return it == d.queues.end() ? nullptr : it->second;
}

bool PostToQueue(DWORD threadId, const MSG &msg)
{
    auto q = QueueOfThread(threadId);
    if (!q)
        return false;
    std::lock_guard<std::mutex> lock(twk::WaitLock());
    if (!q->alive)
        return false;
    q->posted.push_back(msg);
    q->Notify();
    return true;
}

void WakeQueue(DWORD threadId)
{
    auto q = QueueOfThread(threadId);
    if (!q)
        return;
    std::lock_guard<std::mutex> lock(twk::WaitLock());
    q->Notify();
}

void ProcessSentMessages()
{
    auto q = CurrentQueue();
    for (;;) {
        std::shared_ptr<SentMessage> m;
        {
            std::lock_guard<std::mutex> lock(twk::WaitLock());
            if (q->sent.empty())
                return;
            m = q->sent.front();
            q->sent.pop_front();
        }
        m->Complete(DeliverMessage(m->hwnd, m->message, m->wParam, m->lParam));
    }
}

LRESULT SendToOtherThread(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto target = QueueOfThread(threadId);
    if (!target)
        return 0;
    auto m = std::make_shared<SentMessage>();
    m->hwnd = hwnd;
    m->message = message;
    m->wParam = wParam;
    m->lParam = lParam;
    {
        std::lock_guard<std::mutex> lock(twk::WaitLock());
        if (!target->alive)
            return 0;
        target->sent.push_back(m);
        target->Notify();
    }
    auto self = CurrentQueue();
    std::vector<std::shared_ptr<twk::Waitable>> objects{m, self->sentSignal};
    for (;;) {
        DWORD r = twk::WaitForObjects(objects, false, INFINITE);
        if (r == WAIT_OBJECT_0)
            return m->result;
        ProcessSentMessages();
    }
}

bool FetchMessage(MSG *msg, HWND filter, UINT first, UINT last, bool remove, bool wait)
{
    auto q = CurrentQueue();
    DWORD self = q->threadId;
    for (;;) {
        ProcessSentMessages();
        std::chrono::steady_clock::time_point nextDue = std::chrono::steady_clock::time_point::max();
        {
            std::lock_guard<std::mutex> lock(twk::WaitLock());
            q->newInput = false;
            for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
                if (Matches(*it, filter, first, last)) {
                    *msg = *it;
                    if (remove)
                        q->posted.erase(it);
                    return true;
                }
            }
            if (q->quitPosted) {
                *msg = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0);
                if (remove)
                    q->quitPosted = false;
                return true;
            }
        }
        if ((first == 0 && last == 0) || (WM_PAINT >= first && WM_PAINT <= last)) {
            if (HWND h = FindWindowToPaint(self, filter)) {
                *msg = MakeMsg(h, WM_PAINT, 0, 0);
                return true;
            }
        }
        {
            std::lock_guard<std::mutex> lock(twk::WaitLock());
            auto now = std::chrono::steady_clock::now();
            bool wantTimer = (first == 0 && last == 0) || (WM_TIMER >= first && WM_TIMER <= last);
            for (QueueTimer &t : q->timers) {
                if (wantTimer && t.due <= now && (filter == nullptr || filter == t.hwnd)) {
                    *msg = MakeMsg(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
                    if (remove)
                        t.due = now + std::chrono::milliseconds(t.elapse);
                    return true;
                }
                nextDue = std::min(nextDue, t.due);
            }
        }
        if (!wait)
            return false;
        DWORD timeout = INFINITE;
        if (nextDue != std::chrono::steady_clock::time_point::max()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextDue - std::chrono::steady_clock::now()).count();
            timeout = left <= 0 ? 0 : static_cast<DWORD>(left);
        }
        twk::WaitForObjects({q}, false, timeout);
    }
}

void ModalLoop(const std::function<bool()> &done)
{
    while (!done()) {
        MSG m;
        if (!FetchMessage(&m, nullptr, 0, 0, true, true))
            continue;
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

void WakeModalLoop(DWORD threadId)
{
    // A thread message that the loop dispatches to nobody, then checks done().
    PostToQueue(threadId, MakeMsg(nullptr, WM_NULL, 0, 0));
}

} // namespace twgui
