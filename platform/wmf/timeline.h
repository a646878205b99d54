// The time line of a file being written: places each sample of a stream on it so
// that every stream's times rise and the file stays continuous, whatever the
// source's clocks do.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace twwmf {

class Timeline {
public:
    // A sample this far ahead of the file's latest time, or further behind its
    // stream's last time, is a jump of the source's clock, not a gap in it.
    static constexpr int64_t kMaxLeadMs = 5000;
    static constexpr int64_t kMaxBackMs = 1000;
    // No sample is placed further than this behind the file's latest time, so
    // the muxer's interleaving (10 s) never has to put one behind the other.
    static constexpr int64_t kMaxLagMs = 5000;
    // The longest gap a jump becomes.
    static constexpr int64_t kMaxStepMs = 1000;

    // Times up to maxMs can be placed; a source time beyond it is a jump too.
    Timeline(size_t streams, int64_t maxMs) : m_streams(streams), m_maxMs(maxMs) {}

    // The file time (ms) of a sample of the stream at index whose source time is
    // ms. Times of a stream rise by at least 1 ms. A stream whose clock jumps
    // goes on one usual sample interval after its last sample: first on the
    // clock of another stream that jumped the same way, else on its own.
    int64_t Place(size_t index, int64_t ms);

    // The latest file time placed, LLONG_MIN before the first sample.
    int64_t Head() const { return m_head; }

private:
    struct Stream {
        bool placed = false;
        int64_t offset = 0; // file time minus source time
        int64_t last = 0;   // file time of the last sample
        int64_t step = 1;   // the last usual interval, 1 ms to kMaxStepMs
    };
    // Whether file time t continues stream s without a jump.
    bool Continues(const Stream &s, int64_t t) const;

    std::vector<Stream> m_streams;
    int64_t m_maxMs;
    int64_t m_head = LLONG_MIN;
};

} // namespace twwmf
