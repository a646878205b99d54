#include "winsock_posix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace twk {

static_assert(sizeof(sockaddr) == kSockaddrSize, "sockaddr layout");
static_assert(sizeof(sockaddr_in) == kSockaddrInSize, "sockaddr_in layout");
static_assert(offsetof(sockaddr_in, sin_port) == kSinPortOffset, "sockaddr_in layout");
static_assert(offsetof(sockaddr_in, sin_addr) == kSinAddrOffset, "sockaddr_in layout");
static_assert(sizeof(in_addr) == 4, "in_addr layout");

namespace {

// Winsock's values of the constants this layer translates.
constexpr int kWsAfInet = 2;
constexpr int kWsSockStream = 1;
constexpr int kWsSockDgram = 2;
constexpr int kWsMsgOob = 0x1;
constexpr int kWsMsgPeek = 0x2;
constexpr int kWsMsgDontRoute = 0x4;
constexpr int kWsMsgWaitAll = 0x8;
constexpr int kWsSolSocket = 0xffff;
constexpr int kWsIpprotoTcp = 6;
constexpr int kWsSoReuseAddr = 0x0004;
constexpr int kWsSoKeepAlive = 0x0008;
constexpr int kWsSoSndTimeo = 0x1005;
constexpr int kWsSoRcvTimeo = 0x1006;
constexpr int kWsSoError = 0x1007;
constexpr int kWsTcpNoDelay = 0x0001;

constexpr int kWsBase = 10000;
constexpr int kWsEFault = kWsBase + 14;
constexpr int kWsEInval = kWsBase + 22;
constexpr int kWsEOpNotSupp = kWsBase + 45;
constexpr int kWsENoProtoOpt = kWsBase + 42;
constexpr int kWsEAfNoSupport = kWsBase + 47;
constexpr int kWsESockTNoSupport = kWsBase + 44;
constexpr int kWsETimedOut = kWsBase + 60;

int Fail(int &error, int code)
{
    error = code;
    return -1;
}

// Blocking sockets report a time-out (SO_RCVTIMEO, SO_SNDTIMEO) as EAGAIN.
int FailIo(int &error, int err)
{
    return Fail(error, (err == EAGAIN || err == EWOULDBLOCK) ? kWsETimedOut : WsErrorFromErrno(err));
}

bool TranslateFlags(int flags, int allowed, int &native)
{
    if (flags & ~allowed)
        return false;
    native = 0;
    if (flags & kWsMsgOob)
        native |= MSG_OOB;
    if (flags & kWsMsgPeek)
        native |= MSG_PEEK;
    if (flags & kWsMsgDontRoute)
        native |= MSG_DONTROUTE;
    if (flags & kWsMsgWaitAll)
        native |= MSG_WAITALL;
    return true;
}

// A connect interrupted by a signal goes on in the background; wait for its outcome.
int FinishInterruptedConnect(int fd, int &error)
{
    pollfd p{fd, POLLOUT, 0};
    for (;;) {
        int r = ::poll(&p, 1, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return FailIo(error, errno);
        break;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
        return FailIo(error, errno);
    return soError == 0 ? 0 : Fail(error, WsErrorFromErrno(soError));
}

bool NativeOption(int level, int name, int &nativeLevel, int &nativeName, bool &isTime)
{
    isTime = false;
    if (level == kWsSolSocket) {
        nativeLevel = SOL_SOCKET;
        switch (name) {
        case kWsSoReuseAddr: nativeName = SO_REUSEADDR; return true;
        case kWsSoKeepAlive: nativeName = SO_KEEPALIVE; return true;
        case kWsSoError: nativeName = SO_ERROR; return true;
        case kWsSoSndTimeo: nativeName = SO_SNDTIMEO; isTime = true; return true;
        case kWsSoRcvTimeo: nativeName = SO_RCVTIMEO; isTime = true; return true;
        default: return false;
        }
    }
    if (level == kWsIpprotoTcp && name == kWsTcpNoDelay) {
        nativeLevel = IPPROTO_TCP;
        nativeName = TCP_NODELAY;
        return true;
    }
    return false;
}

} // namespace

int WsErrorFromErrno(int err)
{
    switch (err) {
    case EINTR: return kWsBase + 4;
    case EBADF: return kWsBase + 38;
    case EACCES:
    case EPERM: return kWsBase + 13;
    case EFAULT: return kWsEFault;
    case EINVAL: return kWsEInval;
    case EMFILE:
    case ENFILE: return kWsBase + 24;
    case EAGAIN: return kWsBase + 35;
    case EINPROGRESS: return kWsBase + 36;
    case EALREADY: return kWsBase + 37;
    case ENOTSOCK: return kWsBase + 38;
    case EDESTADDRREQ: return kWsBase + 39;
    case EMSGSIZE: return kWsBase + 40;
    case EPROTOTYPE: return kWsBase + 41;
    case ENOPROTOOPT: return kWsENoProtoOpt;
    case EPROTONOSUPPORT: return kWsBase + 43;
    case ESOCKTNOSUPPORT: return kWsESockTNoSupport;
    case EOPNOTSUPP: return kWsEOpNotSupp;
    case EPFNOSUPPORT: return kWsBase + 46;
    case EAFNOSUPPORT: return kWsEAfNoSupport;
    case EADDRINUSE: return kWsBase + 48;
    case EADDRNOTAVAIL: return kWsBase + 49;
    case ENETDOWN: return kWsBase + 50;
    case ENETUNREACH: return kWsBase + 51;
    case ENETRESET: return kWsBase + 52;
    case ECONNABORTED: return kWsBase + 53;
    case ECONNRESET:
    case EPIPE: return kWsBase + 54;
    case ENOBUFS:
    case ENOMEM: return kWsBase + 55;
    case EISCONN: return kWsBase + 56;
    case ENOTCONN: return kWsBase + 57;
    case ESHUTDOWN: return kWsBase + 58;
    case ETOOMANYREFS: return kWsBase + 59;
    case ETIMEDOUT: return kWsETimedOut;
    case ECONNREFUSED: return kWsBase + 61;
    case ELOOP: return kWsBase + 62;
    case ENAMETOOLONG: return kWsBase + 63;
    case EHOSTDOWN: return kWsBase + 64;
    case EHOSTUNREACH: return kWsBase + 65;
    default: return kWsBase + 50;  // WSAENETDOWN: the network subsystem failed
    }
}

int WsOpen(int af, int type, int protocol, int &error)
{
    if (af != kWsAfInet)
        return Fail(error, kWsEAfNoSupport);
    int nativeType = type == kWsSockStream ? SOCK_STREAM : type == kWsSockDgram ? SOCK_DGRAM : -1;
    if (nativeType < 0)
        return Fail(error, kWsESockTNoSupport);
    int fd = ::socket(AF_INET, nativeType | SOCK_CLOEXEC, protocol);
    return fd < 0 ? FailIo(error, errno) : fd;
}

int WsConnectIPv4(int fd, std::uint32_t address, std::uint16_t port, int &error)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = port;
    peer.sin_addr.s_addr = address;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == 0)
        return 0;
    if (errno == EINTR)
        return FinishInterruptedConnect(fd, error);
    // A connect bounded by SO_SNDTIMEO stops with EINPROGRESS.
    if (errno == EINPROGRESS)
        return Fail(error, kWsETimedOut);
    return FailIo(error, errno);
}

