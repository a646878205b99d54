// What has arrived, for the network statistics: bytes, packets, bandwidth and
// how far the buffer a stream fills before it plays is filled. Written by the
// reading thread, read by any.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>

#include <twwmf/asfinput.h>

namespace twwmf {

class Traffic {
public:
    // The data packets' size, and how much media time (100 ns) is buffered before
    // playing: the preroll, or less for a broadcast (at least a second).
    void SetPacketSize(uint32_t size, int64_t buffer100ns);
    void OnHeaderBytes(uint64_t n);
    void OnDataBytes(uint64_t n);
    // A packet of media time t (100 ns) has been handed out.
    void OnPacketTime(int64_t t);
    // Filling the buffer starts over (open, reconnect, a stall).
    void StartBuffering();
    // Everything there is has arrived (the end of an on-demand stream).
    void EndBuffering();
    void OnReconnect(uint64_t lostPackets);
    AsfStatistics Snapshot() const;

private:
    void Sample(uint64_t n);

    using Clock = std::chrono::steady_clock;
    mutable std::mutex m_lock; // guards everything below
    uint32_t m_packetSize = 0;
    int64_t m_buffer = 0;
    uint64_t m_dataBytes = 0;
    uint64_t m_lost = 0;
    uint32_t m_reconnects = 0;
    std::deque<std::pair<Clock::time_point, uint64_t>> m_recent; // bytes per arrival, last seconds
    bool m_buffering = true;
    bool m_haveStart = false;
    int64_t m_bufferStart = 0;
    uint32_t m_progress = 0;
};

} // namespace twwmf
