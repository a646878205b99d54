// The writer and file sink: every packet of a clip copied through
// WriteStreamSample must come out of libavformat's reader unchanged.
#include <gtest/gtest.h>
#include <nserror.h>
#include <twtesting.h>
#include <wmsdk.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "asfclip.h"

extern "C" {
#include <libavformat/avformat.h>
}

using namespace wmftest;

namespace {

template <class T>
struct Ref {
    T *p = nullptr;
    ~Ref() { reset(); }
    void reset()
    {
        if (p)
            p->Release();
        p = nullptr;
    }
    T *operator->() const { return p; }
    T **operator&() { return &p; }
};

// A clip made once for the whole program, with its profile.
class WriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new twtest::TempDir();
        s_source = s_dir->file("source.asf");
        std::string made = MakeClip(s_source, {"--seconds", "4", "--size", "176x144", "--fps", "25", "--gop", "12",
                                               "--title", "Source clip"});
        ASSERT_EQ("", made);
        std::string error;
        s_clip = new Clip();
        ASSERT_TRUE(ReadClip(s_source, *s_clip, error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_clip;
        delete s_dir;
    }

    void SetUp() override
    {
        ASSERT_NE(nullptr, s_clip);
        ASSERT_EQ(S_OK, ProfileOfFile(s_source, &m_profile));
        ASSERT_EQ(S_OK, WMCreateWriter(nullptr, &m_writer));
        ASSERT_EQ(S_OK, m_writer->QueryInterface(IID_IWMWriterAdvanced, reinterpret_cast<void **>(&m_advanced)));
        ASSERT_EQ(S_OK, WMCreateWriterFileSink(&m_sink));
    }

    // Opens the sink on name, attaches it, sets the profile and pass-through inputs, begins.
    void Begin(const std::u16string &name)
    {
        ASSERT_EQ(S_OK, m_sink->Open(name.c_str()));
        ASSERT_EQ(S_OK, m_advanced->AddSink(m_sink.p));
        ASSERT_EQ(S_OK, m_writer->SetProfile(m_profile.p));
        DWORD inputs = 0;
        ASSERT_EQ(S_OK, m_writer->GetInputCount(&inputs));
        ASSERT_EQ(2u, inputs);
        for (DWORD i = 0; i < inputs; ++i)
            ASSERT_EQ(S_OK, m_writer->SetInputProps(i, nullptr));
        ASSERT_EQ(S_OK, m_writer->BeginWriting());
    }

    HRESULT Write(const ClipPacket &p)
    {
        INSSBuffer *buffer = nullptr;
        HRESULT hr = m_writer->AllocateSample(static_cast<DWORD>(p.data.size()), &buffer);
        if (FAILED(hr))
            return hr;
        BYTE *data = nullptr;
        buffer->GetBuffer(&data);
        if (!p.data.empty())
            memcpy(data, p.data.data(), p.data.size());
        buffer->SetLength(static_cast<DWORD>(p.data.size()));
        hr = m_advanced->WriteStreamSample(static_cast<WORD>(p.streamId), static_cast<QWORD>(p.ptsMs) * 10000, 0,
                                           static_cast<QWORD>(p.durationMs) * 10000, p.key ? WM_SF_CLEANPOINT : 0,
                                           buffer);
        buffer->Release();
        return hr;
    }

    static void ExpectSamePackets(const Clip &expected, const Clip &actual)
    {
        ASSERT_EQ("", StreamDifferences(expected, actual));
        for (size_t i = 0; i < expected.streams.size(); ++i) {
            const ClipStream &a = expected.streams[i];
            std::vector<ClipPacket> pa = StreamPackets(expected, a.id), pb = StreamPackets(actual, a.id);
            ASSERT_EQ(pa.size(), pb.size()) << "stream " << a.id;
            for (size_t k = 0; k < pa.size(); ++k) {
                EXPECT_EQ(pa[k].ptsMs, pb[k].ptsMs) << "stream " << a.id << " packet " << k;
                EXPECT_EQ(pa[k].key, pb[k].key) << "stream " << a.id << " packet " << k;
                ASSERT_EQ(pa[k].data, pb[k].data) << "stream " << a.id << " packet " << k;
            }
        }
    }

    static twtest::TempDir *s_dir;
    static std::string s_source;
    static Clip *s_clip;

    twtest::TempDir m_dir;
    Ref<IWMProfile> m_profile;
    Ref<IWMWriter> m_writer;
    Ref<IWMWriterAdvanced> m_advanced;
    Ref<IWMWriterFileSink> m_sink;
};

twtest::TempDir *WriterTest::s_dir = nullptr;
std::string WriterTest::s_source;
Clip *WriterTest::s_clip = nullptr;

TEST_F(WriterTest, CopiesEveryPacketUnchanged)
{
    ASSERT_GT(s_clip->packets.size(), 100u);
    // Header attributes as the recorder's writer wrapper reaches them.
    Ref<IWMHeaderInfo> header;
    ASSERT_EQ(S_OK, m_writer->QueryInterface(IID_IWMHeaderInfo, reinterpret_cast<void **>(&header)));
    Ref<IWMWriterAdvanced3> advanced3;
    ASSERT_EQ(S_OK, m_writer->QueryInterface(IID_IWMWriterAdvanced3, reinterpret_cast<void **>(&advanced3)));
    std::u16string title = u"Copied clip";
    ASSERT_EQ(S_OK, header->SetAttribute(0, g_wszWMTitle, WMT_TYPE_STRING,
                                         reinterpret_cast<const BYTE *>(title.c_str()),
                                         static_cast<WORD>((title.size() + 1) * 2)));

    // A Windows-style path: directory, backslash, name.
    Begin(Wide(m_dir.path() + "\\copy.asf"));
    for (const ClipPacket &p : s_clip->packets)
        ASSERT_EQ(S_OK, Write(p));
    ASSERT_EQ(S_OK, m_writer->Flush());
    ASSERT_EQ(S_OK, m_writer->EndWriting());
    ASSERT_EQ(S_OK, m_advanced->RemoveSink(m_sink.p));

    std::string out = m_dir.file("copy.asf");
    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(out, copy, error)) << error;
    ExpectSamePackets(*s_clip, copy);
    EXPECT_EQ("Copied clip", copy.title);
    EXPECT_GT(SimpleIndexEntries(out), 0);

