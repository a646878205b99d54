// A scripted HTTP server on the host's own sockets for tests of HTTP clients: it
// answers each connection with whatever the test sends, split and timed as the
// test chooses. Kept apart from the tests because the host's socket headers and
// winsock2.h cannot meet in one translation unit.
#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace twtest {

// One accepted connection, its request already read.
class CConnection {
public:
    explicit CConnection(int fd);
    const std::string &Request() const { return m_request; }
    // The path of the request line ("/download/start.php").
    std::string Path() const;
    // Sends the bytes in one send call, then pauses so that the client receives
    // them before anything that follows. False once the client has gone.
    bool Send(const std::string &data, int pauseMs = 60);
    // Makes the close that follows the handler a reset instead of an orderly end.
    void ResetOnClose();
    // Stays silent until the client closes the connection (true) or timeoutMs
    // pass (false); whatever the client sends meanwhile is read and dropped.
    bool WaitForClose(int timeoutMs);

private:
    int m_fd;
    std::string m_request;
};

// Accepts connections on 127.0.0.1 at a free port one after another, hands each
// to the handler, and closes it when the handler returns.
class CScriptedServer {
public:
    explicit CScriptedServer(std::function<void(CConnection &)> handler);
    ~CScriptedServer();
    CScriptedServer(const CScriptedServer &) = delete;
    CScriptedServer &operator=(const CScriptedServer &) = delete;

    // "127.0.0.1:<port>", as TARNWICK_UPDATE_SERVER takes it.
    std::string Address() const;
    // The request heads received so far, oldest first.
    std::vector<std::string> Requests();

private:
    int m_listener = -1;
    unsigned short m_port = 0;
    std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// A TCP socket bound on 127.0.0.1 at a free port (its number in port), not yet
// listening. Throws std::runtime_error when the host refuses.
int BoundLoopbackSocket(unsigned short &port);

// "127.0.0.1:<port>" of a port that is bound but not listening: connections are refused.
class CRefusingPort {
public:
    CRefusingPort();
    ~CRefusingPort();
    CRefusingPort(const CRefusingPort &) = delete;
    CRefusingPort &operator=(const CRefusingPort &) = delete;
    std::string Address() const;
    unsigned short port() const { return m_port; }

private:
    int m_fd = -1;
    unsigned short m_port = 0;
};

// "127.0.0.1:<port>" of a port whose listener never accepts and whose queue is
// full, so that a connect to it gets no answer at all until it gives up.
class CUnansweredPort {
public:
    CUnansweredPort();
    ~CUnansweredPort();
    CUnansweredPort(const CUnansweredPort &) = delete;
    CUnansweredPort &operator=(const CUnansweredPort &) = delete;
    std::string Address() const;

private:
    int m_fd = -1;
    unsigned short m_port = 0;
    std::vector<int> m_queued; // connections that fill the listener's queue
};

} // namespace twtest
