// What readers see of a recording, packet by packet against the source: clips
// fed in file order from one thread, recordings started and stopped mid-stream,
// one started again at once after a stop, and one that receives no audio. Each
// stream of the file must be a run of the source's samples with their times,
// key frames and bytes, and the codec data of the source.
#include <gtest/gtest.h>

#include <climits>

#include <twgui/testing.h>
#include <twtesting.h>

#include "asfclip.h"
#include "harness.h"

using namespace kestrintest;

namespace {

// One recording: the file is named before the packet at index `from` (file
// order) and the recording stopped before the packet at index `to`.
struct Span {
    size_t from, to;
    std::string path;
};

class RecordedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        twgui::test::SetMessageBoxResponder([](const twgui::test::MessageBoxInfo &) { return IDOK; });
        twgui::test::TakeMessageBoxes();
    }
    void TearDown() override
    {
        twgui::test::SetMessageBoxResponder(nullptr);
        CoUninitialize();
    }

    bool Load(const std::string &path)
    {
        std::string error;
        if (!wmftest::ReadClip(path, source, error)) {
            ADD_FAILURE() << error;
            return false;
        }
        videoId = audioId = 0;
        for (const wmftest::ClipStream &s : source.streams)
            (s.isVideo ? videoId : audioId) = s.id;
        return videoId && audioId && ProfileOfFile(path, &profile) == S_OK;
    }

    // Feeds the whole source in file order from this thread, recording the spans;
    // audio is left out when withAudio is false.
    void Record(const std::vector<Span> &spans, bool withAudio)
    {
        Rig rig;
        ASSERT_TRUE(rig.ok());
        ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
        ASSERT_EQ(S_OK, rig.filter->Run(0));
        SampleSource samples;
        for (size_t i = 0; i <= source.packets.size(); i++) {
            for (const Span &s : spans) {
                if (s.to == i) {
                    ASSERT_EQ(S_OK, rig.StopRecording());
                }
                if (s.from == i) {
                    ASSERT_EQ(S_OK, rig.SetFile(s.path));
                }
            }
            if (i == source.packets.size())
                break;
            const wmftest::ClipPacket &p = source.packets[i];
            bool isVideo = p.streamId == videoId;
            if (!isVideo && !withAudio)
                continue;
            ASSERT_EQ(S_OK, samples.Deliver(isVideo ? rig.videoInput : rig.audioInput, p.data.data(), p.data.size(),
                                            p.ptsMs * 10000, isVideo ? p.key : true));
        }
        EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());
    }

    // The file of a span holds the source's video from the last key frame before
    // its start up to its stop, and the audio from that key frame's time up to
    // the last video sample written.
    void Check(const Span &span, bool withAudio)
    {
        SCOPED_TRACE(span.path);
        size_t key = SIZE_MAX;
        for (size_t i = 0; i < span.from; i++)
            if (source.packets[i].streamId == videoId && source.packets[i].key)
                key = i;
        ASSERT_NE(SIZE_MAX, key) << "a span starts after a key frame";
        const int64_t keyTime = source.packets[key].ptsMs;
        std::vector<const wmftest::ClipPacket *> video, audio;
        for (size_t i = key; i < span.to; i++)
            if (source.packets[i].streamId == videoId)
                video.push_back(&source.packets[i]);
        ASSERT_FALSE(video.empty());
        const int64_t lastVideo = video.back()->ptsMs;
        for (size_t i = 0; withAudio && i < span.to; i++) {
            const wmftest::ClipPacket &p = source.packets[i];
            if (p.streamId == audioId && p.ptsMs >= keyTime && p.ptsMs < lastVideo)
                audio.push_back(&p);
        }

        wmftest::Clip recorded;
        std::string error;
        ASSERT_TRUE(wmftest::ReadClip(span.path, recorded, error)) << error;
        ASSERT_EQ("", wmftest::StreamDifferences(source, recorded));
        std::vector<wmftest::ClipPacket> gotVideo = wmftest::StreamPackets(recorded, videoId);
        std::vector<wmftest::ClipPacket> gotAudio = wmftest::StreamPackets(recorded, audioId);
        ASSERT_EQ(video.size(), gotVideo.size());
        ASSERT_EQ(audio.size(), gotAudio.size());
        for (size_t i = 0; i < video.size(); i++) {
            ASSERT_EQ(video[i]->ptsMs, gotVideo[i].ptsMs) << "video packet " << i;
            ASSERT_EQ(video[i]->key, gotVideo[i].key) << "video packet " << i;
            ASSERT_EQ(video[i]->data, gotVideo[i].data) << "video packet " << i;
        }
        for (size_t i = 0; i < audio.size(); i++) {
            ASSERT_EQ(audio[i]->ptsMs, gotAudio[i].ptsMs) << "audio packet " << i;
            ASSERT_EQ(audio[i]->data, gotAudio[i].data) << "audio packet " << i;
        }
        // In file order the two streams are interleaved by time.
        int64_t previous = LLONG_MIN;
        for (const wmftest::ClipPacket &p : recorded.packets) {
            EXPECT_GE(p.ptsMs, previous) << "stream " << p.streamId;
            previous = p.ptsMs;
        }

        // Independent readers take it to its end; the index covers it.
        wmftest::FileReading reading = wmftest::ReadWithOtherReaders(span.path, withAudio ? 2 : 1);
        EXPECT_EQ("", reading.problems);
        std::vector<long> counts = {static_cast<long>(video.size()), static_cast<long>(audio.size())};
        if (source.streams[0].id != videoId)
            std::swap(counts[0], counts[1]);
        EXPECT_EQ(counts, reading.packets);
        // Times are the source's, not moved to 0: the file runs to its last sample.
        const double end = static_cast<double>(lastVideo) / 1000;
        EXPECT_NEAR(end, reading.seconds, 0.5);
        EXPECT_GE(reading.indexEntries, static_cast<long>(end));
        EXPECT_LE(reading.indexEntries, static_cast<long>(end) + 6);
        EXPECT_GT(wmftest::HeaderMaxBitRate(span.path), 0);
    }

    std::vector<Span> Spans(const std::vector<std::pair<double, double>> &fractions, const std::string &name)
    {
        std::vector<Span> spans;
        const size_t n = source.packets.size();
        for (size_t i = 0; i < fractions.size(); i++)
            spans.push_back({static_cast<size_t>(fractions[i].first * static_cast<double>(n)),
                             static_cast<size_t>(fractions[i].second * static_cast<double>(n)),
                             dir.file(name + std::to_string(i) + ".asf")});
        return spans;
    }

    twtest::TempDir dir;
    wmftest::Clip source;
    int videoId = 0, audioId = 0;
    struct ProfileRef {
        IWMProfile *p = nullptr;
        ~ProfileRef()
        {
            if (p)
                p->Release();
        }
        IWMProfile **operator&() { return &p; }
        operator IWMProfile *() const { return p; }
    } profile;
};