int WsSend(int fd, const char *buf, int len, int flags, int &error)
{
    int native = 0;
    if (!TranslateFlags(flags, kWsMsgOob | kWsMsgDontRoute, native))
        return Fail(error, kWsEOpNotSupp);
    // A blocking send hands over everything unless the connection fails. A closed
    // peer is an error, never a SIGPIPE.
    int sent = 0;
    do {
        ssize_t n = ::send(fd, buf + sent, static_cast<std::size_t>(len - sent), native | MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (sent > 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return sent;
            return FailIo(error, errno);
        }
        sent += static_cast<int>(n);
    } while (sent < len);
    return sent;
}

int WsRecv(int fd, char *buf, int len, int flags, int &error)
{
    int native = 0;
    if (!TranslateFlags(flags, kWsMsgOob | kWsMsgPeek | kWsMsgWaitAll, native))
        return Fail(error, kWsEOpNotSupp);
    for (;;) {
        ssize_t n = ::recv(fd, buf, static_cast<std::size_t>(len), native);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return FailIo(error, errno);
    }
}

int WsShutdown(int fd, int how, int &error)
{
    static_assert(SHUT_RD == 0 && SHUT_WR == 1 && SHUT_RDWR == 2, "shutdown directions");
    if (how < 0 || how > 2)
        return Fail(error, kWsEInval);
    return ::shutdown(fd, how) == 0 ? 0 : FailIo(error, errno);
}

void WsWake(int fd)
{
    ::shutdown(fd, SHUT_RDWR);
}

int WsClose(int fd, int &error)
{
    // Linux releases the descriptor even when close reports EINTR; never retry.
    if (::close(fd) == 0 || errno == EINTR)
        return 0;
    return FailIo(error, errno);
}

int WsSetOption(int fd, int level, int name, const char *value, int length, int &error)
{
    int nativeLevel = 0, nativeName = 0;
    bool isTime = false;
    if (!NativeOption(level, name, nativeLevel, nativeName, isTime) || nativeName == SO_ERROR)
        return Fail(error, (level == kWsSolSocket || level == kWsIpprotoTcp) ? kWsENoProtoOpt : kWsEInval);
    if (!value || length < static_cast<int>(sizeof(std::uint32_t)))
        return Fail(error, kWsEFault);
    std::uint32_t raw;
    std::memcpy(&raw, value, sizeof raw);
    int r;
    if (isTime) {
        timeval tv{static_cast<time_t>(raw / 1000), static_cast<suseconds_t>((raw % 1000) * 1000)};
        r = ::setsockopt(fd, nativeLevel, nativeName, &tv, sizeof tv);
    } else {
        int flag = raw != 0;
        r = ::setsockopt(fd, nativeLevel, nativeName, &flag, sizeof flag);
    }
    return r == 0 ? 0 : FailIo(error, errno);
}

int WsGetOption(int fd, int level, int name, char *value, int *length, int &error)
{
    int nativeLevel = 0, nativeName = 0;
    bool isTime = false;
    if (!NativeOption(level, name, nativeLevel, nativeName, isTime))
        return Fail(error, (level == kWsSolSocket || level == kWsIpprotoTcp) ? kWsENoProtoOpt : kWsEInval);
    if (!value || !length || *length < static_cast<int>(sizeof(std::uint32_t)))
        return Fail(error, kWsEFault);
    std::uint32_t result;
    if (isTime) {
        timeval tv{};
        socklen_t len = sizeof tv;
        if (::getsockopt(fd, nativeLevel, nativeName, &tv, &len) != 0)
            return FailIo(error, errno);
        result = static_cast<std::uint32_t>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
    } else {
        int native = 0;
        socklen_t len = sizeof native;
        if (::getsockopt(fd, nativeLevel, nativeName, &native, &len) != 0)
            return FailIo(error, errno);
        if (nativeName == SO_ERROR)
            result = native == 0 ? 0u : static_cast<std::uint32_t>(WsErrorFromErrno(native));
        else
            result = native != 0;
    }
    std::memcpy(value, &result, sizeof result);
    *length = sizeof result;
    return 0;
}

} // namespace twk
