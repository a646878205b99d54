// Winsock 2.2: blocking IPv4 sockets.
// Functions whose names glibc also exports are bound to tw_ws_* symbols, so that
// the C library's own socket functions stay untouched for the rest of the process.
#pragma once
#include <windef.h>
#include <winerror.h>

#define WSAAPI

// The same types as the C library's <sys/types.h>, so the two may meet. Winsock's
// 32-bit u_long is spelt ULONG here, since unsigned long is 64 bits wide on this ABI.
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef USHORT ADDRESS_FAMILY;

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
#if UINTPTR_MAX > 0xffffffffu
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
#else
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
#endif
} WSADATA, *LPWSADATA;

#define AF_UNSPEC 0
#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define IPPROTO_IP 0
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17

typedef struct in_addr {
    union {
        struct { UCHAR s_b1, s_b2, s_b3, s_b4; } S_un_b;
        struct { USHORT s_w1, s_w2; } S_un_w;
        ULONG S_addr;
    } S_un;
} IN_ADDR, *PIN_ADDR, *LPIN_ADDR;
#define s_addr S_un.S_addr

#define INADDR_ANY ((ULONG)0x00000000)
#define INADDR_LOOPBACK 0x7f000001
#define INADDR_NONE 0xffffffff

typedef struct sockaddr {
    ADDRESS_FAMILY sa_family;
    CHAR sa_data[14];
} SOCKADDR, *PSOCKADDR, *LPSOCKADDR;

typedef struct sockaddr_in {
    ADDRESS_FAMILY sin_family;
    USHORT sin_port;
    IN_ADDR sin_addr;
    CHAR sin_zero[8];
} SOCKADDR_IN, *PSOCKADDR_IN, *LPSOCKADDR_IN;

// send and recv flags.
#define MSG_OOB 0x1
#define MSG_PEEK 0x2
#define MSG_DONTROUTE 0x4
#define MSG_WAITALL 0x8

// shutdown directions.
#define SD_RECEIVE 0x00
#define SD_SEND 0x01
#define SD_BOTH 0x02

// Socket options (DWORD milliseconds for the time-outs, BOOL for the switches).
#define SOL_SOCKET 0xffff
#define SO_REUSEADDR 0x0004
#define SO_KEEPALIVE 0x0008
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define SO_ERROR 0x1007
#define TCP_NODELAY 0x0001

#ifndef WSABASEERR
#define WSABASEERR 10000
#define WSAEINTR (WSABASEERR + 4)
#define WSAEBADF (WSABASEERR + 9)
#define WSAEACCES (WSABASEERR + 13)
#define WSAEFAULT (WSABASEERR + 14)
#define WSAEINVAL (WSABASEERR + 22)
#define WSAEMFILE (WSABASEERR + 24)
#define WSAEWOULDBLOCK (WSABASEERR + 35)
#define WSAEINPROGRESS (WSABASEERR + 36)
#define WSAEALREADY (WSABASEERR + 37)
#define WSAENOTSOCK (WSABASEERR + 38)
#define WSAEDESTADDRREQ (WSABASEERR + 39)
#define WSAEMSGSIZE (WSABASEERR + 40)
#define WSAEPROTOTYPE (WSABASEERR + 41)
#define WSAENOPROTOOPT (WSABASEERR + 42)
#define WSAEPROTONOSUPPORT (WSABASEERR + 43)
#define WSAESOCKTNOSUPPORT (WSABASEERR + 44)
#define WSAEOPNOTSUPP (WSABASEERR + 45)
#define WSAEPFNOSUPPORT (WSABASEERR + 46)
#define WSAEAFNOSUPPORT (WSABASEERR + 47)
#define WSAEADDRINUSE (WSABASEERR + 48)
#define WSAEADDRNOTAVAIL (WSABASEERR + 49)
#define WSAENETDOWN (WSABASEERR + 50)
#define WSAENETUNREACH (WSABASEERR + 51)
#define WSAENETRESET (WSABASEERR + 52)
#define WSAECONNABORTED (WSABASEERR + 53)
#define WSAECONNRESET (WSABASEERR + 54)
#define WSAENOBUFS (WSABASEERR + 55)
#define WSAEISCONN (WSABASEERR + 56)
#define WSAENOTCONN (WSABASEERR + 57)
#define WSAESHUTDOWN (WSABASEERR + 58)
#define WSAETOOMANYREFS (WSABASEERR + 59)
#define WSAETIMEDOUT (WSABASEERR + 60)
#define WSAECONNREFUSED (WSABASEERR + 61)
#define WSAELOOP (WSABASEERR + 62)
#define WSAENAMETOOLONG (WSABASEERR + 63)
#define WSAEHOSTDOWN (WSABASEERR + 64)
#define WSAEHOSTUNREACH (WSABASEERR + 65)
#define WSASYSNOTREADY (WSABASEERR + 91)
#define WSAVERNOTSUPPORTED (WSABASEERR + 92)
#define WSANOTINITIALISED (WSABASEERR + 93)
#define WSAEDISCON (WSABASEERR + 101)
#endif

EXTERN_C int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
EXTERN_C int WSAAPI WSACleanup(void);
EXTERN_C int WSAAPI WSAGetLastError(void);
EXTERN_C void WSAAPI WSASetLastError(int iError);

EXTERN_C SOCKET WSAAPI socket(int af, int type, int protocol) __asm__("tw_ws_socket");
EXTERN_C int WSAAPI connect(SOCKET s, const struct sockaddr *name, int namelen) __asm__("tw_ws_connect");
EXTERN_C int WSAAPI send(SOCKET s, const char *buf, int len, int flags) __asm__("tw_ws_send");
EXTERN_C int WSAAPI recv(SOCKET s, char *buf, int len, int flags) __asm__("tw_ws_recv");
EXTERN_C int WSAAPI shutdown(SOCKET s, int how) __asm__("tw_ws_shutdown");
EXTERN_C int WSAAPI closesocket(SOCKET s);
EXTERN_C int WSAAPI setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen)
    __asm__("tw_ws_setsockopt");
EXTERN_C int WSAAPI getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen)
    __asm__("tw_ws_getsockopt");

EXTERN_C ULONG WSAAPI inet_addr(const char *cp) __asm__("tw_ws_inet_addr");
EXTERN_C char *WSAAPI inet_ntoa(struct in_addr in) __asm__("tw_ws_inet_ntoa");
EXTERN_C u_short WSAAPI htons(u_short hostshort) __asm__("tw_ws_htons");
EXTERN_C u_short WSAAPI ntohs(u_short netshort) __asm__("tw_ws_ntohs");
EXTERN_C ULONG WSAAPI htonl(ULONG hostlong) __asm__("tw_ws_htonl");
EXTERN_C ULONG WSAAPI ntohl(ULONG netlong) __asm__("tw_ws_ntohl");
