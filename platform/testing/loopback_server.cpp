#include "loopback_server.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace wstest {

using twtest::BoundLoopbackSocket;

LoopbackServer::LoopbackServer(std::function<void(int fd)> handler)
{
    m_listener = BoundLoopbackSocket(m_port);
    if (::listen(m_listener, 1) != 0)
        throw std::runtime_error("listen failed");
    m_thread = std::thread([this, handler] {
        int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            return;
        handler(fd);
        ::close(fd);
    });
}

void LoopbackServer::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

LoopbackServer::~LoopbackServer()
{
    // Wakes an accept that never got a connection.
    ::shutdown(m_listener, SHUT_RDWR);
    Join();
    ::close(m_listener);
}

std::string ReadUntil(int fd, const std::string &terminator)
{
    std::string data;
    char buffer[4096];
    while (data.find(terminator) == std::string::npos) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

std::string ReadToEnd(int fd)
{
    return ReadUntil(fd, std::string(1, '\0') + "never sent");
}

void WriteAll(int fd, const std::string &data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

bool DescriptorIsOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

void MakeSigpipeFatal()
{
    std::signal(SIGPIPE, SIG_DFL);
}

} // namespace wstest