    // Seeking by the index lands on a key frame of the video stream.
    AVFormatContext *fmt = nullptr;
    ASSERT_GE(avformat_open_input(&fmt, out.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(fmt, nullptr), 0);
    int video = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    ASSERT_GE(video, 0);
    ASSERT_GE(av_seek_frame(fmt, -1, 2 * AV_TIME_BASE, AVSEEK_FLAG_BACKWARD), 0);
    AVPacket *pkt = av_packet_alloc();
    bool found = false;
    while (!found && av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == video) {
            found = true;
            EXPECT_TRUE(pkt->flags & AV_PKT_FLAG_KEY);
            int64_t ms = av_rescale_q(pkt->pts, fmt->streams[video]->time_base, {1, 1000});
            EXPECT_GE(ms, 1000);
            EXPECT_LE(ms, 2100);
        }
        av_packet_unref(pkt);
    }
    EXPECT_TRUE(found);
    EXPECT_GT(avformat_index_get_entries_count(fmt->streams[video]), 0);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);

    // An independent reading by ffprobe: no errors, every packet counted.
    twtest::ProcessResult probe = twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-count_packets",
                                                      "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                                                      out});
    EXPECT_EQ(0, probe.exitCode);
    std::string expected;
    for (const ClipStream &s : s_clip->streams)
        expected += std::to_string(StreamPackets(*s_clip, s.id).size()) + "\n";
    EXPECT_EQ(expected, probe.output);
}