TEST_F(RecordedFiles, AShortClipRecordedMidStreamInThreeFiles)
{
    ASSERT_TRUE(Load(TestClip()));
    // Started mid-stream; stopped and started again at once, so the second file
    // begins with the same key frame's pre-roll; started again later.
    std::vector<Span> spans = Spans({{0.4, 0.7}, {0.7, 0.85}, {0.9, 1.0}}, "short");
    Record(spans, true);
    for (const Span &s : spans)
        Check(s, true);
}

TEST_F(RecordedFiles, AMinuteOfVideoWithAndWithoutAudio)
{
    const std::string clip = dir.file("minute.asf");
    ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "60", "--size", "320x240", "--fps", "25", "--gop", "25"}));
    ASSERT_TRUE(Load(clip));
    // From the second key frame (the first sample of the file has no key frame
    // before it) to the end.
    size_t second = 0, keys = 0;
    for (size_t i = 0; i < source.packets.size() && keys < 2; i++)
        if (source.packets[i].streamId == videoId && source.packets[i].key && ++keys == 2)
            second = i;
    ASSERT_GT(second, 0u);
    for (bool withAudio : {true, false}) {
        SCOPED_TRACE(withAudio ? "with audio" : "video only");
        std::vector<Span> spans = {{second + 1, source.packets.size(), dir.file(withAudio ? "av.asf" : "v.asf")}};
        Record(spans, withAudio);
        Check(spans[0], withAudio);
    }
}

} // namespace
