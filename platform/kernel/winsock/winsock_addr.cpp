// Address text and byte order: inet_addr, inet_ntoa, htons and friends. None of
// them needs Winsock to be started.
#include <cstdio>
#include <winsock2.h>

namespace {

// One part of a dotted address: decimal, octal with a leading 0, or hexadecimal
// with 0x. False when there are no digits or the value exceeds 32 bits.
bool ParsePart(const char *&p, ULONG &value)
{
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    unsigned long long v = 0;
    const char *start = p;
    for (;; ++p) {
        char c = *p;
        unsigned digit = (c >= '0' && c <= '9') ? unsigned(c - '0')
                         : ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') ? unsigned((c | 0x20) - 'a' + 10)
                                                                    : 99u;
        if (digit >= base)
            break;
        v = v * base + digit;
        if (v > 0xffffffffull)
            return false;
    }
    if (p == start && base != 8)
        return false;
    value = static_cast<ULONG>(v);
    return true;
}

} // namespace

// "a.b.c.d", "a.b.c" (c fills 16 bits), "a.b" (b fills 24 bits) or "a", each part
// in C notation. Anything else is INADDR_NONE.
extern "C" ULONG WSAAPI inet_addr(const char *cp)
{
    if (!cp || !*cp)
        return INADDR_NONE;
    ULONG parts[4];
    int count = 0;
    const char *p = cp;
    for (;;) {
        if (count == 4 || !ParsePart(p, parts[count]))
            return INADDR_NONE;
        ++count;
        if (*p == '\0')
            break;
        if (*p != '.')
            return INADDR_NONE;
        ++p;
    }
    ULONG host = 0;
    for (int i = 0; i < count - 1; ++i) {
        if (parts[i] > 0xff)
            return INADDR_NONE;
        host |= parts[i] << (24 - 8 * i);
    }
    ULONG last = parts[count - 1];
    ULONG lastMax = count == 1 ? 0xffffffffu : (0xffffffffu >> (8 * (count - 1)));
    if (last > lastMax)
        return INADDR_NONE;
    return htonl(host | last);
}

// The text lives in a buffer of the calling thread until its next call.
extern "C" char *WSAAPI inet_ntoa(struct in_addr in)
{
    static thread_local char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", in.S_un.S_un_b.s_b1, in.S_un.S_un_b.s_b2,
                  in.S_un.S_un_b.s_b3, in.S_un.S_un_b.s_b4);
    return text;
}

#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define TW_NET16(x) (x)
#define TW_NET32(x) (x)
#else
#define TW_NET16(x) __builtin_bswap16(x)
#define TW_NET32(x) __builtin_bswap32(x)
#endif

extern "C" u_short WSAAPI htons(u_short hostshort)
{
    return TW_NET16(hostshort);
}

extern "C" u_short WSAAPI ntohs(u_short netshort)
{
    return TW_NET16(netshort);
}

extern "C" ULONG WSAAPI htonl(ULONG hostlong)
{
    return TW_NET32(hostlong);
}

extern "C" ULONG WSAAPI ntohl(ULONG netlong)
{
    return TW_NET32(netlong);
}
