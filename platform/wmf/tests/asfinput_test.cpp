// The ASF input module against the stream server running as a real process.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <nserror.h>
#include <thread>
#include <twwmf/asfinput.h>

#include "asfclip.h"
#include "serverprocess.h"
#include "twrawserver.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

using Clock = std::chrono::steady_clock;
using twwmf::AsfInput;
using twwmf::AsfPacket;

twwmf::AsfInputSettings FastSettings()
{
    twwmf::AsfInputSettings s;
    s.connectTimeout = std::chrono::milliseconds(3000);
    s.silenceTimeout = std::chrono::milliseconds(1000);
    s.reconnectDelay = std::chrono::milliseconds(200);
    return s;
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Key(const std::vector<BYTE> &data)
{
    return twtest::Md5Hex(std::string(data.begin(), data.end()));
}

class AsfInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clipPath = m_dir.file("clip.asf");
        std::string error = wmftest::MakeClip(m_clipPath, {"--seconds", "3", "--gop", "10", "--title", "Input Clip"});
        ASSERT_EQ("", error);
        ASSERT_TRUE(wmftest::ReadClip(m_clipPath, m_clip, error)) << error;
        for (const auto &p : m_clip.packets)
            if (p.streamId == 1)
                m_trueKey[Key(std::vector<BYTE>(p.data.begin(), p.data.end()))] = p.key;
    }

    // Reads the whole stream; checks each packet against the clip as it goes.
    HRESULT ReadAll(AsfInput &in, std::vector<AsfPacket> &out, size_t limit = 100000)
    {
        AsfPacket p;
        HRESULT hr;
        while ((hr = in.ReadPacket(p)) == S_OK && out.size() < limit)
            out.push_back(p);
        return hr;
    }

    void ExpectOnDemand(const std::u16string &url, twwmf::AsfProtocol protocol)
    {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        AsfInput in(FastSettings());
        ASSERT_EQ(S_OK, in.Open(url));
        const twwmf::AsfHeaderInfo &h = in.Header();
        EXPECT_EQ(protocol, h.protocol);
        EXPECT_EQ(u"Input Clip", h.title);
        EXPECT_FALSE(h.broadcast);
        EXPECT_NEAR(3.0, h.duration / 1e7, 0.2);
        ASSERT_EQ(2u, h.streams.size());
        EXPECT_EQ(1, h.streams[0].number);
        EXPECT_EQ(WMMEDIATYPE_Video, h.streams[0].streamType);
        EXPECT_EQ(WMFORMAT_VideoInfo, h.streams[0].mediaType.formattype);
        EXPECT_EQ(2, h.streams[1].number);
        EXPECT_EQ(WMFORMAT_WaveFormatEx, h.streams[1].mediaType.formattype);
        std::vector<AsfPacket> packets;
        EXPECT_EQ(S_FALSE, ReadAll(in, packets));
        ASSERT_EQ(m_clip.packets.size(), packets.size());
        for (size_t i = 0; i < packets.size(); ++i) {
            const auto &want = m_clip.packets[i];
            EXPECT_EQ(want.streamId, packets[i].streamNumber);
            EXPECT_EQ(want.ptsMs * 10000, packets[i].time);
            EXPECT_EQ(want.key, packets[i].keyFrame) << i;
            EXPECT_EQ(want.data, std::vector<uint8_t>(packets[i].data.begin(), packets[i].data.end()));
        }
        EXPECT_TRUE(packets[0].discontinuity);
        EXPECT_FALSE(packets[5].discontinuity);
        twwmf::AsfStatistics stats = in.Statistics();
        EXPECT_GT(stats.receivedPackets, 0u);
        EXPECT_EQ(100u, stats.bufferingProgress);
        IWMProfile *profile = nullptr;
        ASSERT_EQ(S_OK, in.CreateProfile(&profile));
        DWORD count = 0;
        profile->GetStreamCount(&count);
        EXPECT_EQ(2u, count);
        profile->Release();
    }

    twtest::TempDir m_dir;
    std::string m_clipPath;
    wmftest::Clip m_clip;
    std::map<std::string, bool> m_trueKey; // video packet MD5 -> the clip's own key flag
};

std::u16string W(const std::string &s)
{
    return wmftest::Wide(s);
}