// Samples are routed by the profile's stream numbers; the file has the
// profile's streams in profile order, numbered from 1 by the muxer.
TEST_F(WriterTest, RoutesSamplesByProfileStreamNumber)
{
    Ref<IWMProfileManager> manager;
    ASSERT_EQ(S_OK, WMCreateProfileManager(&manager));
    Ref<IWMProfile> reordered;
    ASSERT_EQ(S_OK, manager->CreateEmptyProfile(WMT_VER_9_0, &reordered));
    // Audio first, as stream 7; video second, as stream 4.
    const WORD newNumber[2] = {4, 7};
    for (int i = 1; i >= 0; --i) {
        Ref<IWMStreamConfig> config;
        ASSERT_EQ(S_OK, m_profile->GetStream(static_cast<DWORD>(i), &config));
        ASSERT_EQ(S_OK, config->SetStreamNumber(newNumber[i]));
        ASSERT_EQ(S_OK, reordered->AddStream(config.p));
    }
    m_profile.reset();
    m_profile.p = reordered.p;
    reordered.p = nullptr;

    Begin(Wide(m_dir.file("reordered.asf")));
    const int videoId = s_clip->streams[0].id, audioId = s_clip->streams[1].id;
    for (ClipPacket p : s_clip->packets) {
        p.streamId = p.streamId == videoId ? newNumber[0] : newNumber[1];
        ASSERT_EQ(S_OK, Write(p));
    }
    ASSERT_EQ(S_OK, m_writer->EndWriting());

    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(m_dir.file("reordered.asf"), copy, error)) << error;
    ASSERT_EQ(2u, copy.streams.size());
    EXPECT_EQ(s_clip->streams[1].codecId, copy.streams[0].codecId);
    EXPECT_EQ(s_clip->streams[0].codecId, copy.streams[1].codecId);
    std::vector<ClipPacket> audioIn = StreamPackets(*s_clip, audioId), audioOut = StreamPackets(copy, copy.streams[0].id);
    std::vector<ClipPacket> videoIn = StreamPackets(*s_clip, videoId), videoOut = StreamPackets(copy, copy.streams[1].id);
    ASSERT_EQ(audioIn.size(), audioOut.size());
    ASSERT_EQ(videoIn.size(), videoOut.size());
    for (size_t k = 0; k < audioIn.size(); ++k)
        ASSERT_EQ(audioIn[k].data, audioOut[k].data);
    for (size_t k = 0; k < videoIn.size(); ++k)
        ASSERT_EQ(videoIn[k].data, videoOut[k].data);
}

TEST_F(WriterTest, ReleasingTheWriterWhileWritingFinishesTheFile)
{
    Begin(Wide(m_dir.file("dropped.asf")));
    for (const ClipPacket &p : s_clip->packets)
        ASSERT_EQ(S_OK, Write(p));
    m_advanced.reset();
    m_writer.reset();
    m_sink.reset();

    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(m_dir.file("dropped.asf"), copy, error)) << error;
    ExpectSamePackets(*s_clip, copy);
    EXPECT_GT(SimpleIndexEntries(m_dir.file("dropped.asf")), 0);
}

// A writer whose process dies never finishes its file: what it wrote must
// already be with the operating system, all but about the last second.
TEST_F(WriterTest, AnUnfinishedFileHoldsOnDiskWhatWasGivenASecondAgo)
{
    std::string path = m_dir.file("unfinished.asf");
    Begin(Wide(path));
    // Part of the clip, far less than the file's buffer holds, and faster than
    // real time: nothing makes it reach the disk but the writer's clock.
    const size_t given = s_clip->packets.size() / 2;
    int64_t lastMs = 0;
    for (size_t i = 0; i < given; ++i) {
        ASSERT_EQ(S_OK, Write(s_clip->packets[i]));
        lastMs = std::max<int64_t>(lastMs, s_clip->packets[i].ptsMs);
    }
    // A little over a second of wall time later, the next sample hands what
    // came before it to the operating system.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(S_OK, Write(s_clip->packets[given]));
    // The file as a killed process would leave it, before the writer ends.
    std::string copyPath = m_dir.file("as-killed.asf");
    std::filesystem::copy_file(path, copyPath);
    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(copyPath, copy, error)) << error;
    for (const ClipStream &stream : s_clip->streams) {
        // The muxer holds the latest samples while it interleaves the streams.
        size_t due = 0;
        for (size_t i = 0; i < given; ++i)
            if (s_clip->packets[i].streamId == stream.id && s_clip->packets[i].ptsMs + 1000 <= lastMs)
                ++due;
        ASSERT_GT(due, 10u);
        EXPECT_GE(StreamPackets(copy, stream.id).size(), due) << "stream " << stream.id;
    }
}

TEST_F(WriterTest, OpenInAMissingDirectoryFails)
{
    std::u16string name = Wide(m_dir.path() + "/no/such/dir/x.asf");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), m_sink->Open(name.c_str()));
    EXPECT_FALSE(twtest::FileExists(m_dir.path() + "/no"));
    EXPECT_EQ(E_POINTER, m_sink->Open(nullptr));
    EXPECT_TRUE(FAILED(m_sink->Open(u"")));
    // The writer will not begin with a sink that has no file.
    ASSERT_EQ(S_OK, m_advanced->AddSink(m_sink.p));
    ASSERT_EQ(S_OK, m_writer->SetProfile(m_profile.p));
    EXPECT_EQ(NS_E_NOT_CONFIGURED, m_writer->BeginWriting());
}

