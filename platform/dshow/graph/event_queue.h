// The graph's event queue: what filters notify (IMediaEventSink) and what the
// application reads (IMediaEventEx), with the default handling of EC_COMPLETE,
// window notification and a kernel event that is set while events wait.
//
// Threads: Notify comes from any thread (streaming threads included) and never
// waits for anything but m_lock; the application reads on its own thread.
// Everything here belongs to m_lock. Posting to the notify window does not wait
// for the window's thread.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

#include <control.h>

namespace twds {

class EventQueue {
public:
    EventQueue();
    ~EventQueue();
    EventQueue(const EventQueue &) = delete;
    EventQueue &operator=(const EventQueue &) = delete;

    // A filter's event; default-handled codes may be consumed here.
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2);

    // The renderers whose EC_COMPLETE the graph waits for in this run; resets
    // the count of those already complete.
    void StartRun(int renderers);
    // Drops the pending EC_COMPLETE accounting (Stop).
    void ResetCompletion();

    HRESULT GetEvent(LONG *code, LONG_PTR *param1, LONG_PTR *param2, LONG timeoutMs);
    HRESULT WaitForCompletion(LONG timeoutMs, LONG *code);
    HRESULT CancelDefaultHandling(LONG code);
    HRESULT RestoreDefaultHandling(LONG code);
    HRESULT SetNotifyWindow(OAHWND hwnd, LONG message, LONG_PTR instance);
    HRESULT SetNotifyFlags(LONG flags);
    HRESULT GetNotifyFlags(LONG *flags);
    HRESULT GetEventHandle(OAEVENT *handle);

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };
    // Queues for the application and tells its window; m_lock held.
    void Queue(const Event &event);

    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<Event> m_events;
    std::set<LONG> m_cancelled;      // codes whose default handling is off
    HWND m_window = nullptr;
    UINT m_message = 0;
    LONG_PTR m_instance = 0;
    LONG m_flags = 0;
    int m_renderers = 0;             // renderers this run
    int m_completed = 0;             // of them, sent EC_COMPLETE
    bool m_completeQueued = false;   // the application's one EC_COMPLETE of this run
    HANDLE m_handle;                 // manual-reset event, set while m_events is not empty
};

} // namespace twds
