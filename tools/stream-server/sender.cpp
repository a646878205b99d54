#include "sender.h"

#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace strsrv {

using Clock = std::chrono::steady_clock;

Sender::Sender(Server &server, int fd) : m_server(server), m_fd(fd), m_start(Clock::now()) {}

bool Sender::CheckFaults()
{
    if (m_server.stopping)
        return false;
    double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
    const Options &o = m_server.options;
    if (o.dropAfter >= 0 && elapsed >= o.dropAfter) {
        shutdown(m_fd, SHUT_RDWR);
        return false;
    }
    if (o.stallAfter >= 0 && elapsed >= o.stallAfter) {
        StallUntilPeerLeaves();
        return false;
    }
    return true;
}

void Sender::StallUntilPeerLeaves()
{
    char buf[4096];
    while (!m_server.stopping) {
        pollfd p{m_fd, POLLIN, 0};
        int n = poll(&p, 1, 200);
        if (n < 0)
            return;
        if (n > 0 && recv(m_fd, buf, sizeof buf, 0) <= 0)
            return;
    }
}

bool Sender::WaitUntil(Clock::time_point at)
{
    for (;;) {
        if (!CheckFaults())
            return false;
        auto now = Clock::now();
        if (now >= at)
            return true;
        auto step = std::min<Clock::duration>(at - now, std::chrono::milliseconds(50));
        // A peer that has gone is noticed while waiting.
        pollfd p{m_fd, POLLIN, 0};
        int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(step).count());
        if (poll(&p, 1, ms > 0 ? ms : 1) > 0) {
            char c;
            if (recv(m_fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                return false;
        }
    }
}

bool Sender::Send(const std::string &bytes)
{
    const double rate = m_server.options.rateKbps * 1000.0 / 8.0; // bytes per second
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t piece = bytes.size() - pos;
        if (rate > 0) {
            piece = std::min<size_t>(piece, std::max<size_t>(1, static_cast<size_t>(rate / 20)));
            auto due = m_start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(m_sent / rate));
            if (!WaitUntil(due))
                return false;
        } else if (!CheckFaults()) {
            return false;
        }
        ssize_t n = send(m_fd, bytes.data() + pos, std::min<size_t>(piece, 65536), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        pos += static_cast<size_t>(n);
        m_sent += static_cast<uint64_t>(n);
    }
    return true;
}

} // namespace strsrv
