// A real WMV2 + WMA clip fed through both pins, each from its own thread, into a
// recording that FFmpeg and GStreamer read back: packets identical to the source
// from the key frame on, audio interleaved by time.
#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <twgui/testing.h>
#include <twtesting.h>

#include "asfclip.h"
#include "harness.h"

using namespace kestrintest;

namespace {

const int64_t kNone = LLONG_MAX;

// Paces two streaming threads as live delivery does: a video sample waits until
// the audio older than it has been delivered; audio runs at most a second ahead.
class Pacer {
public:
    void Reset(int64_t videoNext, int64_t audioNext)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_videoNext = videoNext;
        m_audioNext = audioNext;
    }
    void WaitVideo(int64_t t)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_cv.wait(hold, [&] { return m_audioNext >= t; });
    }
    void WaitAudio(int64_t t)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_cv.wait(hold, [&] { return m_videoNext == kNone || m_videoNext >= t - 1000; });
    }
    void VideoNext(int64_t t) { Set(m_videoNext, t); }
    void AudioNext(int64_t t) { Set(m_audioNext, t); }

private:
    void Set(int64_t &field, int64_t t)
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            field = t;
        }
        m_cv.notify_all();
    }
    std::mutex m_lock;
    std::condition_variable m_cv;
    int64_t m_videoNext = kNone, m_audioNext = kNone;
};

class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        twgui::test::SetMessageBoxResponder([](const twgui::test::MessageBoxInfo &) { return IDOK; });
        twgui::test::TakeMessageBoxes();
        ASSERT_FALSE(TestClip().empty());
        std::string error;
        ASSERT_TRUE(wmftest::ReadClip(TestClip(), source, error)) << error;
        for (const wmftest::ClipStream &s : source.streams)
            (s.isVideo ? videoId : audioId) = s.id;
        ASSERT_NE(0, videoId);
        ASSERT_NE(0, audioId);
        ASSERT_EQ(S_OK, ProfileOfFile(TestClip(), &profile));
    }
    void TearDown() override
    {
        if (profile)
            profile->Release();
        twgui::test::SetMessageBoxResponder(nullptr);
        CoUninitialize();
    }

    // Feeds the source packets with from <= pts < to (ms), video and audio each
    // from a thread of its own.
    void Feed(Rig &rig, int64_t from, int64_t to)
    {
        std::vector<const wmftest::ClipPacket *> video, audio;
        for (const wmftest::ClipPacket &p : source.packets) {
            if (p.ptsMs < from || p.ptsMs >= to)
                continue;
            (p.streamId == videoId ? video : audio).push_back(&p);
        }
        Pacer pacer;
        pacer.Reset(video.empty() ? kNone : video[0]->ptsMs, audio.empty() ? kNone : audio[0]->ptsMs);
        auto run = [&](IMemInputPin *pin, const std::vector<const wmftest::ClipPacket *> &packets, bool isVideo) {
            SampleSource samples;
            for (size_t i = 0; i < packets.size(); i++) {
                const wmftest::ClipPacket &p = *packets[i];
                isVideo ? pacer.WaitVideo(p.ptsMs) : pacer.WaitAudio(p.ptsMs);
                EXPECT_EQ(S_OK, samples.Deliver(pin, p.data.data(), p.data.size(), p.ptsMs * 10000,
                                                isVideo ? p.key : true));
                int64_t next = i + 1 < packets.size() ? packets[i + 1]->ptsMs : kNone;
                isVideo ? pacer.VideoNext(next) : pacer.AudioNext(next);
            }
        };
        std::thread videoThread(run, rig.videoInput, std::cref(video), true);
        std::thread audioThread(run, rig.audioInput, std::cref(audio), false);
        videoThread.join();
        audioThread.join();
    }

    // Feeds every packet of the clip in file order, as one source thread would.
    void FeedInOrder(Rig &rig, const wmftest::Clip &clip)
    {
        SampleSource samples;
        for (const wmftest::ClipPacket &p : clip.packets) {
            bool isVideo = p.streamId == videoId;
            EXPECT_EQ(S_OK, samples.Deliver(isVideo ? rig.videoInput : rig.audioInput, p.data.data(), p.data.size(),
                                            p.ptsMs * 10000, isVideo ? p.key : true));
        }
    }

    std::vector<const wmftest::ClipPacket *> SourcePackets(int id, int64_t from, int64_t to)
    {
        std::vector<const wmftest::ClipPacket *> out;
        for (const wmftest::ClipPacket &p : source.packets)
            if (p.streamId == id && p.ptsMs >= from && p.ptsMs < to)
                out.push_back(&p);
        return out;
    }

    twtest::TempDir dir;
    wmftest::Clip source;
    int videoId = 0, audioId = 0;
    IWMProfile *profile = nullptr;
};

