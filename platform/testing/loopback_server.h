// The far side of the Winsock tests, on the host's own sockets. Kept out of the
// test file because the host's socket headers and winsock2.h cannot meet in one
// translation unit.
#pragma once
#include <functional>
#include <string>
#include <thread>

#include "twrawserver.h"

namespace wstest {

// A TCP server on 127.0.0.1 at a free port that accepts one connection and runs
// the handler on its own thread with the connected descriptor, which is closed
// when the handler returns.
class LoopbackServer {
public:
    explicit LoopbackServer(std::function<void(int fd)> handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    unsigned short port() const { return m_port; }
    void Join();

private:
    int m_listener = -1;
    unsigned short m_port = 0;
    std::thread m_thread;
};

// A port bound on 127.0.0.1 with nothing listening: connections are refused.
using RefusingPort = twtest::CRefusingPort;

// Reads until the peer has sent `terminator` (or closes); returns what arrived.
std::string ReadUntil(int fd, const std::string &terminator);
// Reads until the peer closes its side.
std::string ReadToEnd(int fd);
void WriteAll(int fd, const std::string &data);

bool DescriptorIsOpen(int fd);
// SIGPIPE back to its default action, which ends the process.
void MakeSigpipeFatal();

} // namespace wstest