TEST_F(AsfInputTest, OnDemandClipOverEveryProtocolMatchesTheFile)
{
    ExpectOnDemand(W(m_clipPath), twwmf::AsfProtocol::File);
    ExpectOnDemand(W("file://" + m_clipPath), twwmf::AsfProtocol::File);
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    ExpectOnDemand(W(server.Base() + "/clip.asf"), twwmf::AsfProtocol::StreamingHttp);
    ExpectOnDemand(W(server.Base("mmsh") + "/clip.asf"), twwmf::AsfProtocol::StreamingHttp);
    // mms:// rolls over from MMS over TCP to the HTTP streaming protocol.
    ExpectOnDemand(W(server.Base("mms") + "/clip.asf"), twwmf::AsfProtocol::StreamingHttp);
    strsrvtest::StreamServerProcess plain(m_dir.path(), {"--plain"});
    ASSERT_TRUE(plain.Ok()) << plain.Log();
    ExpectOnDemand(W(plain.Base() + "/clip.asf"), twwmf::AsfProtocol::Http);
}

TEST_F(AsfInputTest, MemoryInputAndSeeking)
{
    std::string bytes = twtest::ReadFile(m_clipPath);
    AsfInput in;
    ASSERT_EQ(S_OK, in.OpenMemory(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
    EXPECT_TRUE(in.Header().seekable);
    std::vector<AsfPacket> packets;
    EXPECT_EQ(S_FALSE, ReadAll(in, packets));
    EXPECT_EQ(m_clip.packets.size(), packets.size());

    AsfInput file;
    ASSERT_EQ(S_OK, file.Open(W(m_clipPath)));
    ASSERT_EQ(S_OK, file.Seek(20000000));
    AsfPacket p;
    do {
        ASSERT_EQ(S_OK, file.ReadPacket(p));
    } while (p.streamNumber != 1);
    EXPECT_TRUE(p.keyFrame);
    EXPECT_TRUE(p.discontinuity);
    EXPECT_GE(p.time, 10000000);
    EXPECT_LE(p.time, 20000000);
}

TEST_F(AsfInputTest, LiveBroadcastHasNoDurationAndMarksOnlyTrueKeyFrames)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--all-key"});
    ASSERT_TRUE(server.Ok()) << server.Log();

    // The server's fault is real: libavformat sees every video packet flagged.
    AVFormatContext *fmt = nullptr;
    ASSERT_EQ(0, avformat_open_input(&fmt, (server.Base("mmsh") + "/live").c_str(), nullptr, nullptr));
    AVPacket *raw = av_packet_alloc();
    int flagged = 0, video = 0;
    while (video < 30 && av_read_frame(fmt, raw) >= 0) {
        if (fmt->streams[raw->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++video;
            flagged += (raw->flags & AV_PKT_FLAG_KEY) != 0;
        }
        av_packet_unref(raw);
    }
    av_packet_free(&raw);
    avformat_close_input(&fmt);
    EXPECT_EQ(30, video);
    EXPECT_EQ(video, flagged);

    for (const char *scheme : {"http", "mmsh"}) {
        SCOPED_TRACE(scheme);
        AsfInput in(FastSettings());
        ASSERT_EQ(S_OK, in.Open(W(server.Base(scheme) + "/live")));
        EXPECT_TRUE(in.Header().broadcast);
        EXPECT_EQ(0u, in.Header().duration);
        EXPECT_FALSE(in.Header().seekable);
        std::vector<AsfPacket> packets;
        auto start = Clock::now();
        AsfPacket p;
        int keys = 0, deltas = 0;
        std::map<WORD, LONGLONG> last;
        LONGLONG first = -1, buffered = -1;
        while (Since(start) < 4.5) {
            ASSERT_EQ(S_OK, in.ReadPacket(p));
            if (first < 0)
                first = p.time;
            if (buffered < 0 && !in.Statistics().buffering)
                buffered = p.time - first;
            if (last.count(p.streamNumber)) {
                EXPECT_GE(p.time, last[p.streamNumber]);
            }
            last[p.streamNumber] = p.time;
            if (p.streamNumber != 1)
                continue;
            auto truth = m_trueKey.find(Key(p.data));
            ASSERT_NE(m_trueKey.end(), truth);
            EXPECT_EQ(truth->second, p.keyFrame) << p.time;
            (p.keyFrame ? keys : deltas)++;
            if (keys + deltas == 1) {
                EXPECT_TRUE(p.keyFrame) << "a joining client starts at a key frame";
            }
        }
        // Paced in real time: about 4.5 s of a looped 3 s clip.
        EXPECT_GT(last[1], 30000000);
        EXPECT_LT(last[1], 70000000);
        EXPECT_GT(keys, 3);
        EXPECT_GT(deltas, 7 * keys);
        // A broadcast plays once a second of it is at hand, not its whole preroll
        // (3.1 s in this header), which would cost that much waiting.
        EXPECT_GT(in.Header().preroll, 30000000u);
        EXPECT_GE(buffered, 10000000);
        EXPECT_LT(buffered, 12000000);
        twwmf::AsfStatistics stats = in.Statistics();
        EXPECT_GT(stats.bandwidth, 100000u);
        EXPECT_EQ(100u, stats.bufferingProgress);
    }
}

TEST_F(AsfInputTest, DroppedBroadcastReconnectsThreeTimesThenEnds)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--drop-after", "1.5"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    AsfInput in(FastSettings());
    ASSERT_EQ(S_OK, in.Open(W(server.Base("mmsh") + "/live")));
    auto start = Clock::now();
    std::vector<AsfPacket> packets;
    HRESULT hr = ReadAll(in, packets);
    EXPECT_EQ(NS_E_CONNECTION_FAILURE, hr);
    EXPECT_LT(Since(start), 15.0);
    twwmf::AsfStatistics stats = in.Statistics();
    EXPECT_EQ(3u, stats.reconnects);
    EXPECT_GT(stats.lostPackets, 0u);
    EXPECT_LT(stats.receptionQuality, 100u);
    // The timeline goes on across the reconnects, with a discontinuity at each.
    LONGLONG lastVideo = -1;
    int discontinuities = 0;
    for (const auto &p : packets) {
        if (p.streamNumber != 1)
            continue;
        EXPECT_GT(p.time, lastVideo);
        lastVideo = p.time;
        discontinuities += p.discontinuity;
    }
    EXPECT_EQ(4, discontinuities);
    EXPECT_GT(lastVideo, 45000000); // four connections of 1.5 s each
    EXPECT_EQ(in.ReadPacket(packets[0]), hr); // the end stays
}

TEST_F(AsfInputTest, StalledBroadcastEndsAfterTheSilenceTimeout)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--stall-after", "1"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twwmf::AsfInputSettings settings = FastSettings();
    settings.reconnectTries = 1;
    AsfInput in(settings);
    ASSERT_EQ(S_OK, in.Open(W(server.Base("mmsh") + "/live")));
    auto start = Clock::now();
    std::vector<AsfPacket> packets;
    EXPECT_EQ(NS_E_TIMEOUT, ReadAll(in, packets));
    EXPECT_GT(packets.size(), 10u);
    // Two connections, each stalling after 1 s and timed out 1 s later.
    EXPECT_LT(Since(start), 8.0);
    EXPECT_EQ(1u, in.Statistics().reconnects);
}

