// The whole program as a user runs it: the stream server on loopback, the real
// launcher (policy "Never", a registry of its own with the recording filter
// registered) starting the recorder under the offscreen platform, driven by a UI
// script. Recordings are read back with ffprobe, GStreamer's asfdemux and, packet
// by packet, with libavformat against the clip the server sends.
#include "tarnwick_run.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

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
                status += static_cast<char>(Gray(BarPixel(rec, x, y)) < 96);
                playingStatus += static_cast<char>(Gray(BarPixel(playing, x, y)) < 96);
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

// Stop, Close, Restart and Exit while recording each end the file; record while
// stopped plays again and records.
TEST_F(TarnwickRun, StopCloseRestartAndExitWhileRecordingEachLeaveAFinishedFile)
{
    auto server = Serve({"--live", "clip.asf"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    const std::string url = server->Base() + "/live";
    int code = Run("wait \"live [Demo]\" 20000\n"
                   "sleep 4500\n"
                   "key R\n"
                   "sleep 2500\n"
                   "key S\n"
                   "sleep 300\n"
                   "menustate\n"
                   "png \"stopped.png\"\n"
                   "key R\n"
                   "sleep 6000\n"
                   "key F5\n"
                   "sleep 5000\n"
                   "key R\n"
                   "sleep 2500\n"
                   "key C\n"
                   "sleep 300\n"
                   "menustate\n"
                   "menu 40001\n"
                   "wait \"Enter an URL\"\n"
                   "settext 1000 \"" + url + "\"\n"
                   "click 1\n"
                   "wait \"live [Demo]\" 20000\n"
                   "sleep 4500\n"
                   "key R\n"
                   "sleep 2500\n"
                   "key Q\n",
                   url);
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Boxes().empty()) << m_log;
    // Stopped: Play can be chosen again, Stop cannot.
    EXPECT_NE(m_log.find("menu\t40003\t&Play/Pause\\tP\tenabled"), std::string::npos) << m_log;
    EXPECT_NE(m_log.find("menu\t40004\t&Stop\\tS\tgrayed"), std::string::npos) << m_log;
    // Closed: Open URL is back, Close is gray.
    EXPECT_NE(m_log.find("menu\t40001\t&Open URL\\tU\tenabled"), std::string::npos) << m_log;
    EXPECT_NE(m_log.find("menu\t40005\t&Close\\tC\tgrayed"), std::string::npos) << m_log;
    auto files = Recordings();
    ASSERT_EQ(files.size(), 4u) << m_log;
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(NamedAfterClip(file, "live"));
        ExpectRunOfServedStream(file, 1.5);
    }
}

