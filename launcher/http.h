// The HTTP exchange with the update server over a blocking Winsock TCP socket:
// one request, then every chunk of the response until the server closes the
// connection. A connect that takes longer than the time-out, and a response that
// falls silent for that long, end the exchange as a server that cannot be reached.
#ifndef TARNWICK_HTTP_H
#define TARNWICK_HTTP_H

#include <atomic>

#define RECEIVE_BUFFER_SIZE 1024
#define REQUEST_SIZE 2048
// Milliseconds a connect may take and a response may stay silent.
#define EXCHANGE_TIMEOUT_MS 30000
// TARNWICK_UPDATE_TIMEOUT=<milliseconds> sets another time-out (for tests and slow links).
#define EXCHANGE_TIMEOUT_VARIABLE "TARNWICK_UPDATE_TIMEOUT"

// The result codes of one kind of exchange (the check's or the download's).
struct HTTP_CODES {
    int nWinsock;      // WSAStartup failed
    int nSocket;       // no socket
    int nConnect;      // no connection
    int nRecvCount;    // a receive returned a count outside -1 to RECEIVE_BUFFER_SIZE
    int nRecvFailed;   // a receive failed
    int nCancelled;    // the cancel flag was found set after a receive
    int nTimedOut;     // the connect or a receive took longer than the time-out
};

// Receives each chunk; returns 0 to go on, or a code that ends the exchange.
typedef int (*PFN_CHUNK)(void *pContext, const char *pChunk, int cbChunk);

// Composes a request: the request line, then User-Agent, Host, Accept,
// Connection, X-App_Name and X-App_Version with the product name in lower case,
// a Range from nRangeFrom on when it is above 0, and the empty line. False when
// it does not fit in REQUEST_SIZE bytes.
bool FormatRequest(char *pszRequest, const char *pszRequestLine, const char *pszProductName,
                   const char *pszVersion, int nRangeFrom);

// Connects to the update server, sends the request and hands every chunk to the
// sink until the server closes the connection. When pCancel is given it is
// polled after every receive, and CancelHttpExchange ends the exchange at once.
// Returns 0 after a normal end, otherwise the code that ended the exchange.
int HttpExchange(const char *pszRequest, const HTTP_CODES &codes, const std::atomic<char> *pCancel,
                 PFN_CHUNK pfnChunk, void *pContext);

// From any thread, after the cancel flag was set: closes the socket of a running
// cancellable exchange, which wakes its blocked connect or receive.
void CancelHttpExchange();

#endif