TEST_F(WriterTest, CallsOutOfOrderFail)
{
    // A packet with room before it on the time line.
    auto later = std::find_if(s_clip->packets.begin(), s_clip->packets.end(),
                              [](const ClipPacket &p) { return p.ptsMs > 10; });
    ASSERT_NE(s_clip->packets.end(), later);
    const ClipPacket &first = *later;
    // Nothing set up yet.
    EXPECT_EQ(NS_E_INVALID_REQUEST, Write(first));
    DWORD inputs = 0;
    EXPECT_EQ(NS_E_NOT_CONFIGURED, m_writer->GetInputCount(&inputs));
    EXPECT_EQ(NS_E_NOT_CONFIGURED, m_writer->BeginWriting());
    // A profile but no sink.
    ASSERT_EQ(S_OK, m_writer->SetProfile(m_profile.p));
    EXPECT_EQ(NS_E_NOT_CONFIGURED, m_writer->BeginWriting());
    EXPECT_EQ(NS_E_INVALID_REQUEST, Write(first));
    EXPECT_EQ(NS_E_INVALID_REQUEST, m_writer->EndWriting());
    EXPECT_EQ(NS_E_INVALID_REQUEST, m_writer->Flush());
    EXPECT_EQ(E_INVALIDARG, m_writer->SetInputProps(2, nullptr));

    Begin(Wide(m_dir.file("order.asf")));
    EXPECT_EQ(NS_E_INVALID_REQUEST, m_writer->SetProfile(m_profile.p));
    EXPECT_EQ(NS_E_INVALID_REQUEST, m_writer->BeginWriting());
    ASSERT_EQ(S_OK, Write(first));
    // A stream number the profile does not have.
    INSSBuffer *buffer = nullptr;
    ASSERT_EQ(S_OK, m_writer->AllocateSample(4, &buffer));
    EXPECT_EQ(NS_E_INVALID_STREAM, m_advanced->WriteStreamSample(9, 0, 0, 0, 0, buffer));
    // The same time again, and a slightly earlier one, go one millisecond on.
    EXPECT_EQ(S_OK, Write(first));
    ClipPacket earlier = first;
    earlier.ptsMs = first.ptsMs - 1;
    EXPECT_EQ(S_OK, Write(earlier));
    EXPECT_EQ(E_POINTER, m_advanced->WriteStreamSample(static_cast<WORD>(first.streamId), 0, 0, 0, 0, nullptr));
    ASSERT_EQ(S_OK, m_writer->EndWriting());
    EXPECT_EQ(NS_E_INVALID_REQUEST, m_advanced->WriteStreamSample(static_cast<WORD>(first.streamId),
                                                                  999999999, 0, 0, 0, buffer));
    buffer->Release();

    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(m_dir.file("order.asf"), copy, error)) << error;
    std::vector<ClipPacket> packets = StreamPackets(copy, first.streamId);
    ASSERT_EQ(3u, packets.size());
    EXPECT_EQ(first.ptsMs, packets[0].ptsMs);
    EXPECT_EQ(first.ptsMs + 1, packets[1].ptsMs);
    EXPECT_EQ(first.ptsMs + 2, packets[2].ptsMs);
    EXPECT_EQ(first.data, packets[1].data);
}

TEST_F(WriterTest, AStreamFarBehindTheOthersJoinsTheFileNearTheLatestTime)
{
    ASSERT_FALSE(s_clip->packets.empty());
    ClipPacket ahead = s_clip->packets.front();
    auto other = std::find_if(s_clip->packets.begin(), s_clip->packets.end(),
                              [&](const ClipPacket &p) { return p.streamId != ahead.streamId; });
    ASSERT_NE(s_clip->packets.end(), other);
    ClipPacket behind = *other;

    Begin(Wide(m_dir.file("lagging.asf")));
    // One stream runs 15 s ahead while the other gets nothing: the muxer lets go of
    // what it held once the gap passes its interleave delta, so a sample of the
    // other stream at its own time would land behind what is in the file.
    for (int second = 0; second <= 15; ++second) {
        ahead.ptsMs = second * 1000;
        ASSERT_EQ(S_OK, Write(ahead));
    }
    behind.ptsMs = 1000;
    EXPECT_EQ(S_OK, Write(behind));
    behind.ptsMs = 1040;
    EXPECT_EQ(S_OK, Write(behind));
    ASSERT_EQ(S_OK, m_writer->EndWriting());

    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(m_dir.file("lagging.asf"), copy, error)) << error;
    EXPECT_EQ(16u, StreamPackets(copy, ahead.streamId).size());
    std::vector<ClipPacket> late = StreamPackets(copy, behind.streamId);
    ASSERT_EQ(2u, late.size());
    EXPECT_EQ(15000, late[0].ptsMs);
    EXPECT_EQ(15040, late[1].ptsMs);
}

