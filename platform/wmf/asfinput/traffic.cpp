#include "traffic.h"

#include <algorithm>

namespace twwmf {
namespace {

// The window the bandwidth is measured over.
constexpr std::chrono::seconds kWindow{3};
// The least that is buffered (a header may state no preroll).
constexpr int64_t kMinBuffer = 10000000;

} // namespace

void Traffic::SetPacketSize(uint32_t size, int64_t buffer100ns)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_packetSize = size;
    m_buffer = std::max(buffer100ns, kMinBuffer);
}

void Traffic::Sample(uint64_t n)
{
    auto now = Clock::now();
    m_recent.emplace_back(now, n);
    while (!m_recent.empty() && now - m_recent.front().first > kWindow)
        m_recent.pop_front();
}

void Traffic::OnHeaderBytes(uint64_t n)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Sample(n);
}

void Traffic::OnDataBytes(uint64_t n)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_dataBytes += n;
    Sample(n);
}

void Traffic::OnPacketTime(int64_t t)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_buffering)
        return;
    if (!m_haveStart) {
        m_haveStart = true;
        m_bufferStart = t;
    }
    int64_t filled = std::max<int64_t>(0, t - m_bufferStart);
    m_progress = static_cast<uint32_t>(std::min<int64_t>(100, filled * 100 / std::max(m_buffer, kMinBuffer)));
    if (m_progress >= 100)
        m_buffering = false;
}

void Traffic::StartBuffering()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_buffering)
        return;
    m_buffering = true;
    m_haveStart = false;
    m_progress = 0;
}

void Traffic::EndBuffering()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_buffering = false;
    m_progress = 100;
}

void Traffic::OnReconnect(uint64_t lostPackets)
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_reconnects;
    m_lost += lostPackets;
}

AsfStatistics Traffic::Snapshot() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    AsfStatistics s;
    s.receivedPackets = m_packetSize ? m_dataBytes / m_packetSize : 0;
    s.lostPackets = m_lost;
    s.reconnects = m_reconnects;
    if (s.receivedPackets + s.lostPackets > 0)
        s.receptionQuality = static_cast<uint32_t>(s.receivedPackets * 100 / (s.receivedPackets + s.lostPackets));
    s.buffering = m_buffering;
    s.bufferingProgress = m_buffering ? m_progress : 100;
    if (m_recent.size() > 1) {
        uint64_t bytes = 0;
        for (const auto &r : m_recent)
            bytes += r.second;
        auto span = std::chrono::duration<double>(Clock::now() - m_recent.front().first).count();
        span = std::max(span, 0.5);
        s.bandwidth = static_cast<uint32_t>(std::min(bytes * 8 / span, 4e9));
    }
    return s;
}

} // namespace twwmf