// Muted before the clip opens: it starts muted, the speaker without its waves.
// The size keys size the video area, above the 28-pixel bar, at a half, three
// quarters, once and twice the 320 x 240 video; the window's smallest width
// (200) keeps the half size's area wider than the video.
TEST_F(TarnwickRun, MuteBeforeOpeningAndTheSizeKeys)
{
    auto server = Serve({"--live", "clip.asf"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    SetSetting("LastOpenedURL", server->Base() + "/live");
    int code = Run("wait \"live []\"\n"
                   "key M\n"
                   "key P\n"
                   "wait \"live [Demo]\" 20000\n"
                   "sleep 4500\n"
                   "png \"muted.png\"\n"
                   "key H\n"
                   "sleep 700\n"
                   "png \"half.png\"\n"
                   "key T\n"
                   "sleep 700\n"
                   "png \"three.png\"\n"
                   "key D\n"
                   "sleep 700\n"
                   "png \"double.png\"\n"
                   "key N\n"
                   "sleep 700\n"
                   "png \"normal.png\"\n"
                   "key M\n"
                   "sleep 300\n"
                   "png \"unmuted.png\"\n"
                   "quit\n",
                   "");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Boxes().empty()) << m_log;
    // The speaker's waves are the right 9 columns of its picture.
    auto waves = [](const Shot &shot) {
        int marks = 0;
        for (int y = 2; y < 26; ++y)
            for (int x = shot.clientWidth - 9; x < shot.clientWidth; ++x)
                marks += (BarPixel(shot, x, y) & 0xFFFFFF) != 0xE0E0E0u;
        return marks;
    };
    EXPECT_EQ(waves(Picture("muted.png")), 0);
    EXPECT_GT(waves(Picture("unmuted.png")), 0);

    struct Size {
        const char *picture;
        int width, height;
    } sizes[] = {{"half.png", 160, 120}, {"three.png", 240, 180}, {"normal.png", 320, 240}, {"double.png", 640, 480}};
    Shot normal = Picture("normal.png");
    for (const Size &size : sizes) {
        SCOPED_TRACE(size.picture);
        Shot shot = Picture(size.picture);
        EXPECT_EQ(shot.barHeight, 28);
        // The rows above the bar: the caption and menu bar are as high in every picture.
        EXPECT_EQ(shot.barTop - normal.barTop, size.height - 240);
        EXPECT_EQ(shot.image.height - shot.barTop, normal.image.height - normal.barTop);
        if (size.width >= 200 - 2 * shot.border)
            EXPECT_EQ(shot.clientWidth, size.width);
        else
            EXPECT_EQ(shot.clientWidth, 200 - 2 * shot.border);
        int colours = 0;
        double black = 1;
        VideoStats(shot, size.height, &colours, &black);
        EXPECT_GT(colours, 100) << "the video does not fill the area";
        EXPECT_LT(black, 0.3);
    }
    EXPECT_EQ(normal.clientWidth, 320);
}

// Streams that cannot be opened: each gives its box (the video-only stream the
// stream count's warning first) and the player is back at "No clip" with Open
// URL enabled. The recording filter takes only WMA 8 and 9 audio, so a WMA v1
// stream cannot be tapped and fails at the tap's connection.
TEST_F(TarnwickRun, StreamsThatCannotBeOpenedReportOnceAndLeaveNoClip)
{
    MakeClip("video.asf", {"--seconds", "4", "--no-audio", "--title", "Video"});
    MakeClip("wma1.asf", {"--seconds", "4", "--audio-codec", "wmav1", "--title", "Old"});
    auto videoOnly = Serve({"--live", "video.asf"});
    auto wma1 = Serve({"--live", "wma1.asf"});
    ASSERT_TRUE(videoOnly->Ok() && wma1->Ok());
    struct Case {
        std::string url;
        std::vector<std::string> boxes;
    } cases[] = {
        // The unreachable server fails the probe's open, before any graph is built.
        {"http://127.0.0.1:1/live", {"messagebox\tTarnwickDll\tFAILED(hr=0x"}},
        {videoOnly->Base() + "/live",
         {"messagebox\tError\tStreamcount != 2, either no audio or video is present\tIDOK",
          "messagebox\tTarnwickDll\tFAILED(hr=0x80040216) in pGB->FindFilterByName(L\"WMAudio Decoder DMO\", "
          "ppFilter)\\n\tIDOK"}},
        {wma1->Base() + "/live",
         {"messagebox\tTarnwickDll\tFAILED(hr=0x80040207) in pGB->ConnectDirect(pPinOutAudio, pPinInAudio, "
          "NULL)\\n\tIDOK"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url);
        // The key is handled once the open has ended; the About box then shows.
        int code = Run("sleep 500\n"
                       "key A\n"
                       "wait \"About Tarnwick\"\n"
                       "click 1\n"
                       "menustate\n"
                       "quit\n",
                       c.url);
        EXPECT_EQ(code, 0) << m_log;
        auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), c.boxes.size()) << m_log;
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_EQ(boxes[i].rfind(c.boxes[i], 0), 0u) << boxes[i];
        if (c.boxes.size() == 1 && c.boxes[0].size() < 40) {
            EXPECT_NE(boxes[0].find(") in pReader.Configure(wFile)\\n\tIDOK"), std::string::npos) << boxes[0];
        }
        EXPECT_TRUE(Logged("menu\t40001\t&Open URL\\tU\tenabled\tunchecked")) << m_log;
        EXPECT_TRUE(Logged("menu\t40005\t&Close\\tC\tgrayed\tunchecked")) << m_log;
        EXPECT_TRUE(Logged("menu\t40015\t&Start/Stop Recording\\tR\tgrayed\tunchecked")) << m_log;
        EXPECT_TRUE(Recordings().empty());
    }
}

