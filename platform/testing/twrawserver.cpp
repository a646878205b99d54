#include "twrawserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace twtest {
namespace {

std::string LoopbackAddress(unsigned short port)
{
    return "127.0.0.1:" + std::to_string(port);
}

} // namespace

int BoundLoopbackSocket(unsigned short &port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    port = ntohs(addr.sin_port);
    return fd;
}

CConnection::CConnection(int fd) : m_fd(fd)
{
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buffer[4096];
    while (m_request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        m_request.append(buffer, static_cast<size_t>(n));
    }
}

std::string CConnection::Path() const
{
    size_t start = m_request.find(' ');
    size_t end = start == std::string::npos ? start : m_request.find(' ', start + 1);
    return end == std::string::npos ? std::string() : m_request.substr(start + 1, end - start - 1);
}

bool CConnection::Send(const std::string &data, int pauseMs)
{
    bool sent = data.empty() || ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
    if (pauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    return sent;
}

void CConnection::ResetOnClose()
{
    linger reset{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

bool CConnection::WaitForClose(int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        if (::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0)
            return true;
    }
}

CScriptedServer::CScriptedServer(std::function<void(CConnection &)> handler)
{
    m_listener = BoundLoopbackSocket(m_port);
    if (::listen(m_listener, 8) != 0)
        throw std::runtime_error("listen failed");
    m_thread = std::thread([this, handler] {
        for (;;) {
            int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            CConnection connection(fd);
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_requests.push_back(connection.Request());
            }
            handler(connection);
            ::close(fd);
        }
    });
}

CScriptedServer::~CScriptedServer()
{
    // Wakes the accept that waits for a connection that will not come.
    ::shutdown(m_listener, SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
}

std::string CScriptedServer::Address() const
{
    return LoopbackAddress(m_port);
}

std::vector<std::string> CScriptedServer::Requests()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

CRefusingPort::CRefusingPort()
{
    m_fd = BoundLoopbackSocket(m_port);
}

CRefusingPort::~CRefusingPort()
{
    ::close(m_fd);
}

std::string CRefusingPort::Address() const
{
    return LoopbackAddress(m_port);
}

CUnansweredPort::CUnansweredPort()
{
    m_fd = BoundLoopbackSocket(m_port);
    if (::listen(m_fd, 0) != 0)
        throw std::runtime_error("listen failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(m_port);
    // The queue of a listener with no backlog takes one connection; the system
    // drops the handshakes of the ones after it, without an answer.
    for (int i = 0; i < 3; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            throw std::runtime_error("socket failed");
        ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        m_queued.push_back(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

CUnansweredPort::~CUnansweredPort()
{
    for (int fd : m_queued)
        ::close(fd);
    ::close(m_fd);
}

std::string CUnansweredPort::Address() const
{
    return LoopbackAddress(m_port);
}

} // namespace twtest
