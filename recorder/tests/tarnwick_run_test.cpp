// The whole program as a user runs it: the stream server on loopback, the real
// launcher (policy "Never", a registry of its own with the recording filter
// registered) starting the recorder under the offscreen platform, driven by a UI
// script. Recordings are read back with ffprobe, GStreamer's asfdemux and, packet
// by packet, with libavformat against the clip the server sends.
#include "tarnwick_run.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

using namespace tarnwick_run;

// Cells of the button bitmap: (x, y) of each 24 x 24 picture.
const int kStopCell[2] = {0, 24};      // play/stop button while playing
const int kPauseGray[2] = {48, 48};
const int kRecordReady[2] = {24, 0};
const int kRecording[2] = {0, 0};

TEST_F(TarnwickRun, LiveBroadcastPlaysShowsThePictureAndRecordsAFileOtherReadersRead)
{
    auto server = Serve({"--live", "clip.asf"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    int code = Run("wait \"live [Demo]\" 20000\n"
                   "sleep 5000\n"
                   "png \"playing.png\"\n"
                   "menustate\n"
                   "key R\n"
                   "sleep 700\n"
                   "png \"rec1.png\"\n"
                   "sleep 1000\n"
                   "png \"rec2.png\"\n"
                   "sleep 1000\n"
                   "png \"rec3.png\"\n"
                   "key R\n"
                   "sleep 300\n"
                   "quit\n",
                   server->Base() + "/live");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Logged("caption\tlive [Demo]")) << m_log;
    EXPECT_TRUE(Boxes().empty()) << m_log;
    // Playing a broadcast: Stop and Record can be chosen, Play/Pause cannot.
    EXPECT_TRUE(Logged("menu\t40003\t&Play/Pause\\tP\tgrayed\tunchecked")) << m_log;
    EXPECT_TRUE(Logged("menu\t40004\t&Stop\\tS\tenabled\tunchecked")) << m_log;
    EXPECT_TRUE(Logged("menu\t40015\t&Start/Stop Recording\\tR\tenabled\tunchecked")) << m_log;
    EXPECT_TRUE(Logged("menu\t40001\t&Open URL\\tU\tgrayed\tunchecked")) << m_log;

    // The test pattern fills the video area above the bar; the bar shows the
    // playing state, the gray pause button, and the elapsed time.
    Shot playing = Picture("playing.png");
    EXPECT_EQ(playing.barHeight, 28);
    EXPECT_EQ(playing.clientWidth, 320);
    int colours = 0;
    double black = 1;
    VideoStats(playing, 240, &colours, &black);
    EXPECT_GT(colours, 200) << "the video area shows no moving picture";
    EXPECT_LT(black, 0.3);
    EXPECT_TRUE(ButtonShows(playing, 2, kStopCell[0], kStopCell[1]));
    EXPECT_TRUE(ButtonShows(playing, 28, kPauseGray[0], kPauseGray[1]));
    EXPECT_TRUE(ButtonShows(playing, 54, kRecordReady[0], kRecordReady[1]));
    EXPECT_GT(DarkTextPixels(playing, 80, 178), 20) << "no status text";
    EXPECT_GT(DarkTextPixels(playing, 180, 228), 20) << "no elapsed time";
    // A broadcast has no total time: nothing follows the elapsed time.
    EXPECT_EQ(DarkTextPixels(playing, 232, 290), 0);

    // Recording: the button and the status change; the label blinks, shown in
    // one picture and hidden in another a second later.
    int shown = 0, hidden = 0;
    std::string why;
    for (const char *name : {"rec1.png", "rec2.png", "rec3.png"}) {
        Shot rec = Picture(name);
        EXPECT_TRUE(ButtonShows(rec, 54, kRecording[0], kRecording[1])) << name;
        bool label = RecordingLabelShown(rec, why);
        (label ? shown : hidden)++;
        std::string status, playingStatus;
        for (int x = 80; x < 178; ++x)
            for (int y = 8; y < 24; ++y) {
                status += static_cast<char>(qGray(BarPixel(rec, x, y)) < 96);
                playingStatus += static_cast<char>(qGray(BarPixel(playing, x, y)) < 96);
            }
        EXPECT_NE(status, playingStatus) << name << ": the status text did not change";
        std::cout << name << ": label " << (label ? "shown" : "hidden") << " (" << why << ")\n";
    }
    EXPECT_GE(shown, 1);
    EXPECT_GE(hidden, 1);

    auto files = Recordings();
    ASSERT_EQ(files.size(), 1u) << m_log;
    EXPECT_TRUE(NamedAfterClip(files[0], "live")) << files[0];
    ExpectRunOfServedStream(files[0], 2.0);
}

// With every live video packet flagged a key frame, the recording still begins
// at one of the clip's true key frames.
TEST_F(TarnwickRun, RecordingOfAnAllKeyBroadcastBeginsWithATrueKeyFrame)
{
    auto server = Serve({"--live", "clip.asf", "--all-key"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    int code = Run("wait \"live [Demo]\" 20000\n"
                   "sleep 4500\n"
                   "key R\n"
                   "sleep 2500\n"
                   "key R\n"
                   "sleep 300\n"
                   "quit\n",
                   server->Base() + "/live");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Boxes().empty()) << m_log;
    auto files = Recordings();
    ASSERT_EQ(files.size(), 1u) << m_log;
    ExpectRunOfServedStream(files[0], 1.5);
}

} // namespace