TEST_F(Recording, RealClipThroughBothPinsReadsBackIdentical)
{
    Rig rig;
    ASSERT_TRUE(rig.ok());
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    ASSERT_EQ(S_OK, rig.filter->Run(0));

    // Record from 2.4 s to 4.6 s of the clip; the key frame before 2.4 s is in the queue.
    std::string path = dir.file("recording.asf");
    Feed(rig, 0, 2400);
    ASSERT_EQ(S_OK, rig.SetFile(path));
    Feed(rig, 2400, 4600);
    ASSERT_EQ(S_OK, rig.StopRecording());
    Feed(rig, 4600, 1 << 30);
    EXPECT_EQ(S_OK, rig.videoPin->EndOfStream());
    EXPECT_EQ(S_OK, rig.audioPin->EndOfStream());
    EXPECT_EQ(2, rig.graph.Count(EC_COMPLETE));
    EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());

    wmftest::Clip recorded;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(path, recorded, error)) << error;

    // The last key frame before the start and every video sample after it up to the stop.
    int64_t keyTime = -1;
    for (const wmftest::ClipPacket *p : SourcePackets(videoId, 0, 2400))
        if (p->key)
            keyTime = p->ptsMs;
    ASSERT_GT(keyTime, 1000);
    std::vector<const wmftest::ClipPacket *> expectVideo = SourcePackets(videoId, keyTime, 4600);
    ASSERT_FALSE(expectVideo.empty());
    int64_t lastVideo = expectVideo.back()->ptsMs;
    // The audio from the key frame's time to the last video sample written.
    std::vector<const wmftest::ClipPacket *> expectAudio = SourcePackets(audioId, keyTime, lastVideo);
    std::vector<wmftest::ClipPacket> gotVideo = wmftest::StreamPackets(recorded, videoId);
    std::vector<wmftest::ClipPacket> gotAudio = wmftest::StreamPackets(recorded, audioId);
    ASSERT_EQ(expectVideo.size(), gotVideo.size());
    ASSERT_EQ(expectAudio.size(), gotAudio.size());
    for (size_t i = 0; i < gotVideo.size(); i++)
        EXPECT_EQ(expectVideo[i]->data, gotVideo[i].data) << "video packet " << i;
    for (size_t i = 0; i < gotAudio.size(); i++)
        EXPECT_EQ(expectAudio[i]->data, gotAudio[i].data) << "audio packet " << i;
    EXPECT_TRUE(gotVideo[0].key) << "the file begins with a key frame";
    EXPECT_EQ(static_cast<long>(gotVideo.size()), rig.Params(rig.graph.Events(), EC_KESTRIN_VIDEO_WRITTEN).back());

    // In file order the samples run by time: each audio sample precedes the later video.
    int64_t previous = LLONG_MIN;
    for (const wmftest::ClipPacket &p : recorded.packets) {
        EXPECT_GE(p.ptsMs, previous) << "stream " << p.streamId;
        previous = p.ptsMs;
    }

    // Independent readers: FFmpeg decodes it without a complaint, GStreamer demuxes it.
    twtest::ProcessResult decode =
        twtest::RunProcess({"/usr/bin/ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    EXPECT_EQ(0, decode.exitCode);
    EXPECT_EQ("", decode.output);
    twtest::ProcessResult gst = twtest::RunProcess(
        {"/usr/bin/gst-launch-1.0", "-q", "filesrc", "location=" + path, "!", "asfdemux", "name=d", "d.", "!", "queue",
         "!", "fakesink", "d.", "!", "queue", "!", "fakesink"});
    EXPECT_EQ(0, gst.exitCode) << gst.output;
}

// A source whose clock jumps (a damaged packet, a broadcast that restarts) loses
// nothing: every packet reaches a file that other readers read to its end, as
// long as its content, with no box.
TEST_F(Recording, ClockJumpsInTheSourceLoseNothing)
{
    const std::string longClip = dir.file("long.asf");
    ASSERT_EQ("", wmftest::MakeClip(longClip, {"--seconds", "14", "--size", "176x144", "--fps", "25", "--gop", "25"}));
    wmftest::Clip clip;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(longClip, clip, error)) << error;
    IWMProfile *longProfile = nullptr;
    ASSERT_EQ(S_OK, ProfileOfFile(longClip, &longProfile));
    const size_t videoCount = wmftest::StreamPackets(clip, videoId).size();
    const size_t audioCount = wmftest::StreamPackets(clip, audioId).size();
    ASSERT_GT(videoCount, 300u);
    struct Case {
        const char *name;
        wmftest::Clip clip;
    } cases[] = {
        {"one video packet 60 s ahead", wmftest::ShiftStream(clip, videoId, 100, 60000, 1)},
        {"audio 10 s back from the middle on", wmftest::ShiftStream(clip, audioId, audioCount / 2, -10000)},
        {"video 10 s back from the middle on", wmftest::ShiftStream(clip, videoId, videoCount / 2, -10000)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file(std::string(c.name) + ".asf");
        {
            Rig rig;
            ASSERT_TRUE(rig.ok());
            ASSERT_EQ(S_OK, rig.kestrin->set_Profile(longProfile));
            ASSERT_EQ(S_OK, rig.filter->Run(0));
            ASSERT_EQ(S_OK, rig.SetFile(path));
            FeedInOrder(rig, c.clip);
            // Audio waits for a later video sample: one more brings in the last of it.
            const wmftest::ClipPacket lastAudio = wmftest::StreamPackets(c.clip, audioId).back();
            SampleSource samples;
            ASSERT_EQ(S_OK, samples.Deliver(rig.videoInput, lastAudio.data.data(), 16,
                                            (lastAudio.ptsMs + 40) * 10000, false));
            ASSERT_EQ(S_OK, rig.StopRecording());
        }
        EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());

        wmftest::Clip recorded;
        ASSERT_TRUE(wmftest::ReadClip(path, recorded, error)) << error;
        std::vector<wmftest::ClipPacket> gotVideo = wmftest::StreamPackets(recorded, videoId);
        std::vector<wmftest::ClipPacket> gotAudio = wmftest::StreamPackets(recorded, audioId);
        std::vector<wmftest::ClipPacket> sourceVideo = wmftest::StreamPackets(clip, videoId);
        // Audio older than the file's first video sample stays out of it.
        std::vector<wmftest::ClipPacket> sourceAudio = wmftest::StreamPackets(clip, audioId);
        while (!sourceAudio.empty() && sourceAudio.front().ptsMs < sourceVideo.front().ptsMs)
            sourceAudio.erase(sourceAudio.begin());
        ASSERT_GT(sourceAudio.size() + 3, audioCount);
        ASSERT_EQ(videoCount + 1, gotVideo.size());
        ASSERT_EQ(sourceAudio.size(), gotAudio.size());
        for (size_t i = 0; i < videoCount; i++) {
            ASSERT_EQ(sourceVideo[i].data, gotVideo[i].data) << "video packet " << i;
            if (i) {
                ASSERT_GT(gotVideo[i].ptsMs, gotVideo[i - 1].ptsMs) << "video packet " << i;
            }
        }
        for (size_t i = 0; i < gotAudio.size(); i++) {
            ASSERT_EQ(sourceAudio[i].data, gotAudio[i].data) << "audio packet " << i;
            if (i) {
                ASSERT_GT(gotAudio[i].ptsMs, gotAudio[i - 1].ptsMs) << "audio packet " << i;
            }
        }
        wmftest::FileReading reading = wmftest::ReadWithOtherReaders(path, 2);
        EXPECT_EQ("", reading.problems);
        double content = wmftest::ContentSeconds(clip);
        EXPECT_NEAR(content, reading.seconds, 1.0);
        EXPECT_GT(reading.indexEntries, 0);
        EXPECT_LE(reading.indexEntries, content + 5);
    }
    longProfile->Release();
}

// A failure that repeats for every sample (the disk is full) shows one box for
// the recording, not one per sample.
TEST_F(Recording, AWriteFailingSampleAfterSampleShowsOneBox)
{
    std::string path = dir.file("full.asf");
    {
        Rig rig;
        ASSERT_TRUE(rig.ok());
        ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
        ASSERT_EQ(S_OK, rig.filter->Run(0));
        ASSERT_EQ(S_OK, rig.SetFile(path));
        twtest::FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.set());
        FeedInOrder(rig, source);
        ASSERT_EQ(S_OK, rig.StopRecording());
    }
    std::vector<twgui::test::MessageBoxInfo> boxes = twgui::test::TakeMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].text.find("CKestrin::Write: m_WMWriter->WriteStreamSample failed hr="));
    EXPECT_EQ("Kestrin Filter info", boxes[0].caption);
}

} // namespace
