#include "http.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <winsock2.h>

#include "textutil.h"
#include "updater.h"

// The build fixes the update server: its IPv4 address and the domain named in the Host header.
#if !defined(TW_UPDATE_SERVER_ADDRESS) || !defined(TW_UPDATE_SERVER_HOST)
#error "TW_UPDATE_SERVER_ADDRESS and TW_UPDATE_SERVER_HOST must be defined by the build"
#endif
#define UPDATE_SERVER_PORT 80
// TARNWICK_UPDATE_SERVER=a.b.c.d:port points the launcher at another server.
#define UPDATE_SERVER_VARIABLE "TARNWICK_UPDATE_SERVER"

namespace {

// The server's address: the one built in, unless the environment names another.
void UpdateServerAddress(SOCKADDR_IN *pAddress)
{
    std::memset(pAddress, 0, sizeof *pAddress);
    pAddress->sin_family = AF_INET;
    pAddress->sin_addr.s_addr = inet_addr(TW_UPDATE_SERVER_ADDRESS);
    pAddress->sin_port = htons(UPDATE_SERVER_PORT);

    const char *pszOverride = std::getenv(UPDATE_SERVER_VARIABLE);
    if (!pszOverride || !*pszOverride)
        return;
    char szHost[32];
    const char *pszColon = std::strrchr(pszOverride, ':');
    char *pEnd = NULL;
    long nPort = pszColon ? std::strtol(pszColon + 1, &pEnd, 10) : 0;
    size_t cchHost = pszColon ? static_cast<size_t>(pszColon - pszOverride) : 0;
    ULONG ulAddress = INADDR_NONE;
    if (pszColon && cchHost < sizeof szHost) {
        std::memcpy(szHost, pszOverride, cchHost);
        szHost[cchHost] = '\0';
        ulAddress = inet_addr(szHost);
    }
    if (ulAddress == INADDR_NONE || pEnd == pszColon + 1 || *pEnd != '\0' || nPort < 1 || nPort > 65535) {
        std::fprintf(stderr, "Ignoring %s=%s: expected a.b.c.d:port\n", UPDATE_SERVER_VARIABLE, pszOverride);
        return;
    }
    pAddress->sin_addr.s_addr = ulAddress;
    pAddress->sin_port = htons(static_cast<u_short>(nPort));
}

// The time-out of connects and of silence: the built-in one unless the environment names another.
DWORD ExchangeTimeout()
{
    const char *pszValue = std::getenv(EXCHANGE_TIMEOUT_VARIABLE);
    if (!pszValue || !*pszValue)
        return EXCHANGE_TIMEOUT_MS;
    char *pEnd = NULL;
    long nValue = std::strtol(pszValue, &pEnd, 10);
    if (pEnd == pszValue || *pEnd != '\0' || nValue < 1 || nValue > 3600000) {
        std::fprintf(stderr, "Ignoring %s=%s: expected milliseconds from 1 to 3600000\n", EXCHANGE_TIMEOUT_VARIABLE,
                     pszValue);
        return EXCHANGE_TIMEOUT_MS;
    }
    return static_cast<DWORD>(nValue);
}

// The socket of the exchange under way, which another thread may close to end a
// blocked call at once: the connect watchdog, and Cancel when the exchange is
// cancellable. The update threads never run two exchanges at once. Both fields
// are owned by g_exchangeLock.
std::mutex g_exchangeLock;
SOCKET g_sExchange = INVALID_SOCKET;
bool g_bExchangeCancellable = false;

void OpenExchangeSocket(SOCKET s, bool bCancellable)
{
    std::lock_guard<std::mutex> lock(g_exchangeLock);
    g_sExchange = s;
    g_bExchangeCancellable = bCancellable;
}

// Closes the exchange's socket unless another thread has. Closing under the lock
// keeps a socket number that the system hands out again from being closed twice.
void CloseExchangeSocket(bool bOnlyCancellable)
{
    std::lock_guard<std::mutex> lock(g_exchangeLock);
    if (g_sExchange == INVALID_SOCKET || (bOnlyCancellable && !g_bExchangeCancellable))
        return;
    closesocket(g_sExchange);
    g_sExchange = INVALID_SOCKET;
}

// Watches a connect: when it has not ended within the time-out, closes the
// exchange's socket from a thread of its own, which makes the blocked connect fail.
class CConnectWatchdog {
public:
    explicit CConnectWatchdog(DWORD dwTimeout)
        : m_bDone(false), m_bFired(false), m_thread(&CConnectWatchdog::Watch, this, dwTimeout)
    {
    }
    ~CConnectWatchdog() { Stop(); }
    CConnectWatchdog(const CConnectWatchdog &) = delete;
    CConnectWatchdog &operator=(const CConnectWatchdog &) = delete;

    // Ends the watch; true when the time-out came first and closed the socket.
    bool Stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_bDone = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        return m_bFired;
    }

private:
    void Watch(DWORD dwTimeout)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_wake.wait_for(lock, std::chrono::milliseconds(dwTimeout), [this] { return m_bDone; }))
            return;
        m_bFired = true;
        lock.unlock();
        CloseExchangeSocket(false);
    }

    std::mutex m_lock;              // owns m_bDone
    std::condition_variable m_wake; // signalled when m_bDone is set
    bool m_bDone;
    bool m_bFired;                  // written by the watch thread, read after it was joined
    std::thread m_thread;
};

