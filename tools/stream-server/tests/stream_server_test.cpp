// The stream server as a real process, read by FFmpeg, GStreamer and raw sockets.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "serverprocess.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Fetch {
    std::string head;
    std::string body;
    bool closed = false;    // the server ended the connection
    double seconds = 0;     // until the end or the time limit
};

// Sends a request and reads the answer until the server closes or `limitMs` passes.
Fetch Get(int port, const std::string &request, int limitMs)
{
    Fetch f;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto start = Clock::now();
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        std::string all;
        for (;;) {
            int left = limitMs - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
            pollfd p{fd, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                break;
            char buf[65536];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                f.closed = true;
                break;
            }
            all.append(buf, static_cast<size_t>(n));
        }
        size_t end = all.find("\r\n\r\n");
        f.head = all.substr(0, end);
        f.body = end == std::string::npos ? std::string() : all.substr(end + 4);
    }
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(fd);
    return f;
}

std::string Request(const std::string &path, const std::string &extra = "")
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

const char kPlayerPragmas[] = "User-Agent: NSPlayer/9.0.0.2980\r\nPragma: xClientGUID={3300AD50-2C39-46c0-AE0A-2A4F6A8E3F11}\r\n";

class StreamServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string out = twtest::RunProcess({twtest::BinPath("clipmaker"), "--out", m_dir.file("clip.asf"), "--seconds",
                                              "4", "--title", "Server Clip"})
                              .output;
        ASSERT_TRUE(twtest::FileExists(m_dir.file("clip.asf"))) << out;
    }
    twtest::ProcessResult Probe(const std::string &url)
    {
        return twtest::RunProcess({"/usr/bin/timeout", "30", "/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                   "format=duration:format_tags=title:stream=codec_name", "-of", "compact", url});
    }
    twtest::TempDir m_dir;
};

TEST_F(StreamServerTest, FfprobeReadsTheClipOverPlainHttpAndTheStreamingProtocol)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    for (const char *scheme : {"http", "mmsh"}) {
        twtest::ProcessResult r = Probe(server.Base(scheme) + "/clip.asf");
        EXPECT_EQ(0, r.exitCode) << scheme << ": " << r.output;
        EXPECT_NE(std::string::npos, r.output.find("codec_name=wmv2")) << r.output;
        EXPECT_NE(std::string::npos, r.output.find("codec_name=wmav2")) << r.output;
        EXPECT_NE(std::string::npos, r.output.find("tag:title=Server Clip")) << r.output;
        EXPECT_NE(std::string::npos, r.output.find("duration=4.")) << scheme << ": " << r.output;
    }
}

TEST_F(StreamServerTest, LiveBroadcastHasNoDurationAndReadsWithFfmpegAndGstreamer)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twtest::ProcessResult probe = Probe(server.Base("mmsh") + "/live");
    EXPECT_EQ(0, probe.exitCode) << probe.output;
    EXPECT_NE(std::string::npos, probe.output.find("duration=N/A")) << probe.output;
    EXPECT_NE(std::string::npos, probe.output.find("codec_name=wmv2")) << probe.output;

    // Six seconds of a four-second clip: the loop continues the timeline.
    twtest::ProcessResult decode = twtest::RunProcess({"/usr/bin/timeout", "40", "/usr/bin/ffmpeg", "-nostdin", "-v",
                                                       "error", "-i", server.Base("mmsh") + "/live", "-t", "6",
                                                       "-map", "0:v", "-f", "framemd5", "-"});
    EXPECT_EQ(0, decode.exitCode) << decode.output;
    size_t frames = 0;
    for (size_t pos = 0; (pos = decode.output.find("\n0,", pos)) != std::string::npos; ++pos)
        ++frames;
    EXPECT_GE(frames, 140u) << decode.output.substr(0, 2000);

    // A capture of the broadcast as a web client receives it.
    Fetch capture = Get(server.Port(), Request("/live"), 3000);
    EXPECT_NE(std::string::npos, capture.head.find(" 200 ")) << capture.head;
    EXPECT_GT(capture.body.size(), 50000u);
    std::string path = m_dir.file("capture.asf");
    twtest::WriteFile(path, capture.body);
    twtest::ProcessResult gst = twtest::RunProcess(
        {"/usr/bin/timeout", "30", "/usr/bin/gst-launch-1.0", "-q", "filesrc", "location=" + path, "!", "asfdemux",
         "name=d", "d.", "!", "queue", "!", "fakesink", "d.", "!", "queue", "!", "fakesink"});
    EXPECT_EQ(0, gst.exitCode) << gst.output;
}

