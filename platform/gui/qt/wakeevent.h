// A wake-up signal for a thread that waits in a poll loop (the Qt thread's event
// loop watches its descriptor). Signalling is a system call only, so other threads
// hand work over without touching the waiting thread's objects.
#pragma once

namespace twgui {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent &) = delete;
    WakeEvent &operator=(const WakeEvent &) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }   // readable while signalled
    void Signal();
    void Clear();

private:
    int m_fd = -1;
};

} // namespace twgui
