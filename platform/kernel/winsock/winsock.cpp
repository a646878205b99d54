// Winsock 2.2 start-up, the socket table and the socket calls.
// A SOCKET is the descriptor of a socket made by socket(); only descriptors in the
// table are accepted, so a stale or foreign value (a file, a handle) is refused
// with WSAENOTSOCK instead of acting on whatever the number names now.
#include "winsock_posix.h"

#include <cstddef>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>
#include <windows.h>
#include <winsock2.h>

static_assert(sizeof(SOCKADDR) == twk::kSockaddrSize, "sockaddr layout");
static_assert(sizeof(SOCKADDR_IN) == twk::kSockaddrInSize, "sockaddr_in layout");
static_assert(offsetof(SOCKADDR_IN, sin_port) == twk::kSinPortOffset, "sockaddr_in layout");
static_assert(offsetof(SOCKADDR_IN, sin_addr) == twk::kSinAddrOffset, "sockaddr_in layout");
static_assert(sizeof(IN_ADDR) == 4, "in_addr layout");

namespace {

constexpr WORD kHighestVersion = MAKEWORD(2, 2);

struct SocketRecord {
    bool sendShut = false;
    bool receiveShut = false;
    // Time-outs as set, in milliseconds: the host keeps them rounded to its clock tick.
    DWORD sendTimeout = 0;
    DWORD receiveTimeout = 0;
    // Calls running on the socket. A socket closed while calls run is shut down to
    // end them, and the last one out closes the descriptor, so its number cannot
    // be handed to a new file while a call still uses it.
    int callsInFlight = 0;
    bool closing = false;
};

std::mutex g_wsLock;
int g_wsStartCount = 0;
std::unordered_map<int, SocketRecord> g_sockets;

int Fail(int error)
{
    WSASetLastError(error);
    return SOCKET_ERROR;
}

// The open socket record of s, or null with the error set. Needs g_wsLock.
SocketRecord *FindLocked(SOCKET s, int &fd)
{
    if (g_wsStartCount == 0) {
        WSASetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    auto it = s <= static_cast<SOCKET>(INT32_MAX) ? g_sockets.find(static_cast<int>(s)) : g_sockets.end();
    if (it == g_sockets.end() || it->second.closing) {
        WSASetLastError(WSAENOTSOCK);
        return nullptr;
    }
    fd = it->first;
    return &it->second;
}

// One call on a socket, from the check of its value to its return.
class SocketCall {
public:
    explicit SocketCall(SOCKET s)
    {
        std::lock_guard<std::mutex> lock(g_wsLock);
        int fd;
        if (SocketRecord *record = FindLocked(s, fd)) {
            ++record->callsInFlight;
            m_state = *record;
            m_fd = fd;
        }
    }

    ~SocketCall()
    {
        if (m_fd < 0)
            return;
        bool closeNow = false;
        {
            std::lock_guard<std::mutex> lock(g_wsLock);
            auto it = g_sockets.find(m_fd);
            if (--it->second.callsInFlight == 0 && it->second.closing) {
                g_sockets.erase(it);
                closeNow = true;
            }
        }
        int ignored = 0;
        if (closeNow)
            twk::WsClose(m_fd, ignored);
    }

    SocketCall(const SocketCall &) = delete;
    SocketCall &operator=(const SocketCall &) = delete;

    bool Valid() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    // The socket's record as the call began.
    const SocketRecord &State() const { return m_state; }

    // Changes the socket's record; it exists while the call runs.
    template <typename Change>
    void Update(Change change)
    {
        std::lock_guard<std::mutex> lock(g_wsLock);
        change(g_sockets.at(m_fd));
    }

private:
    int m_fd = -1;
    SocketRecord m_state;
};

bool ValidBuffer(const char *buf, int len)
{
    return len >= 0 && (buf || len == 0);
}

// Takes the socket out of use: closes it now when no call runs on it, else wakes
// the running calls and leaves the close to the last of them. Needs g_wsLock;
// returns the descriptor to close after unlocking, or -1.
int RetireLocked(std::unordered_map<int, SocketRecord>::iterator it)
{
    int fd = it->first;
    if (it->second.callsInFlight == 0) {
        g_sockets.erase(it);
        return fd;
    }
    it->second.closing = true;
    twk::WsWake(fd);
    return -1;
}

} // namespace

extern "C" int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData)
{
    if (!lpWSAData)
        return WSAEFAULT;
    BYTE major = LOBYTE(wVersionRequested);
    BYTE minor = HIBYTE(wVersionRequested);
    std::memset(lpWSAData, 0, sizeof *lpWSAData);
    lpWSAData->wHighVersion = kHighestVersion;
    std::strcpy(lpWSAData->szDescription, "WinSock 2.0");
    std::strcpy(lpWSAData->szSystemStatus, "Running");
    // Versions 2.0 and later are served; the caller gets the lower of its request and 2.2.
    if (major < 2) {
        lpWSAData->wVersion = kHighestVersion;
        return WSAVERNOTSUPPORTED;
    }
    lpWSAData->wVersion = (major > 2 || minor >= 2) ? kHighestVersion : wVersionRequested;
    std::lock_guard<std::mutex> lock(g_wsLock);
    ++g_wsStartCount;
    return 0;
}

