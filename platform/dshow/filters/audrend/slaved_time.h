// A clock reading that runs on the machine's clock and is pulled, slowly, toward
// the times a sound device reports, so that it follows the device's crystal
// while the device plays and simply runs on when it does not.
//
// Threads: not thread-safe; the owner's lock guards it.
#pragma once
#include <strmif.h>

namespace twds {

class SlavedTime {
public:
    // The reading at machine time `now`; never goes backwards.
    REFERENCE_TIME At(REFERENCE_TIME now);
    // The device says that at machine time `now` the clock should read
    // `target`. Small differences are taken up at a bounded rate; a large one
    // (a stall, an underrun, a pause the device did not see) is not a drift
    // and leaves the reading alone.
    void Observe(REFERENCE_TIME now, REFERENCE_TIME target);
    // The current difference between the reading and the machine's clock.
    REFERENCE_TIME Offset() const { return m_offset; }

    // Differences beyond this are ignored.
    static const REFERENCE_TIME kMaxError = 500000;      // 50 ms

private:
    REFERENCE_TIME m_offset = 0;
    REFERENCE_TIME m_lastObserved = 0;   // machine time of the last observation (0: none)
    REFERENCE_TIME m_last = 0;           // the last reading given
};

} // namespace twds
