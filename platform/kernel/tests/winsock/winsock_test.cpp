// Winsock through the platform's API against a loopback server on host sockets.
#include <windows.h>
#include <winsock2.h>

#include "loopback_server.h"
#include "twrawserver.h"

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

// Winsock started for the scope of a test.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data;
        EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    ~WinsockSession() { EXPECT_EQ(WSACleanup(), 0); }
};

SOCKADDR_IN Loopback(unsigned short port)
{
    SOCKADDR_IN addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = inet_addr("127.0.0.1");
    return addr;
}

SOCKET Connected(unsigned short port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET);
    SOCKADDR_IN addr = Loopback(port);
    EXPECT_EQ(connect(s, reinterpret_cast<SOCKADDR *>(&addr), sizeof addr), 0) << WSAGetLastError();
    return s;
}

TEST(Winsock, CallsWithoutStartupFailWithNotInitialised)
{
    WSASetLastError(0);
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    char byte = 0;
    for (int r : {send(3, &byte, 1, 0), recv(3, &byte, 1, 0), closesocket(3), shutdown(3, SD_BOTH), WSACleanup()}) {
        EXPECT_EQ(r, SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    }
}

TEST(Winsock, StartupChecksVersionsAndCountsReferences)
{
    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);  // the refused start-up counted nothing

    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 0));
    ASSERT_EQ(WSAStartup(MAKEWORD(3, 1), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
    EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));

    EXPECT_EQ(WSACleanup(), 0);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET) << "one start-up is still outstanding";
    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(Winsock, LastCleanupClosesSocketsLeftOpen)
{
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_TRUE(wstest::DescriptorIsOpen(static_cast<int>(s)));
    ASSERT_EQ(WSACleanup(), 0);
    EXPECT_FALSE(wstest::DescriptorIsOpen(static_cast<int>(s)));

    // The old value no longer names a socket, even after a fresh start-up.
    WinsockSession session;
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(Winsock, RequestAndResponseUntilThePeerCloses)
{
    WinsockSession session;
    std::string request = "GET /download/start.php HTTP/1.1\r\nHost: x\r\n\r\n";
    std::string response = "HTTP/1.1 200 OK\r\n\r\n";
    for (int i = 0; response.size() < 300000; ++i)
        response += std::to_string(i) + ",";
    std::string received;
    wstest::LoopbackServer server([&](int fd) {
        received = wstest::ReadUntil(fd, "\r\n\r\n");
        wstest::WriteAll(fd, response);
    });

    SOCKET s = Connected(server.port());
    ASSERT_EQ(send(s, request.data(), static_cast<int>(request.size()), 0), static_cast<int>(request.size()));
    std::string body;
    char buffer[1025];
    int n;
    while ((n = recv(s, buffer, 1024, 0)) > 0) {
        ASSERT_LE(n, 1024);
        body.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(n, 0) << WSAGetLastError();
    EXPECT_EQ(body, response);
    EXPECT_EQ(closesocket(s), 0);
    server.Join();
    EXPECT_EQ(received, request);
}

TEST(Winsock, RefusedConnectionReportsConnRefused)
{
    WinsockSession session;
    wstest::RefusingPort port;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    SOCKADDR_IN addr = Loopback(port.port());
    EXPECT_EQ(connect(s, reinterpret_cast<SOCKADDR *>(&addr), sizeof addr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    EXPECT_EQ(WSAGetLastError(), 10061);
    EXPECT_EQ(closesocket(s), 0);
}

TEST(Winsock, SendToAClosedPeerFailsWithoutKillingTheProcess)
{
    wstest::MakeSigpipeFatal();
    WinsockSession session;
    wstest::LoopbackServer server([](int) {});
    SOCKET s = Connected(server.port());
    server.Join();

    char byte;
    EXPECT_EQ(recv(s, &byte, 1, 0), 0);
    std::string chunk(4096, 'x');
    int result = 0;
    for (int i = 0; i < 200 && result != SOCKET_ERROR; ++i) {
        result = send(s, chunk.data(), static_cast<int>(chunk.size()), 0);
        if (result != SOCKET_ERROR)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(result, SOCKET_ERROR);
    int error = WSAGetLastError();
    EXPECT_TRUE(error == WSAECONNRESET || error == WSAECONNABORTED) << error;
    EXPECT_EQ(closesocket(s), 0);
}

TEST(Winsock, ShutdownAndOptionsBehaveLikeWinsock)
{
    WinsockSession session;
    std::string seen;
    wstest::LoopbackServer server([&](int fd) { seen = wstest::ReadToEnd(fd); });
    SOCKET s = Connected(server.port());

    DWORD timeout = 150;
    ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout), 0);
    DWORD readBack = 0;
    int length = sizeof readBack;
    ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char *>(&readBack), &length), 0);
    EXPECT_EQ(readBack, 150u);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(setsockopt(s, SOL_SOCKET, 0x7777, reinterpret_cast<const char *>(&timeout), sizeof timeout),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);

    char buffer[16];
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);

    ASSERT_EQ(send(s, "abc", 3, 0), 3);
    ASSERT_EQ(shutdown(s, SD_SEND), 0);
    EXPECT_EQ(send(s, "d", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
    server.Join();
    EXPECT_EQ(seen, "abc");
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(closesocket(s), 0);
}

TEST(Winsock, ClosingASocketReleasesACallBlockedOnIt)
{
    WinsockSession session;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    wstest::LoopbackServer server([released](int) { released.wait(); });
    SOCKET s = Connected(server.port());

    auto result = std::make_shared<std::promise<int>>();
    std::future<int> received = result->get_future();
    std::thread blocked([s, result] {
        char byte;
        result->set_value(recv(s, &byte, 1, 0));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(closesocket(s), 0);
    bool returned = received.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    if (returned) {
        EXPECT_LE(received.get(), 0);
        blocked.join();
    } else {
        ADD_FAILURE() << "recv still blocked after closesocket";
        blocked.detach();
    }
}

// What ends an exchange with a server that stops answering: a shutdown from
// another thread releases a blocked receive, a close releases a blocked connect.
TEST(Winsock, OtherThreadsReleaseABlockedReceiveOrConnect)
{
    WinsockSession session;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    wstest::LoopbackServer server([released](int) { released.wait(); });
    SOCKET s = Connected(server.port());
    auto received = std::async(std::launch::async, [s] {
        char byte;
        return recv(s, &byte, 1, 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(shutdown(s, SD_BOTH), 0);
    bool returned = received.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    ASSERT_TRUE(returned) << "recv still blocked after shutdown";
    EXPECT_EQ(received.get(), 0);
    EXPECT_EQ(closesocket(s), 0);

    twtest::CUnansweredPort unanswered;
    std::string address = unanswered.Address();
    unsigned short port = static_cast<unsigned short>(std::stoi(address.substr(address.find(':') + 1)));
    SOCKET c = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    auto connected = std::async(std::launch::async, [c, port] {
        SOCKADDR_IN addr = Loopback(port);
        int result = connect(c, reinterpret_cast<SOCKADDR *>(&addr), sizeof addr);
        return std::make_pair(result, WSAGetLastError());
    });
    EXPECT_EQ(connected.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "the connect got an answer";
    EXPECT_EQ(closesocket(c), 0);
    ASSERT_EQ(connected.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "connect still blocked after closesocket";
    EXPECT_EQ(connected.get().first, SOCKET_ERROR);
}

TEST(Winsock, ValuesThatAreNotOurSocketsAreRefused)
{
    WinsockSession session;
    char byte = 'x';
    for (SOCKET bad : {INVALID_SOCKET, static_cast<SOCKET>(0), static_cast<SOCKET>(1), static_cast<SOCKET>(1) << 40}) {
        EXPECT_EQ(send(bad, &byte, 1, 0), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
        EXPECT_EQ(closesocket(bad), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(closesocket(s), 0);
    EXPECT_EQ(recv(s, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);

    EXPECT_EQ(socket(23, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
}

TEST(WinsockAddress, InetAddrParsesDottedFormsAndRejectsMalformedText)
{
    auto bytes = [](ULONG a) {
        IN_ADDR in;
        in.s_addr = a;
        return std::string(inet_ntoa(in));
    };
    EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7f000001));
    EXPECT_EQ(bytes(inet_addr("192.168.1.20")), "192.168.1.20");
    EXPECT_EQ(bytes(inet_addr("0x7f.1")), "127.0.0.1");
    EXPECT_EQ(bytes(inet_addr("10.1.258")), "10.1.1.2");
    EXPECT_EQ(bytes(inet_addr("010.0.0.1")), "8.0.0.1");
    for (const char *bad : {"", "256.1.1.1", "1.2.3.4.5", "1.2.3.", ".1.2.3", "abc", "1.2.3.4 ", "1..2.3",
                            "09.1.1.1", "0x", "1.2.3.256", "99999999999"})
        EXPECT_EQ(inet_addr(bad), INADDR_NONE) << bad;
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);

    EXPECT_EQ(htons(0x1234), ntohs(0x1234));
    u_short net = htons(0x1234);
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&net)[0], 0x12);
    EXPECT_EQ(ntohl(htonl(0x01020304)), 0x01020304u);
}

} // namespace
