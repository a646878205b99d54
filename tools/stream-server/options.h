// Command line of stream-server.
#pragma once
#include <string>
#include <vector>

namespace strsrv {

struct AsxRequest {
    std::string file;   // where to write the metafile
    std::string target; // path on this server the entry points at ("/live")
};

struct Options {
    std::string root;          // directory served
    std::string address = "127.0.0.1";
    int port = 8080;           // 0 picks a free port
    std::string liveClip;      // file under root looped as the live broadcast at /live
    double dropAfter = -1;     // seconds after which a connection is closed (< 0: never)
    double stallAfter = -1;    // seconds after which a connection stops sending (< 0: never)
    double rateKbps = 0;       // sending rate cap per connection (0 = none)
    bool allKey = false;       // live: flag every video packet as a key frame
    bool plain = false;        // answer as an ordinary web server only, never with framing
    std::vector<AsxRequest> asx;
};

extern const char kUsage[];

// Parses argv; false with a message for a bad command line, help set for --help.
bool ParseOptions(int argc, char **argv, Options &options, bool &help, std::string &error);

} // namespace strsrv
