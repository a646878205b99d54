// The host's socket calls behind Winsock. Arguments carry Winsock's constant
// values, which are translated here; results are the call's result, or -1 with a
// Winsock error code in `error`. Sockets are file descriptors and always blocking.
#pragma once
#include <cstddef>
#include <cstdint>

namespace twk {

// The IPv4 address structures have the same layout in both worlds.
constexpr std::size_t kSockaddrSize = 16;
constexpr std::size_t kSockaddrInSize = 16;
constexpr std::size_t kSinPortOffset = 2;
constexpr std::size_t kSinAddrOffset = 4;

int WsErrorFromErrno(int err);

int WsOpen(int af, int type, int protocol, int &error);
// Address and port in network byte order.
int WsConnectIPv4(int fd, std::uint32_t address, std::uint16_t port, int &error);
int WsSend(int fd, const char *buf, int len, int flags, int &error);
int WsRecv(int fd, char *buf, int len, int flags, int &error);
int WsShutdown(int fd, int how, int &error);
int WsClose(int fd, int &error);
// Ends calls blocked on the socket in other threads (both directions shut down).
void WsWake(int fd);
int WsSetOption(int fd, int level, int name, const char *value, int length, int &error);
int WsGetOption(int fd, int level, int name, char *value, int *length, int &error);

} // namespace twk
