// One client connection: reads the request and answers it as a web server
// (files with Range) or with the Windows Media HTTP streaming framing.
#pragma once
#include <atomic>
#include <string>

#include "asffile.h"
#include "broadcast.h"
#include "options.h"

namespace strsrv {

struct Server {
    Options options;
    Broadcast *broadcast = nullptr; // null without --live
    std::atomic<bool> stopping{false};
};

// Serves the connection on socket fd until it ends; closes nothing.
void ServeConnection(Server &server, int fd);

} // namespace strsrv