extern "C" int WSAAPI WSACleanup(void)
{
    std::vector<int> toClose;
    {
        std::lock_guard<std::mutex> lock(g_wsLock);
        if (g_wsStartCount == 0)
            return Fail(WSANOTINITIALISED);
        if (--g_wsStartCount > 0)
            return 0;
        // The last cleanup closes the sockets the application left open.
        for (auto it = g_sockets.begin(); it != g_sockets.end();) {
            auto current = it++;
            if (current->second.closing)
                continue;
            int fd = RetireLocked(current);
            if (fd >= 0)
                toClose.push_back(fd);
        }
    }
    int ignored = 0;
    for (int fd : toClose)
        twk::WsClose(fd, ignored);
    return 0;
}

// Winsock's last error is the thread's last error, as on Windows.
extern "C" int WSAAPI WSAGetLastError(void)
{
    return static_cast<int>(GetLastError());
}

extern "C" void WSAAPI WSASetLastError(int iError)
{
    SetLastError(static_cast<DWORD>(iError));
}

extern "C" SOCKET WSAAPI socket(int af, int type, int protocol)
{
    std::lock_guard<std::mutex> lock(g_wsLock);
    if (g_wsStartCount == 0) {
        WSASetLastError(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    int error = 0;
    int fd = twk::WsOpen(af, type, protocol, error);
    if (fd < 0) {
        WSASetLastError(error);
        return INVALID_SOCKET;
    }
    g_sockets[fd] = SocketRecord{};
    return static_cast<SOCKET>(fd);
}

extern "C" int WSAAPI connect(SOCKET s, const struct sockaddr *name, int namelen)
{
    SocketCall call(s);
    if (!call.Valid())
        return SOCKET_ERROR;
    if (!name || namelen < static_cast<int>(sizeof(SOCKADDR_IN)))
        return Fail(WSAEFAULT);
    SOCKADDR_IN peer;
    std::memcpy(&peer, name, sizeof peer);
    if (peer.sin_family != AF_INET)
        return Fail(WSAEAFNOSUPPORT);
    if (peer.sin_addr.s_addr == INADDR_ANY)
        return Fail(WSAEADDRNOTAVAIL);
    int error = 0;
    return twk::WsConnectIPv4(call.Fd(), peer.sin_addr.s_addr, peer.sin_port, error) == 0 ? 0 : Fail(error);
}

extern "C" int WSAAPI send(SOCKET s, const char *buf, int len, int flags)
{
    SocketCall call(s);
    if (!call.Valid())
        return SOCKET_ERROR;
    if (!ValidBuffer(buf, len))
        return Fail(WSAEFAULT);
    if (call.State().sendShut)
        return Fail(WSAESHUTDOWN);
    int error = 0;
    int n = twk::WsSend(call.Fd(), buf, len, flags, error);
    return n < 0 ? Fail(error) : n;
}

extern "C" int WSAAPI recv(SOCKET s, char *buf, int len, int flags)
{
    SocketCall call(s);
    if (!call.Valid())
        return SOCKET_ERROR;
    if (!ValidBuffer(buf, len))
        return Fail(WSAEFAULT);
    if (call.State().receiveShut)
        return Fail(WSAESHUTDOWN);
    int error = 0;
    int n = twk::WsRecv(call.Fd(), buf, len, flags, error);
    return n < 0 ? Fail(error) : n;
}

extern "C" int WSAAPI shutdown(SOCKET s, int how)
{
    SocketCall call(s);
    if (!call.Valid())
        return SOCKET_ERROR;
    int error = 0;
    if (twk::WsShutdown(call.Fd(), how, error) != 0)
        return Fail(error);
    call.Update([how](SocketRecord &record) {
        record.receiveShut |= how == SD_RECEIVE || how == SD_BOTH;
        record.sendShut |= how == SD_SEND || how == SD_BOTH;
    });
    return 0;
}

extern "C" int WSAAPI closesocket(SOCKET s)
{
    int fd;
    {
        std::lock_guard<std::mutex> lock(g_wsLock);
        if (!FindLocked(s, fd))
            return SOCKET_ERROR;
        fd = RetireLocked(g_sockets.find(fd));
    }
    int error = 0;
    return fd < 0 || twk::WsClose(fd, error) == 0 ? 0 : Fail(error);
}

extern "C" int WSAAPI setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen)
{
    SocketCall call(s);
    if (!call.Valid())
        return SOCKET_ERROR;
    int error = 0;
    if (twk::WsSetOption(call.Fd(), level, optname, optval, optlen, error) != 0)
        return Fail(error);
    if (level == SOL_SOCKET && (optname == SO_RCVTIMEO || optname == SO_SNDTIMEO)) {
        DWORD timeout;
        std::memcpy(&timeout, optval, sizeof timeout);
        call.Update([optname, timeout](SocketRecord &record) {
            (optname == SO_RCVTIMEO ? record.receiveTimeout : record.sendTimeout) = timeout;
        });
    }
    return 0;
}

extern "C" int WSAAPI getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen)
{
    SocketCall call(s);
    if (!call.Valid())
        return SOCKET_ERROR;
    int error = 0;
    if (twk::WsGetOption(call.Fd(), level, optname, optval, optlen, error) != 0)
        return Fail(error);
    if (level == SOL_SOCKET && (optname == SO_RCVTIMEO || optname == SO_SNDTIMEO)) {
        DWORD timeout = optname == SO_RCVTIMEO ? call.State().receiveTimeout : call.State().sendTimeout;
        std::memcpy(optval, &timeout, sizeof timeout);
    }
    return 0;
}
