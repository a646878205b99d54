#include "watchdog.h"

#include <thread>

extern "C" {
#include <libavformat/avio.h>
}

namespace twwmf {
namespace {

int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void Watchdog::Arm(std::chrono::milliseconds limit)
{
    m_expired = false;
    m_deadline = Now() + std::chrono::duration_cast<std::chrono::nanoseconds>(limit).count();
}

void Watchdog::Disarm()
{
    m_deadline = 0;
}

bool Watchdog::Sleep(std::chrono::milliseconds time) const
{
    auto end = std::chrono::steady_clock::now() + time;
    while (!m_cancel && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !m_cancel;
}

int Watchdog::Check(void *opaque)
{
    Watchdog *self = static_cast<Watchdog *>(opaque);
    if (self->m_cancel)
        return 1;
    int64_t deadline = self->m_deadline;
    if (deadline && Now() > deadline) {
        self->m_expired = true;
        return 1;
    }
    return 0;
}

AVIOInterruptCB Watchdog::Callback()
{
    return AVIOInterruptCB{&Watchdog::Check, this};
}

} // namespace twwmf
