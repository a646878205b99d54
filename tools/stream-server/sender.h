// Sending on a client socket with the server's fault settings: a rate cap, and
// a drop or a stall after a set time from the connection's start.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "session.h"

namespace strsrv {

class Sender {
public:
    Sender(Server &server, int fd);
    // Sends everything; false when the connection is over (peer gone, dropped,
    // or stalled until the peer left).
    bool Send(const std::string &bytes);
    // Waits until `at` (or the connection is over); false when it is over.
    bool WaitUntil(std::chrono::steady_clock::time_point at);
    std::chrono::steady_clock::time_point Start() const { return m_start; }

private:
    bool CheckFaults();
    void StallUntilPeerLeaves();

    Server &m_server;
    int m_fd;
    std::chrono::steady_clock::time_point m_start;
    uint64_t m_sent = 0;
};

} // namespace strsrv
