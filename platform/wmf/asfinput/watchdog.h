// Cancellation and time-outs for libavformat's blocking calls: its interrupt
// callback asks this object whether to give up.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

struct AVIOInterruptCB;

namespace twwmf {

class Watchdog {
public:
    // Any thread: every blocking call gives up within about 100 ms.
    void Cancel() { m_cancel = true; }
    bool Cancelled() const { return m_cancel; }

    // Reading thread: the calls that follow give up once `limit` has passed
    // (Disarm: never). Expired() tells afterwards whether that was the reason.
    void Arm(std::chrono::milliseconds limit);
    void Disarm();
    bool Expired() const { return m_expired; }

    // Sleeps for `time` unless cancelled; false when cancelled.
    bool Sleep(std::chrono::milliseconds time) const;

    AVIOInterruptCB Callback();

private:
    static int Check(void *opaque);

    std::atomic<bool> m_cancel{false};    // set by any thread
    std::atomic<int64_t> m_deadline{0};   // steady-clock ns, 0 = none; reading thread writes
    std::atomic<bool> m_expired{false};   // reading thread (through the callback)
};

} // namespace twwmf
