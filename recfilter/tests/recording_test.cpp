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

} // namespace
