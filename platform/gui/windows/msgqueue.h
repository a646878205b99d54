// Per-thread message queues. A thread gets its queue on its first window call; the
// queue holds posted messages, messages sent from other threads, the quit request
// and the timers. Its state is guarded by the kernel's wait lock, so a queue is a
// waitable object: MsgWaitForMultipleObjects and GetMessage wait on it together
// with kernel handles.
#pragma once
#include <twkernel/waitable.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <windows.h>

namespace twgui {

// A message sent from another thread, answered by the queue's thread.
class SentMessage : public twk::Waitable {
public:
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;   // under WaitLock()

    bool IsSignalled(DWORD) const override { return done; }
    void Complete(LRESULT value);   // takes WaitLock()
};

struct QueueTimer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    std::chrono::steady_clock::time_point due;
};

class MessageQueue;

// Signalled while messages sent from other threads wait: what a thread that waits
// for a reply of its own watches, so two threads sending to each other never lock.
class SentSignal : public twk::Waitable {
public:
    explicit SentSignal(MessageQueue *queue) : m_queue(queue) {}
    bool IsSignalled(DWORD) const override;
    void Wake() { WakeWaiters(); }

private:
    MessageQueue *m_queue;
};

class MessageQueue : public twk::Waitable {
public:
    explicit MessageQueue(DWORD threadId);

    const DWORD threadId;
    // All below under twk::WaitLock().
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<QueueTimer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    bool newInput = false;   // something arrived since the thread last looked
    bool alive = true;       // false once the thread has ended
    std::shared_ptr<SentSignal> sentSignal;

    bool IsSignalled(DWORD) const override { return newInput || !sent.empty(); }
    // Call with WaitLock() held after adding input.
    void Notify();
};

// A message stamped with the current time.
MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The calling thread's queue, created on first use.
std::shared_ptr<MessageQueue> CurrentQueue();
// The queue of a thread, or null if it has none (or has ended).
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);

// Adds a posted message; false if the thread has no live queue.
bool PostToQueue(DWORD threadId, const MSG &msg);
// Wakes a thread's queue (its windows have something to paint).
void WakeQueue(DWORD threadId);

// Delivers the messages other threads have sent to the calling thread.
void ProcessSentMessages();

// Sends a message to a window owned by another thread and waits for the answer,
// handling messages sent to this thread meanwhile. 0 if that thread has ended.
LRESULT SendToOtherThread(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the next message for the calling thread as GetMessage/PeekMessage do:
// sent messages are delivered first, then posted ones, WM_QUIT, WM_PAINT and
// WM_TIMER. With wait false returns false at once when nothing is there.
bool FetchMessage(MSG *msg, HWND filter, UINT first, UINT last, bool remove, bool wait);

// Runs the calling thread's message loop until done() holds (checked after every
// message). A WM_QUIT met on the way is posted again for the outer loop and ends
// this one. For modal boxes and dialogs.
void ModalLoop(const std::function<bool()> &done);

// Wakes a thread running ModalLoop so it checks done() again. Any thread.
void WakeModalLoop(DWORD threadId);

} // namespace twgui

namespace twgui {
// Calls the window's procedure on the calling thread (defined with the windows).
LRESULT DeliverMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
} // namespace twgui