// Damaged and restarting sources: a clock that jumps ahead or back keeps every
// sample, and the file stays valid, as long as its content and no longer.
TEST_F(WriterTest, ClockJumpsKeepEverySampleOnAContinuousTimeLine)
{
    const std::string longClip = m_dir.file("long.asf");
    ASSERT_EQ("", MakeClip(longClip, {"--seconds", "14", "--size", "176x144", "--fps", "25", "--gop", "25"}));
    Clip source;
    std::string error;
    ASSERT_TRUE(ReadClip(longClip, source, error)) << error;
    const int video = source.streams[0].id, audio = source.streams[1].id;
    ASSERT_TRUE(source.streams[0].isVideo);
    const size_t videoCount = StreamPackets(source, video).size(), audioCount = StreamPackets(source, audio).size();
    ASSERT_GT(videoCount, 300u);

    // Both streams start again 12 s back from the middle of the file on.
    Clip loop = source;
    for (size_t i = loop.packets.size() / 2; i < loop.packets.size(); ++i)
        loop.packets[i].ptsMs -= 12000;

    struct Case {
        const char *name;
        Clip clip;
    } cases[] = {
        {"one video packet 60 s ahead", ShiftStream(source, video, 100, 60000, 1)},
        {"audio 10 s back from the middle on", ShiftStream(source, audio, audioCount / 2, -10000)},
        {"video 10 s back from the middle on", ShiftStream(source, video, videoCount / 2, -10000)},
        {"one video packet 10 s back", ShiftStream(source, video, 200, -10000, 1)},
        {"a looping source", loop},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.reset();
        ASSERT_EQ(S_OK, WMCreateWriterFileSink(&m_sink));
        std::string out = m_dir.file(std::string(c.name) + ".asf");
        Begin(Wide(out));
        for (const ClipPacket &p : c.clip.packets)
            ASSERT_EQ(S_OK, Write(p));
        ASSERT_EQ(S_OK, m_writer->EndWriting());
        ASSERT_EQ(S_OK, m_advanced->RemoveSink(m_sink.p));

        Clip copy;
        ASSERT_TRUE(ReadClip(out, copy, error)) << error;
        for (int id : {video, audio}) {
            std::vector<ClipPacket> in = StreamPackets(source, id), got = StreamPackets(copy, id);
            ASSERT_EQ(in.size(), got.size()) << "stream " << id;
            for (size_t k = 0; k < in.size(); ++k) {
                ASSERT_EQ(in[k].data, got[k].data) << "stream " << id << " packet " << k;
                if (k) {
                    ASSERT_GT(got[k].ptsMs, got[k - 1].ptsMs) << "stream " << id << " packet " << k;
                }
            }
        }
        FileReading reading = ReadWithOtherReaders(out, 2);
        EXPECT_EQ("", reading.problems);
        EXPECT_EQ(std::vector<long>({static_cast<long>(videoCount), static_cast<long>(audioCount)}), reading.packets);
        double content = ContentSeconds(source);
        EXPECT_NEAR(content, reading.seconds, 1.0);
        // One entry a second of the file, its preroll included.
        EXPECT_GT(reading.indexEntries, 0);
        EXPECT_LE(reading.indexEntries, content + 5);
    }

    // The streams of the looping source stay in step across the restart.
    Clip copy;
    ASSERT_TRUE(ReadClip(m_dir.file("a looping source.asf"), copy, error)) << error;
    ASSERT_EQ(source.packets.size(), copy.packets.size());
    for (size_t i = 0; i < source.packets.size(); ++i)
        EXPECT_NEAR(source.packets[i].ptsMs, copy.packets[i].ptsMs, 100) << "packet " << i;
}

