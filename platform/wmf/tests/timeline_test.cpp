// The file's time line: every stream's times rise, and a jump of a source's clock
// becomes a short gap instead of a hole of a minute or a refused sample.
#include <gtest/gtest.h>

#include "timeline.h"

using twwmf::Timeline;

namespace {

constexpr int64_t kMax = 1000LL * 1000 * 1000;

// Video every 40 ms on stream 0 and audio every 20 ms on stream 1, from `from`
// ms, source times shifted by the deltas; checks each placed time against the
// source time plus expectVideo / expectAudio.
void Deliver(Timeline &line, int64_t from, int64_t to, int64_t videoDelta, int64_t audioDelta, int64_t expectVideo,
         int64_t expectAudio)
{
    for (int64_t t = from; t < to; t += 20) {
        if ((t - from) % 40 == 0) {
            ASSERT_EQ(t + expectVideo, line.Place(0, t + videoDelta)) << "video at " << t;
        }
        ASSERT_EQ(t + expectAudio, line.Place(1, t + audioDelta)) << "audio at " << t;
    }
}

TEST(Timeline, UsualTimesPassUnchangedAndEqualOrSlightlyEarlierOnesGoOneMillisecondOn)
{
    Timeline line(2, kMax);
    Deliver(line, 1000, 3000, 0, 0, 0, 0);
    EXPECT_EQ(2981, line.Place(1, 2980)) << "the same time again";
    EXPECT_EQ(2982, line.Place(1, 2500)) << "half a second back is jitter, not a jump";
    EXPECT_EQ(3000, line.Place(1, 3000));
    // A gap of a few seconds in one stream while the other goes on is kept.
    EXPECT_EQ(4000, line.Place(1, 4000));
    EXPECT_EQ(4000, line.Place(0, 4000));
}

TEST(Timeline, OneSampleFarAheadBecomesOneIntervalAndTheStreamGoesOnOnItsOwnTimes)
{
    Timeline line(2, kMax);
    Deliver(line, 0, 4000, 0, 0, 0, 0);
    EXPECT_EQ(4000, line.Place(0, 64000)) << "60 s ahead: one video interval after the last";
    EXPECT_EQ(4000, line.Place(1, 4000));
    EXPECT_EQ(4020, line.Place(1, 4020));
    EXPECT_EQ(4040, line.Place(0, 4040)) << "back on its own clock";
    Deliver(line, 4080, 6000, 0, 0, 0, 0);
    EXPECT_EQ(5980, line.Head());

    // A sample far behind and one past the longest file are jumps too.
    EXPECT_EQ(6000, line.Place(0, 10));
    EXPECT_EQ(6040, line.Place(0, 2 * kMax));
}

TEST(Timeline, AStreamWhoseClockGoesBackContinuesOneIntervalOn)
{
    Timeline line(2, kMax);
    Deliver(line, 10000, 12000, 0, 0, 0, 0);
    // Audio is 10 s behind from here on; video keeps its clock.
    Deliver(line, 12000, 15000, 0, -10000, 0, 0);
    // Video 10 s ahead from here on; audio still 10 s behind.
    Deliver(line, 15000, 17000, 10000, -10000, 0, 0);
}

TEST(Timeline, StreamsThatJumpTogetherStayInStep)
{
    Timeline line(2, kMax);
    Deliver(line, 30000, 32000, 0, 0, 0, 0);
    // A looping broadcast starts again at 0: the first stream to jump goes on one
    // interval after its last sample, the other takes the same offset.
    Deliver(line, 32000, 34000, -32000, -32000, 0, 0);
    // And once more, 100 s ahead this time.
    Deliver(line, 34000, 36000, 100000, 100000, 0, 0);
}

TEST(Timeline, AStreamNeverLandsFarBehindTheOthers)
{
    Timeline line(2, kMax);
    for (int64_t t = 0; t <= 20000; t += 40)
        line.Place(0, t);
    // Audio starts 20 s behind the video: it joins at the file's latest time.
    EXPECT_EQ(20000, line.Place(1, 0));
    EXPECT_EQ(20020, line.Place(1, 20));
    // A stream that lags on its own clock is pulled up to within the lag limit.
    for (int64_t t = 20040; t <= 30000; t += 40)
        line.Place(0, t);
    int64_t placed = line.Place(1, 40);
    EXPECT_GT(placed, 30000 - Timeline::kMaxLagMs);
    EXPECT_LE(placed, 30000);
    // The first sample of a file past the longest file starts it at 0.
    Timeline other(1, kMax);
    EXPECT_EQ(0, other.Place(0, 3 * kMax));
    EXPECT_EQ(0, Timeline(1, kMax).Place(0, -5000)) << "a negative time";
}

} // namespace
