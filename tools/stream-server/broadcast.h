// The live broadcast: an ASF clip looped without end, muxed by libavformat's
// streaming ASF muxer (a header without duration, then fixed-size packets) and
// released in real time. Every client shares one timeline.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace strsrv {

class Broadcast {
public:
    Broadcast() = default;
    ~Broadcast();
    Broadcast(const Broadcast &) = delete;
    Broadcast &operator=(const Broadcast &) = delete;

    // Opens the clip, makes the header and starts the broadcast thread. With allKey
    // every video packet is flagged as a key frame, as some servers do.
    bool Start(const std::string &clipPath, bool allKey, std::string &error);
    void Stop();

    // The header object and data object head sent before the packets.
    const std::string &Header() const { return m_header; }
    uint32_t PacketSize() const { return m_packetSize; }

    // Index of the packet a joining client starts from: the one holding the
    // start of the latest video key frame released so far.
    uint64_t JoinIndex();

    // Waits until packet `index` is released; false once the broadcast stops.
    // A packet that has left the history is skipped: `index` moves on.
    bool Packet(uint64_t &index, std::string &bytes);

private:
    struct Item {
        std::string bytes;
        uint32_t sendTime = 0;
    };
    void Run();
    bool MuxNext(std::vector<Item> &out, std::vector<uint64_t> &keyStarts);

    // Set up by Start before the thread runs, then read-only.
    std::string m_header;
    uint32_t m_packetSize = 0;
    bool m_allKey = false;

    // Broadcast thread only.
    struct Muxer;
    Muxer *m_mux = nullptr;
    uint64_t m_muxedPackets = 0; // packets produced by the muxer so far

    // Guarded by m_lock: released packets, the oldest first, and key-frame starts.
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Item> m_history;
    uint64_t m_firstIndex = 0; // index of m_history.front()
    std::deque<uint64_t> m_keyStarts;
    bool m_stop = false;

    std::thread m_thread;
};

} // namespace strsrv
