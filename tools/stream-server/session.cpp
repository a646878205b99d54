#include "session.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include "sender.h"

namespace strsrv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxRequest = 16384;
constexpr int kRequestTimeoutMs = 10000;
// An on-demand stream is sent this far ahead of real time, so that a player
// fills its buffer at once (the rest follows at the clip's own pace).
constexpr uint32_t kOnDemandLeadMs = 3000;

struct Request {
    std::string method;
    std::string path;
    std::string head; // the header lines, lower-cased names kept as sent
    std::string Header(const std::string &name) const;
    std::string Pragmas() const; // every Pragma header's value, joined
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

std::string Request::Header(const std::string &name) const
{
    std::string all;
    std::string want = Lower(name) + ":";
    size_t pos = 0;
    while (pos < head.size()) {
        size_t end = head.find("\r\n", pos);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(pos, end - pos);
        if (Lower(line.substr(0, want.size())) == want) {
            size_t v = want.size();
            while (v < line.size() && line[v] == ' ')
                ++v;
            all += (all.empty() ? "" : ",") + line.substr(v);
        }
        pos = end + 2;
    }
    return all;
}

std::string Request::Pragmas() const
{
    return Header("Pragma");
}

bool ReadRequest(int fd, Request &req)
{
    std::string data;
    auto deadline = Clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    while (data.find("\r\n\r\n") == std::string::npos) {
        if (data.size() > kMaxRequest)
            return false;
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0)
            return false;
        char buf[2048];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        data.append(buf, static_cast<size_t>(n));
    }
    size_t lineEnd = data.find("\r\n");
    std::string line = data.substr(0, lineEnd);
    size_t sp1 = line.find(' ');
    size_t sp2 = line.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos)
        return false;
    req.method = line.substr(0, sp1);
    req.path = line.substr(sp1 + 1, sp2 - sp1 - 1);
    size_t q = req.path.find('?');
    if (q != std::string::npos)
        req.path.resize(q);
    req.head = data.substr(lineEnd + 2, data.find("\r\n\r\n") - lineEnd - 2);
    return true;
}