bool SendAll(SOCKET s, const char *pData, int cbData)
{
    while (cbData > 0) {
        int cbSent = send(s, pData, cbData, 0);
        if (cbSent <= 0)
            return false;
        pData += cbSent;
        cbData -= cbSent;
    }
    return true;
}

} // namespace

bool FormatRequest(char *pszRequest, const char *pszRequestLine, const char *pszProductName,
                   const char *pszVersion, int nRangeFrom)
{
    char szProduct[VERSION_TEXT_SIZE];
    CopyText(szProduct, sizeof szProduct, pszProductName);
    LowerCaseText(szProduct);
    char szRange[40] = "";
    if (nRangeFrom > 0)
        std::snprintf(szRange, sizeof szRange, "Range: bytes=%d-\r\n", nRangeFrom);
    int n = std::snprintf(pszRequest, REQUEST_SIZE,
                          "%s\r\n"
                          "User-Agent: %s %s\r\n"
                          "Host: %s.%s\r\n"
                          "Accept: */*\r\n"
                          "Connection: Keep-Alive\r\n"
                          "X-App_Name: %s\r\n"
                          "X-App_Version: %s\r\n"
                          "%s"
                          "\r\n",
                          pszRequestLine, szProduct, pszVersion, szProduct, TW_UPDATE_SERVER_HOST, szProduct,
                          pszVersion, szRange);
    return n > 0 && n < REQUEST_SIZE;
}

int HttpExchange(const char *pszRequest, const HTTP_CODES &codes, const std::atomic<char> *pCancel,
                 PFN_CHUNK pfnChunk, void *pContext)
{
    WSADATA wsaData;
    if (WSAStartup(MAKEWORD(2, 2), &wsaData) != 0) {
        std::fprintf(stderr, "Error at WSAStartup()\n");
        return codes.nWinsock;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        std::fprintf(stderr, "Error at socket(): %ld\n", static_cast<long>(WSAGetLastError()));
        WSACleanup();
        return codes.nSocket;
    }
    DWORD dwTimeout = ExchangeTimeout();
    OpenExchangeSocket(s, pCancel != NULL);
    int nResult = 0;
    // A Cancel that came before the socket was known to it is seen here.
    if (pCancel && pCancel->load())
        nResult = codes.nCancelled;

    if (nResult == 0) {
        SOCKADDR_IN address;
        UpdateServerAddress(&address);
        bool bConnected;
        long nError;
        bool bTimedOut;
        {
            CConnectWatchdog watchdog(dwTimeout);
            bConnected = connect(s, reinterpret_cast<SOCKADDR *>(&address), sizeof address) != SOCKET_ERROR;
            nError = static_cast<long>(WSAGetLastError());
            bTimedOut = watchdog.Stop();
        }
        if (pCancel && pCancel->load()) {
            nResult = codes.nCancelled;
        } else if (bTimedOut) {
            std::fprintf(stderr, "Failed to connect: no answer within %lu ms\n", static_cast<unsigned long>(dwTimeout));
            nResult = codes.nTimedOut;
        } else if (!bConnected) {
            std::fprintf(stderr, "Failed to connect: %ld\n", nError);
            nResult = codes.nConnect;
        }
    }

    if (nResult == 0) {
        // A server that stops reading or answering ends the exchange after the time-out.
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&dwTimeout), sizeof dwTimeout);
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&dwTimeout), sizeof dwTimeout);
        // A request that does not go out is answered by a closed or failed connection below.
        SendAll(s, pszRequest, static_cast<int>(std::strlen(pszRequest)));
    }

    char buffer[RECEIVE_BUFFER_SIZE + 1];
    while (nResult == 0) {
        std::memset(buffer, 0, sizeof buffer);
        int cbReceived = recv(s, buffer, RECEIVE_BUFFER_SIZE, 0);
        int nError = cbReceived == SOCKET_ERROR ? WSAGetLastError() : 0;
        if (pCancel && pCancel->load()) {
            nResult = codes.nCancelled;
            break;
        }
        if (cbReceived < -1 || cbReceived > RECEIVE_BUFFER_SIZE) {
            std::fprintf(stderr, "Error on recv=%ld.\n", static_cast<long>(cbReceived));
            nResult = codes.nRecvCount;
            break;
        }
        if (cbReceived == -1 && nError == WSAETIMEDOUT) {
            std::fprintf(stderr, "No answer for %lu ms.\n", static_cast<unsigned long>(dwTimeout));
            nResult = codes.nTimedOut;
            break;
        }
        if (cbReceived == -1) {
            nResult = codes.nRecvFailed;
            break;
        }
        if (cbReceived == 0) {
            std::fprintf(stderr, "Connection closed.\n");
            break;
        }
        nResult = pfnChunk(pContext, buffer, cbReceived);
    }
    CloseExchangeSocket(false);
    WSACleanup();
    return nResult;
}

void CancelHttpExchange()
{
    CloseExchangeSocket(true);
}