// An on-demand clip from an ordinary web server: elapsed and total time; pause
// holds the picture and play goes on; the clip's end stops the recording with a
// finished file that ends with the clip; Stop rewinds, and Play plays from the
// start.
TEST_F(TarnwickRun, OnDemandClipPausesEndsTheRecordingAtItsEndAndRewinds)
{
    auto server = Serve({"--plain"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    int code = Run("wait \"clip.asf [Demo]\" 20000\n"
                   "sleep 2500\n"
                   "png \"playing.png\"\n"
                   "key P\n"
                   "sleep 600\n"
                   "png \"paused1.png\"\n"
                   "sleep 1000\n"
                   "png \"paused2.png\"\n"
                   "key P\n"
                   "sleep 600\n"
                   "png \"resumed.png\"\n"
                   "key R\n"
                   "sleep 9000\n"
                   "png \"ended.png\"\n"
                   "key S\n"
                   "sleep 500\n"
                   "key P\n"
                   "key R\n"
                   "sleep 2500\n"
                   "key R\n"
                   "sleep 300\n"
                   "quit\n",
                   server->Base() + "/clip.asf");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Boxes().empty()) << m_log;

    Shot playing = Picture("playing.png");
    EXPECT_GT(DarkTextPixels(playing, 180, 228), 20) << "no elapsed time";
    EXPECT_GT(DarkTextPixels(playing, 232, 280), 20) << "no total time";
    EXPECT_TRUE(ButtonShows(playing, 28, 48, 24)) << "the pause button is not lit";
    // Paused: the picture stands still; playing again, it moves.
    auto videoRows = [](const Shot &shot) {
        std::string pixels;
        for (int y = -240; y < 0; ++y)
            for (int x = 0; x < shot.clientWidth; ++x)
                pixels += std::to_string(BarPixel(shot, x, y)) + ",";
        return pixels;
    };
    Shot paused1 = Picture("paused1.png"), paused2 = Picture("paused2.png"), resumed = Picture("resumed.png");
    EXPECT_EQ(videoRows(paused1), videoRows(paused2));
    EXPECT_NE(videoRows(paused2), videoRows(resumed));
    // At the end the recording has stopped; the player still plays.
    Shot ended = Picture("ended.png");
    EXPECT_TRUE(ButtonShows(ended, 54, kRecordReady[0], kRecordReady[1])) << "still recording at the end";
    EXPECT_TRUE(ButtonShows(ended, 2, kStopCell[0], kStopCell[1]));

    auto files = Recordings();
    ASSERT_EQ(files.size(), 2u) << m_log;
    wmftest::Clip source, first, second;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(m_dir.file("clip.asf"), source, error)) << error;
    ASSERT_TRUE(wmftest::ReadClip(files[0], first, error)) << error;
    ASSERT_TRUE(wmftest::ReadClip(files[1], second, error)) << error;
    ExpectRunOfServedStream(files[0], 3.0);
    ExpectRunOfServedStream(files[1], 1.5);
    for (const wmftest::ClipStream &stream : source.streams) {
        if (!stream.isVideo)
            continue;
        auto served = wmftest::StreamPackets(source, stream.id);
        // The first recording runs to the clip's last video packet.
        auto toEnd = wmftest::StreamPackets(first, first.streams[0].isVideo ? first.streams[0].id : first.streams[1].id);
        long start = RunStart(served, toEnd);
        EXPECT_EQ(start + static_cast<long>(toEnd.size()), static_cast<long>(served.size()));
        // The second begins with the clip's first.
        auto fromStart =
            wmftest::StreamPackets(second, second.streams[0].isVideo ? second.streams[0].id : second.streams[1].id);
        EXPECT_EQ(RunStart(served, fromStart), 0);
    }
}

