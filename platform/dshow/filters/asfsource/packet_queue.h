// A bounded queue of compressed packets between the source's reader thread and
// one output pin's delivery thread. Push waits while the queue is full (push
// back: memory stays bounded and nothing is dropped); Pop waits while it is
// empty. Close wakes both sides for good: Push then fails and Pop drains what is
// left before reporting the end.
//
// Threads: any; everything is under m_lock.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>

#include <twwmf/asfinput.h>

namespace twds {

class PacketQueue {
public:
    explicit PacketQueue(size_t capacity) : m_capacity(capacity) {}

    // False when the queue was closed (the packet is not taken).
    bool Push(twwmf::AsfPacket &&packet)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_space.wait(hold, [&] { return m_closed || m_packets.size() < m_capacity; });
        if (m_closed)
            return false;
        m_packets.push_back(std::move(packet));
        m_ready.notify_one();
        return true;
    }

    // S_OK with a packet; when closed and empty, the end result given to Close.
    HRESULT Pop(twwmf::AsfPacket &out)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_ready.wait(hold, [&] { return m_closed || !m_packets.empty(); });
        if (m_packets.empty())
            return m_end;
        out = std::move(m_packets.front());
        m_packets.pop_front();
        m_space.notify_one();
        return S_OK;
    }

    // Ends the queue: S_FALSE for the end of the stream, a failure, or E_ABORT
    // for a stop (which also discards what is queued).
    void Close(HRESULT end)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_closed)
            m_end = end;
        m_closed = true;
        if (end == E_ABORT)
            m_packets.clear();
        m_space.notify_all();
        m_ready.notify_all();
    }

    size_t Size()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_packets.size();
    }

    void Reset()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_packets.clear();
        m_closed = false;
        m_end = S_FALSE;
    }

private:
    const size_t m_capacity;
    std::mutex m_lock;
    std::condition_variable m_space, m_ready;
    std::deque<twwmf::AsfPacket> m_packets;      // m_lock
    bool m_closed = false;                       // m_lock
    HRESULT m_end = S_FALSE;                     // m_lock
};

} // namespace twds
