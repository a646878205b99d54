// The whole program as a user runs it: the stream server on loopback, the real
// launcher (policy "Never", a registry of its own with the recording filter
// registered) starting the recorder under the offscreen platform, driven by a UI
// script. Recordings are read back with ffprobe, GStreamer's asfdemux and, packet
// by packet, with libavformat against the clip the server sends.
#include "tarnwick_run.h"

#include <gtest/gtest.h>

namespace {

using tarnwick_run::TarnwickRun;

TEST_F(TarnwickRun, LiveBroadcastPlaysAndRecordsAFileOtherReadersRead)
{
    auto server = Serve({"--live", "clip.asf"});
    ASSERT_TRUE(server->Ok()) << server->Log();
    std::string url = server->Base() + "/live";
    int code = Run("wait \"live [Demo]\" 20000\n"
                   "sleep 1500\n"
                   "menustate\n"
                   "key R\n"
                   "sleep 3000\n"
                   "key R\n"
                   "sleep 300\n"
                   "quit\n",
                   url);
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Logged("caption\tlive [Demo]")) << m_log;
    EXPECT_EQ(m_log.find("messagebox"), std::string::npos) << m_log;
    // Playing a broadcast: Stop and Record can be chosen, Play/Pause cannot.
    EXPECT_TRUE(Logged("menu\t40003\t&Play/Pause\\tP\tgrayed\tunchecked")) << m_log;
    EXPECT_TRUE(Logged("menu\t40004\t&Stop\\tS\tenabled\tunchecked")) << m_log;
    EXPECT_TRUE(Logged("menu\t40015\t&Start/Stop Recording\\tR\tenabled\tunchecked")) << m_log;
    EXPECT_TRUE(Logged("menu\t40001\t&Open URL\\tU\tgrayed\tunchecked")) << m_log;

    auto files = Recordings();
    ASSERT_EQ(files.size(), 1u) << m_log;
    EXPECT_TRUE(NamedAfterClip(files[0], "live")) << files[0];
    ExpectRunOfServedStream(files[0], 2.0);
}

} // namespace