// The server drops every connection two seconds after it began: the source
// reconnects a few times, then gives up; the recording ends with the stream, in
// a finished file, and the program goes on without hanging.
TEST_F(TarnwickRun, DroppedBroadcastEndsTheRecordingWithAFinishedFile)
{
    auto server = Serve({"--live", "clip.asf", "--drop-after", "2"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    int code = Run("wait \"live [Demo]\" 20000\n"
                   "key R\n"
                   "sleep 15000\n"
                   "png \"dropped.png\"\n"
                   "menustate\n"
                   "quit\n",
                   server->Base() + "/live", 60);
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Boxes().empty()) << m_log;
    Shot dropped = Picture("dropped.png");
    EXPECT_TRUE(ButtonShows(dropped, 54, kRecordReady[0], kRecordReady[1])) << "still recording";
    auto files = Recordings();
    ASSERT_EQ(files.size(), 1u) << m_log;
    wmftest::FileReading reading = wmftest::ReadWithOtherReaders(files[0], 2);
    EXPECT_EQ(reading.problems, "");
    ASSERT_EQ(reading.packets.size(), 2u);
    EXPECT_GT(reading.packets[0], 25);
    EXPECT_GT(reading.packets[1], 25);
    EXPECT_GT(reading.seconds, 1.0);
}

// A recorder killed while recording: what reached the disk stays readable. The
// file writer hands its data to the operating system at least once a second of
// file time, so the packets read are all but those of the last second.
TEST_F(TarnwickRun, KilledWhileRecordingLeavesTheWrittenPacketsReadable)
{
    auto server = Serve({"--live", "clip.asf"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    int code = Run("wait \"live [Demo]\" 20000\n"
                   "sleep 4000\n"
                   "key R\n"
                   "sleep 60000\n",
                   server->Base() + "/live", 20, "KILL");
    // The guard's KILL reaches its own process group too.
    EXPECT_TRUE(code == 137 || code == -9) << code << "\n" << m_log;
    auto files = Recordings();
    ASSERT_EQ(files.size(), 1u) << m_log;
    twtest::ProcessResult probe = twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-count_packets",
                                                      "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                                                      files[0]});
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
    std::istringstream counts(probe.output);
    long video = 0, audio = 0;
    char comma = 0;
    counts >> video >> audio;
    (void)comma;
    std::cout << "after the kill: " << video << " video and " << audio << " audio packets read, "
              << twtest::ReadFile(files[0]).size() << " bytes\n";
    EXPECT_GT(video, 100) << probe.output;
    EXPECT_GT(audio, 100) << probe.output;
    // What was read is the served stream's, from a key frame on (the last packet
    // of each stream may be cut short by the kill).
    wmftest::Clip source, killed;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(m_dir.file("clip.asf"), source, error)) << error;
    ASSERT_TRUE(wmftest::ReadClip(files[0], killed, error)) << error;
    for (const wmftest::ClipStream &stream : killed.streams) {
        auto written = wmftest::StreamPackets(killed, stream.id);
        ASSERT_GT(written.size(), 1u);
        written.pop_back();
        for (const wmftest::ClipStream &s : source.streams) {
            if (s.isVideo == stream.isVideo) {
                EXPECT_GE(RunStart(wmftest::StreamPackets(source, s.id), written), 0)
                    << (stream.isVideo ? "video" : "audio");
            }
        }
        if (stream.isVideo) {
            EXPECT_TRUE(written[0].key);
        }
    }
}

} // namespace
