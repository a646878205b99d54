#include "http.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    SOCKADDR_IN address;
    UpdateServerAddress(&address);
    if (connect(s, reinterpret_cast<SOCKADDR *>(&address), sizeof address) == SOCKET_ERROR) {
        std::fprintf(stderr, "Failed to connect: %ld\n", static_cast<long>(WSAGetLastError()));
        closesocket(s);
        WSACleanup();
        return codes.nConnect;
    }

    int nResult = 0;
    // A request that does not go out is answered by a closed or failed connection below.
    SendAll(s, pszRequest, static_cast<int>(std::strlen(pszRequest)));

    char buffer[RECEIVE_BUFFER_SIZE + 1];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        int cbReceived = recv(s, buffer, RECEIVE_BUFFER_SIZE, 0);
        if (pCancel && pCancel->load()) {
            nResult = codes.nCancelled;
            break;
        }
        if (cbReceived < -1 || cbReceived > RECEIVE_BUFFER_SIZE) {
            std::fprintf(stderr, "Error on recv=%ld.\n", static_cast<long>(cbReceived));
            nResult = codes.nRecvCount;
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
        if (nResult != 0)
            break;
    }
    closesocket(s);
    WSACleanup();
    return nResult;
}
