#include "timeline.h"

#include <algorithm>

namespace twwmf {

bool Timeline::Continues(const Stream &s, int64_t t) const
{
    if (t < 0 || t > m_maxMs)
        return false;
    if (s.placed && t < s.last - kMaxBackMs)
        return false;
    if (m_head == LLONG_MIN)
        return true;
    return t <= m_head + kMaxLeadMs && t > m_head - kMaxLagMs;
}

int64_t Timeline::Place(size_t index, int64_t ms)
{
    Stream &s = m_streams[index];
    int64_t t = ms + s.offset;
    if (!Continues(s, t)) {
        // A clock that jumped. When the source restarts, every stream jumps the
        // same way: the first stream's new offset keeps the others in step.
        auto same = std::find_if(m_streams.begin(), m_streams.end(), [&](const Stream &o) {
            return o.placed && o.offset != s.offset && Continues(s, ms + o.offset);
        });
        if (same != m_streams.end()) {
            s.offset = same->offset;
        } else {
            int64_t target = s.placed ? s.last + s.step : m_head == LLONG_MIN ? 0 : m_head;
            if (m_head != LLONG_MIN)
                target = std::max(target, m_head - kMaxLagMs + 1);
            s.offset = target - ms;
        }
        t = ms + s.offset;
    } else if (s.placed && t > s.last) {
        s.step = std::min(t - s.last, kMaxStepMs);
    }
    // Equal times, and a small step back, go on 1 ms after the last sample.
    if (s.placed && t <= s.last)
        t = s.last + 1;
    s.placed = true;
    s.last = t;
    m_head = std::max(m_head, t);
    return t;
}

} // namespace twwmf
