#include "options.h"

#include <cstdlib>

namespace strsrv {

const char kUsage[] =
    "usage: stream-server --root DIR [options]\n"
    "Serves DIR over plain HTTP (with Range) and over the Windows Media HTTP streaming\n"
    "protocol (clients that send its Pragma headers), on demand and as a live broadcast.\n"
    "  --root DIR          directory to serve\n"
    "  --listen ADDR:PORT  address to listen on (default 127.0.0.1:8080); with port 0 a\n"
    "                      free port is picked; the port is printed on the first line\n"
    "  --live FILE         ASF clip under DIR looped as a live broadcast at /live\n"
    "  --drop-after S      close every connection S seconds after it started\n"
    "  --stall-after S     stop sending S seconds after a connection started, keep it open\n"
    "  --rate KBPS         send at most KBPS kilobits per second on each connection\n"
    "  --all-key           flag every video packet of the live broadcast as a key frame\n"
    "  --plain             answer as an ordinary web server only (no streaming framing)\n"
    "  --asx FILE=PATH     write an ASX metafile FILE whose entry points at PATH here\n"
    "  --help              this text\n";

namespace {

bool Number(const std::string &text, double &out)
{
    char *end = nullptr;
    out = strtod(text.c_str(), &end);
    return !text.empty() && *end == 0 && out >= 0 && out < 1e7;
}

} // namespace

bool ParseOptions(int argc, char **argv, Options &o, bool &help, std::string &error)
{
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string v;
        auto value = [&]() {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            v = argv[++i];
            return true;
        };
        if (arg == "--help") {
            help = true;
            return true;
        } else if (arg == "--all-key") {
            o.allKey = true;
        } else if (arg == "--plain") {
            o.plain = true;
        } else if (!value()) {
            if (error.empty())
                error = "unknown option " + arg;
            return false;
        } else if (arg == "--root") {
            o.root = v;
        } else if (arg == "--live") {
            o.liveClip = v;
        } else if (arg == "--listen") {
            size_t colon = v.rfind(':');
            char *end = nullptr;
            long port = colon == std::string::npos ? -1 : strtol(v.c_str() + colon + 1, &end, 10);
            if (colon == std::string::npos || colon + 1 == v.size() || *end || port < 0 || port > 65535) {
                error = "--listen takes ADDR:PORT, not " + v;
                return false;
            }
            o.address = v.substr(0, colon);
            o.port = static_cast<int>(port);
        } else if (arg == "--drop-after" || arg == "--stall-after" || arg == "--rate") {
            double n;
            if (!Number(v, n)) {
                error = arg + " takes a non-negative number, not " + v;
                return false;
            }
            (arg == "--drop-after" ? o.dropAfter : arg == "--stall-after" ? o.stallAfter : o.rateKbps) = n;
        } else if (arg == "--asx") {
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size() || v[eq + 1] != '/') {
                error = "--asx takes FILE=/PATH, not " + v;
                return false;
            }
            o.asx.push_back({v.substr(0, eq), v.substr(eq + 1)});
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (o.root.empty()) {
        error = "--root is required";
        return false;
    }
    return true;
}

} // namespace strsrv
