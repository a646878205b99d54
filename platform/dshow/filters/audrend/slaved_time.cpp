#include "slaved_time.h"

#include <algorithm>

namespace twds {

REFERENCE_TIME SlavedTime::At(REFERENCE_TIME now)
{
    m_last = std::max(m_last, now + m_offset);
    return m_last;
}

void SlavedTime::Observe(REFERENCE_TIME now, REFERENCE_TIME target)
{
    REFERENCE_TIME error = target - (now + m_offset);
    REFERENCE_TIME since = m_lastObserved ? now - m_lastObserved : 0;
    m_lastObserved = now;
    if (since <= 0 || error > kMaxError || error < -kMaxError)
        return;
    // At most 1% of the time since the last observation, and a quarter of the
    // error at once, so that the device's reporting jitter is smoothed out.
    REFERENCE_TIME step = std::clamp(error / 4, -since / 100, since / 100);
    m_offset += step;
}

} // namespace twds