void SendStatus(Sender &out, int code, const char *reason)
{
    std::string body = "<html><head><title>" + std::to_string(code) + " " + reason + "</title></head><body><h1>" +
                       reason + "</h1></body></html>\n";
    out.Send("HTTP/1.0 " + std::to_string(code) + " " + reason +
             "\r\nServer: stream-server\r\nContent-Type: text/html\r\nContent-Length: " +
             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

std::string ContentType(const std::string &path)
{
    std::string ext = Lower(path.substr(path.rfind('.') == std::string::npos ? path.size() : path.rfind('.')));
    if (ext == ".asf" || ext == ".asx" || ext == ".wvx")
        return "video/x-ms-asf";
    if (ext == ".wmv")
        return "video/x-ms-wmv";
    if (ext == ".wma")
        return "audio/x-ms-wma";
    if (ext == ".wax")
        return "audio/x-ms-wax";
    if (ext == ".html" || ext == ".htm")
        return "text/html";
    if (ext == ".txt")
        return "text/plain";
    return "application/octet-stream";
}

bool IsStreamingClient(const Request &req)
{
    std::string pragma = Lower(req.Pragmas());
    std::string agent = Lower(req.Header("User-Agent"));
    return pragma.find("xclientguid") != std::string::npos || pragma.find("xplaystrm") != std::string::npos ||
           agent.rfind("nsplayer", 0) == 0;
}

bool IsPlayRequest(const Request &req)
{
    return Lower(req.Pragmas()).find("xplaystrm=1") != std::string::npos;
}

// The framing of the streaming protocol: '$', the packet type, the length of what
// follows, then for header and data packets the location id, incarnation,
// AF flags and the length once more.
std::string Frame(char type, const std::string &body, uint32_t location, uint8_t afFlags)
{
    std::string out;
    uint16_t length = static_cast<uint16_t>(body.size() + 8);
    out += '$';
    out += type;
    out += static_cast<char>(length & 0xFF);
    out += static_cast<char>(length >> 8);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((location >> (8 * i)) & 0xFF);
    out += '\0'; // incarnation
    out += static_cast<char>(afFlags);
    out += static_cast<char>(length & 0xFF);
    out += static_cast<char>(length >> 8);
    return out + body;
}

std::string EndFrame()
{
    // End of stream: four bytes of reason, 0 for the stream's normal end.
    return std::string("$E\x04\x00\x00\x00\x00\x00", 8);
}

std::string StreamingHead(bool play, bool live)
{
    std::string h = "HTTP/1.0 200 OK\r\nServer: stream-server\r\nCache-Control: no-cache\r\n"
                    "Pragma: no-cache\r\nPragma: client-id=1\r\n";
    if (live)
        h += "Pragma: features=\"broadcast\"\r\n";
    h += play ? "Content-Type: application/x-mms-framed\r\n" : "Content-Type: application/vnd.ms.wms-hdr.asfv1\r\n";
    return h + "Connection: close\r\n\r\n";
}

// The header chunk body as the framing carries it (header object + data head).
std::string HeaderFrame(const std::string &header)
{
    return Frame('H', header, 0, 0x0C);
}

void ServeLive(Server &server, Sender &out, const Request &req, bool framed)
{
    Broadcast &live = *server.broadcast;
    if (framed) {
        if (!out.Send(StreamingHead(IsPlayRequest(req), true) + HeaderFrame(live.Header())) || !IsPlayRequest(req))
            return;
    } else if (!out.Send("HTTP/1.0 200 OK\r\nServer: stream-server\r\nContent-Type: video/x-ms-asf\r\n"
                         "Connection: close\r\n\r\n" +
                         live.Header())) {
        return;
    }
    uint64_t index = live.JoinIndex();
    std::string packet;
    while (live.Packet(index, packet)) {
        if (!out.Send(framed ? Frame('D', packet, static_cast<uint32_t>(index), 0) : packet))
            return;
        ++index;
    }
}

uint32_t PragmaNumber(const Request &req, const std::string &key)
{
    std::string p = Lower(req.Pragmas());
    size_t pos = p.find(key + "=");
    return pos == std::string::npos ? 0 : static_cast<uint32_t>(strtoul(p.c_str() + pos + key.size() + 1, nullptr, 10));
}

// False when the file is not ASF that can be streamed (it is then served as a file).
bool ServeOnDemandFramed(Sender &out, const Request &req, const std::string &path)
{
    AsfFile file;
    std::string error;
    if (!LoadAsfFile(path, file, error))
        return false;
    bool play = IsPlayRequest(req);
    if (!out.Send(StreamingHead(play, false) + HeaderFrame(file.header)) || !play)
        return true;
    std::ifstream in(path, std::ios::binary);
    uint32_t startTime = PragmaNumber(req, "stream-time");
    size_t first = 0;
    while (first < file.sendTimes.size() && file.sendTimes[first] + kOnDemandLeadMs < startTime)
        ++first;
    const uint32_t base = first < file.sendTimes.size() ? file.sendTimes[first] : 0;
    std::string packet;
    for (size_t i = first; i < file.sendTimes.size(); ++i) {
        uint32_t offset = file.sendTimes[i] > base + kOnDemandLeadMs ? file.sendTimes[i] - base - kOnDemandLeadMs : 0;
        if (!out.WaitUntil(out.Start() + std::chrono::milliseconds(offset)))
            return true;
        if (!ReadAsfPacket(in, file, i, packet) || !out.Send(Frame('D', packet, static_cast<uint32_t>(i), 0)))
            return true;
    }
    out.Send(EndFrame());
    return true;
}

void ServeFile(Sender &out, const Request &req, const std::string &path, uint64_t size)
{
    uint64_t from = 0, to = size ? size - 1 : 0;
    bool partial = false;
    std::string range = req.Header("Range");
    if (!range.empty()) {
        unsigned long long a = 0, b = 0;
        int n = sscanf(range.c_str(), "bytes=%llu-%llu", &a, &b);
        if (n >= 1 && a < size && (n == 1 || (b >= a))) {
            from = a;
            to = n == 2 ? std::min<uint64_t>(b, size - 1) : size - 1;
            partial = true;
        } else {
            out.Send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(size) +
                     "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
    }
    uint64_t length = size ? to - from + 1 : 0;
    std::string head = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    head += "Server: stream-server\r\nContent-Type: " + ContentType(path) + "\r\nAccept-Ranges: bytes\r\n";
    if (partial)
        head += "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" + std::to_string(size) + "\r\n";
    head += "Content-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
    if (!out.Send(head) || req.method == "HEAD")
        return;
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::string buf(65536, '\0');
    while (length > 0 && in) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(length, buf.size()));
        in.read(&buf[0], static_cast<std::streamsize>(n));
        size_t got = static_cast<size_t>(in.gcount());
        if (got == 0 || !out.Send(buf.substr(0, got)))
            return;
        length -= got;
    }
}

bool IsAsfName(const std::string &path)
{
    std::string ext = Lower(path.substr(path.rfind('.') == std::string::npos ? path.size() : path.rfind('.')));
    return ext == ".asf" || ext == ".wmv" || ext == ".wma";
}

} // namespace

void ServeConnection(Server &server, int fd)
{
    timeval tv{60, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    Sender out(server, fd);
    Request req;
    if (!ReadRequest(fd, req))
        return;
    if (req.method != "GET" && req.method != "HEAD") {
        SendStatus(out, 405, "Method Not Allowed");
        return;
    }
    const bool framed = !server.options.plain && IsStreamingClient(req);
    if (req.path == "/live" || req.path.rfind("/live/", 0) == 0) {
        if (!server.broadcast)
            SendStatus(out, 404, "Not Found");
        else
            ServeLive(server, out, req, framed);
        return;
    }
    // Paths stay inside the root: no empty, "." or ".." segments.
    std::string rel = req.path;
    if (rel.empty() || rel[0] != '/' || rel.find("/..") != std::string::npos || rel.find("//") != std::string::npos ||
        rel.find('\\') != std::string::npos) {
        SendStatus(out, 400, "Bad Request");
        return;
    }
    std::string path = server.options.root + rel;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        SendStatus(out, 404, "Not Found");
        return;
    }
    if (!framed || !IsAsfName(path) || !ServeOnDemandFramed(out, req, path))
        ServeFile(out, req, path, static_cast<uint64_t>(st.st_size));
}

} // namespace strsrv