TEST_F(AsfInputTest, CancelFromAnotherThreadEndsABlockedRead)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--stall-after", "0.5"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twwmf::AsfInputSettings settings = FastSettings();
    settings.silenceTimeout = std::chrono::milliseconds(60000);
    AsfInput in(settings);
    ASSERT_EQ(S_OK, in.Open(W(server.Base("mmsh") + "/live")));
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        in.Cancel();
    });
    auto start = Clock::now();
    std::vector<AsfPacket> packets;
    EXPECT_EQ(E_ABORT, ReadAll(in, packets));
    EXPECT_LT(Since(start), 3.0);
    canceller.join();
    AsfPacket p;
    EXPECT_EQ(E_ABORT, in.ReadPacket(p));
}

TEST_F(AsfInputTest, FailuresReportTheirOwnHresultQuickly)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twtest::WriteFile(m_dir.file("page.html"), "<html><body>Not a stream</body></html>\n");
    twtest::WriteFile(m_dir.file("cut.asf"), twtest::ReadFile(m_clipPath).substr(0, 400));
    twtest::WriteFile(m_dir.file("short.asf"), twtest::ReadFile(m_clipPath).substr(0, 10));
    twtest::WriteFile(m_dir.file("nowhere.asx"), "<asx version=\"3.0\"><entry><ref href=\"" + server.Base() +
                                                     "/missing.asf\"/></entry><entry><ref href=\"http://127.0.0.1:1/x.asf\"/></entry></asx>");
    std::string refused;
    {
        twtest::CRefusingPort port;
        refused = "http://" + port.Address() + "/clip.asf";
        AsfInput in(FastSettings());
        auto start = Clock::now();
        EXPECT_EQ(NS_E_CANNOTCONNECT, in.Open(W(refused)));
        EXPECT_LT(Since(start), 2.0);
    }
    const std::pair<std::string, HRESULT> cases[] = {
        {"http://nonexistent-host.invalid/clip.asf", NS_E_SERVER_NOT_FOUND},
        {server.Base() + "/missing.asf", HTTP_E_STATUS_NOT_FOUND},
        {server.Base("mmsh") + "/missing.asf", HTTP_E_STATUS_NOT_FOUND},
        {server.Base() + "/page.html", NS_E_INVALID_INPUT_FORMAT},
        {m_dir.file("page.html"), NS_E_INVALID_INPUT_FORMAT},
        {server.Base() + "/cut.asf", NS_E_INVALID_DATA},
        {m_dir.file("cut.asf"), NS_E_INVALID_DATA},
        {m_dir.file("short.asf"), NS_E_INVALID_DATA},
        {m_dir.file("absent.asf"), NS_E_FILE_NOT_FOUND},
        {server.Base() + "/nowhere.asx", HTTP_E_STATUS_NOT_FOUND},
        {m_dir.file("nowhere.asx"), HTTP_E_STATUS_NOT_FOUND},
        {"gopher://127.0.0.1/x", NS_E_INVALID_NAME},
    };
    for (const auto &c : cases) {
        AsfInput in(FastSettings());
        auto start = Clock::now();
        EXPECT_EQ(c.second, in.Open(W(c.first))) << c.first;
        EXPECT_LT(Since(start), 2.5) << c.first;
    }
}