TEST_F(StreamServerTest, StreamingClientsGetFramedHeaderAndPackets)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    // The describe request: the header packet only.
    Fetch describe = Get(server.Port(), Request("/clip.asf", kPlayerPragmas), 5000);
    EXPECT_TRUE(describe.closed);
    EXPECT_NE(std::string::npos, describe.head.find("application/vnd.ms.wms-hdr.asfv1")) << describe.head;
    ASSERT_GT(describe.body.size(), 12u);
    EXPECT_EQ("$H", describe.body.substr(0, 2));
    size_t length = static_cast<uint8_t>(describe.body[2]) | static_cast<uint8_t>(describe.body[3]) << 8;
    EXPECT_EQ(describe.body.size(), 4 + length);

    // The play request of the live broadcast: header, then data packets.
    Fetch play = Get(server.Port(), Request("/live", std::string(kPlayerPragmas) + "Pragma: xPlayStrm=1\r\n"), 1500);
    EXPECT_NE(std::string::npos, play.head.find("application/x-mms-framed")) << play.head;
    EXPECT_NE(std::string::npos, play.head.find("broadcast")) << play.head;
    size_t pos = 0, data = 0;
    while (pos + 4 <= play.body.size()) {
        size_t len = static_cast<uint8_t>(play.body[pos + 2]) | static_cast<uint8_t>(play.body[pos + 3]) << 8;
        ASSERT_EQ('$', play.body[pos]);
        if (play.body[pos + 1] == 'D')
            ++data;
        pos += 4 + len;
    }
    EXPECT_GT(data, 10u);
}

TEST_F(StreamServerTest, PlainHttpAnswersRangesAndErrors)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    std::string file = twtest::ReadFile(m_dir.file("clip.asf"));
    Fetch whole = Get(server.Port(), Request("/clip.asf"), 5000);
    EXPECT_EQ(file, whole.body);
    Fetch part = Get(server.Port(), Request("/clip.asf", "Range: bytes=100-199\r\n"), 5000);
    EXPECT_NE(std::string::npos, part.head.find(" 206 ")) << part.head;
    EXPECT_NE(std::string::npos, part.head.find("Content-Range: bytes 100-199/" + std::to_string(file.size())));
    EXPECT_EQ(file.substr(100, 100), part.body);
    EXPECT_NE(std::string::npos, Get(server.Port(), Request("/clip.asf", "Range: bytes=99999999-\r\n"), 5000).head.find(" 416 "));
    EXPECT_NE(std::string::npos, Get(server.Port(), Request("/missing.asf"), 5000).head.find(" 404 "));
    EXPECT_NE(std::string::npos, Get(server.Port(), Request("/../etc/passwd"), 5000).head.find(" 400 "));
    EXPECT_NE(std::string::npos, Get(server.Port(), Request("/live"), 5000).head.find(" 404 "));
}

TEST_F(StreamServerTest, FaultOptionsDropStallAndLimitTheRate)
{
    {
        strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--drop-after", "1"});
        ASSERT_TRUE(server.Ok()) << server.Log();
        Fetch f = Get(server.Port(), Request("/live"), 6000);
        EXPECT_TRUE(f.closed);
        EXPECT_GT(f.body.size(), 0u);
        EXPECT_LT(f.seconds, 3.0);
    }
    {
        strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--stall-after", "1"});
        ASSERT_TRUE(server.Ok()) << server.Log();
        Fetch f = Get(server.Port(), Request("/live"), 3000);
        EXPECT_FALSE(f.closed); // still open, silent
        EXPECT_GT(f.body.size(), 0u);
    }
    {
        // 400 kbit/s: 100 kB take at least two seconds.
        strsrvtest::StreamServerProcess server(m_dir.path(), {"--rate", "400"});
        ASSERT_TRUE(server.Ok()) << server.Log();
        Fetch f = Get(server.Port(), Request("/clip.asf", "Range: bytes=0-99999\r\n"), 10000);
        EXPECT_EQ(100000u, f.body.size());
        EXPECT_GE(f.seconds, 1.9);
    }
}

TEST_F(StreamServerTest, WritesAnAsxPointingAtTheStream)
{
    std::string asx = m_dir.file("live.asx");
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--asx", asx + "=/live"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    std::string text = twtest::ReadFile(asx);
    EXPECT_NE(std::string::npos, text.find("<ASX")) << text;
    EXPECT_NE(std::string::npos, text.find("HREF=\"" + server.Base() + "/live\"")) << text;
}

TEST_F(StreamServerTest, BadCommandLinesAreRefused)
{
    EXPECT_EQ(2, twtest::RunProcess({twtest::BinPath("stream-server")}).exitCode);
    EXPECT_EQ(2, twtest::RunProcess({twtest::BinPath("stream-server"), "--root", m_dir.path(), "--rate", "x"}).exitCode);
    twtest::ProcessResult live =
        twtest::RunProcess({twtest::BinPath("stream-server"), "--root", m_dir.path(), "--live", "missing.asf"});
    EXPECT_EQ(1, live.exitCode);
    EXPECT_NE(std::string::npos, live.output.find("missing.asf")) << live.output;
}

} // namespace