// The header's maximum bit rate covers every stream: the rates the profile
// states, and for a video stream whose rate it does not know (as libavformat
// reads files without per-stream rates), the rate the stream had in the file.
TEST_F(WriterTest, HeaderMaximumBitRateIsTheSumOfTheStreams)
{
    const int video = s_clip->streams[0].id;
    ASSERT_TRUE(s_clip->streams[0].isVideo);
    Ref<IWMStreamConfig> audioConfig;
    ASSERT_EQ(S_OK, m_profile->GetStream(1, &audioConfig));
    DWORD audioRate = 0;
    ASSERT_EQ(S_OK, audioConfig->GetBitrate(&audioRate));
    ASSERT_GT(audioRate, 0u);

    // The rate of the clip's video: its bytes over the span of its times.
    std::vector<ClipPacket> packets = StreamPackets(*s_clip, video);
    uint64_t bytes = 0;
    for (size_t k = 0; k + 1 < packets.size(); ++k)
        bytes += packets[k].data.size();
    const double videoRate = bytes * 8000.0 / (packets.back().ptsMs - packets.front().ptsMs);

    Begin(Wide(m_dir.file("measured.asf")));
    for (const ClipPacket &p : s_clip->packets)
        ASSERT_EQ(S_OK, Write(p));
    ASSERT_EQ(S_OK, m_writer->EndWriting());
    ASSERT_EQ(S_OK, m_advanced->RemoveSink(m_sink.p));
    EXPECT_NEAR(audioRate + videoRate, HeaderMaxBitRate(m_dir.file("measured.asf")), 0.01 * videoRate);

    // A stated rate is taken as it stands.
    Ref<IWMStreamConfig> videoConfig;
    ASSERT_EQ(S_OK, m_profile->GetStream(0, &videoConfig));
    ASSERT_EQ(S_OK, videoConfig->SetBitrate(300000));
    ASSERT_EQ(S_OK, m_profile->ReconfigStream(videoConfig.p));
    m_sink.reset();
    ASSERT_EQ(S_OK, WMCreateWriterFileSink(&m_sink));
    Begin(Wide(m_dir.file("stated.asf")));
    for (const ClipPacket &p : s_clip->packets)
        ASSERT_EQ(S_OK, Write(p));
    ASSERT_EQ(S_OK, m_writer->EndWriting());
    EXPECT_EQ(300000 + static_cast<long>(audioRate), HeaderMaxBitRate(m_dir.file("stated.asf")));
}

TEST_F(WriterTest, SampleBuffersKeepTheirLimits)
{
    INSSBuffer *buffer = nullptr;
    ASSERT_EQ(S_OK, m_writer->AllocateSample(100, &buffer));
    DWORD length = 0, max = 0;
    BYTE *data = nullptr;
    EXPECT_EQ(S_OK, buffer->GetMaxLength(&max));
    EXPECT_EQ(100u, max);
    EXPECT_EQ(S_OK, buffer->SetLength(40));
    EXPECT_EQ(E_INVALIDARG, buffer->SetLength(101));
    EXPECT_EQ(S_OK, buffer->GetBufferAndLength(&data, &length));
    EXPECT_NE(nullptr, data);
    EXPECT_EQ(40u, length);
    buffer->Release();
}

// Two streaming threads (serialised by the caller, as the filter's receive lock
// does) write while a control thread ends the writing.
TEST_F(WriterTest, EndWritingFromAnotherThreadWhileSamplesArrive)
{
    Begin(Wide(m_dir.file("threads.asf")));
    std::mutex receiveLock;
    std::atomic<int> written{0};
    auto stream = [&](int id) {
        for (const ClipPacket &p : StreamPackets(*s_clip, id)) {
            std::lock_guard<std::mutex> guard(receiveLock);
            HRESULT hr = Write(p);
            if (hr == S_OK)
                ++written;
            else
                EXPECT_EQ(NS_E_INVALID_REQUEST, hr);
        }
    };
    std::thread video(stream, s_clip->streams[0].id);
    std::thread audio(stream, s_clip->streams[1].id);
    while (written < 50)
        std::this_thread::yield();
    EXPECT_EQ(S_OK, m_writer->EndWriting());
    video.join();
    audio.join();

    Clip copy;
    std::string error;
    ASSERT_TRUE(ReadClip(m_dir.file("threads.asf"), copy, error)) << error;
    EXPECT_GE(copy.packets.size(), 50u);
    EXPECT_LE(copy.packets.size(), static_cast<size_t>(written.load()));
}

} // namespace