TEST_F(AsfInputTest, ConnectTimeoutAppliesToASilentServer)
{
    // The server stalls at once: no header ever arrives.
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--stall-after", "0"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twwmf::AsfInputSettings settings = FastSettings();
    settings.connectTimeout = std::chrono::milliseconds(800);
    AsfInput in(settings);
    auto start = Clock::now();
    EXPECT_EQ(NS_E_TIMEOUT, in.Open(W(server.Base() + "/clip.asf")));
    EXPECT_LT(Since(start), 2.5);
}

TEST_F(AsfInputTest, AsxMetafileOpensItsFirstWorkingEntryAndLendsItsTitle)
{
    std::string untitled = m_dir.file("untitled.asf");
    ASSERT_EQ("", wmftest::MakeClip(untitled, {"--seconds", "1"}));
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twtest::WriteFile(m_dir.file("list.asx"),
                      "\xEF\xBB\xBF<ASX version=\"3.0\">\r\n<!-- <ref href=\"x\"/> -->\r\n<Title>Tom &amp; Ann</Title>\r\n"
                      "<Entry><Ref HREF=\"/missing.asf\" /></Entry>\r\n<Entry><REF href='untitled.asf'/></Entry>\r\n</ASX>\r\n");
    for (const std::string &url : {server.Base() + "/list.asx", m_dir.file("list.asx")}) {
        AsfInput in(FastSettings());
        ASSERT_EQ(S_OK, in.Open(W(url))) << url;
        EXPECT_EQ(u"Tom & Ann", in.Header().title);
        EXPECT_NE(std::string::npos, in.Header().url.find("untitled.asf"));
    }
    // A stream with its own title keeps it.
    twtest::WriteFile(m_dir.file("titled.asx"), "<asx><title>Other</title><entry><ref href=\"clip.asf\"/></entry></asx>");
    AsfInput in(FastSettings());
    ASSERT_EQ(S_OK, in.Open(W(server.Base() + "/titled.asx")));
    EXPECT_EQ(u"Input Clip", in.Header().title);
}

} // namespace
