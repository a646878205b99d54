// tools/demo.sh end to end: the stream server, the launcher and the recorder as
// real processes under the offscreen platform. The recording is read back with
// ffprobe here, independently of what the demo printed; nothing the demo started
// may outlive it, whether it ends by itself or is stopped midway.
#include <twtesting.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <regex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::string kDemo = std::string(TW_SOURCE_DIR) + "/tools/demo.sh";

class Demo : public ::testing::Test {
protected:
    twtest::TempDir m_out;
    twtest::ScopedEnv m_offscreen{"QT_QPA_PLATFORM", "offscreen"};
    twtest::ScopedEnv m_noDisplay{"DISPLAY", nullptr};
    twtest::ScopedEnv m_noWayland{"WAYLAND_DISPLAY", nullptr};

    std::vector<std::string> Command(const std::string &bin = TW_BIN_DIR) const
    {
        return {"/bin/bash", kDemo, "--out", m_out.path(), "--bin", bin};
    }

    // Processes other than this one whose command line or environment names the
    // demo's work directory: the stream server (--root) and Tarnwick (its registry).
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> found;
        DIR *proc = opendir("/proc");
        if (proc == nullptr)
            return {"cannot read /proc"};
        while (dirent *e = readdir(proc)) {
            const std::string pid = e->d_name;
            if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(getpid()))
                continue;
            std::string cmdline = twtest::ReadFile("/proc/" + pid + "/cmdline");
            std::string environ = twtest::ReadFile("/proc/" + pid + "/environ");
            if (cmdline.find(m_out.path()) != std::string::npos || environ.find(m_out.path()) != std::string::npos) {
                for (char &c : cmdline)
                    c = c == '\0' ? ' ' : c;
                found.push_back(pid + ": " + cmdline);
            }
        }
        closedir(proc);
        return found;
    }
};

// Width and height from a PNG file's header; 0 x 0 when it is not a PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string &path)
{
    std::string png = twtest::ReadFile(path);
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
               uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
    };
    return {be32(16), be32(20)};
}

TEST_F(Demo, PlaysRecordsFiveSecondsAndStopsEverything)
{
    const std::string log = m_out.file("demo-output.txt");
    int code = -1;
    {
        twtest::BackgroundProcess demo(Command(), log);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
        while (demo.running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        code = demo.stop();
    }
    const std::string output = twtest::ReadFile(log) + "\n--- ui log:\n" + twtest::ReadFile(m_out.file("ui.log"));
    ASSERT_EQ(code, 0) << output;
    EXPECT_NE(output.find("video\tshown\n"), std::string::npos) << output;

    // The recording the demo names: one file named after the clip and the time.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(output, m, std::regex("recorded (\\S+/recordings/live_\\d{8}_\\d{6}\\.asf)")))
        << output;
    const std::string recording = m[1];
    ASSERT_TRUE(twtest::FileExists(recording)) << output;

    auto probe = twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-count_packets", "-show_entries",
                                     "stream=codec_name,nb_read_packets:format=duration", "-of", "csv=p=0", recording});
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    std::smatch video, audio, duration;
    ASSERT_TRUE(std::regex_search(probe.output, video, std::regex("wmv2,(\\d+)"))) << probe.output;
    ASSERT_TRUE(std::regex_search(probe.output, audio, std::regex("wmav2,(\\d+)"))) << probe.output;
    ASSERT_TRUE(std::regex_search(probe.output, duration, std::regex("(\\d+\\.\\d+)\\s*$"))) << probe.output;
    // About five seconds at 25 frames a second, from the last key frame before R.
    EXPECT_GE(std::stoi(video[1]), 100) << probe.output;
    EXPECT_GT(std::stoi(audio[1]), 50) << probe.output;
    EXPECT_GE(std::stod(duration[1]), 4.0) << probe.output;
    EXPECT_LE(std::stod(duration[1]), 12.0) << probe.output;
    auto first = twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                     "packet=flags", "-read_intervals", "%+#1", "-of", "csv=p=0", recording});
    EXPECT_EQ(first.output.substr(0, 1), "K") << first.output;

    // Pictures of the main window, as large as the window the program sized.
    for (const char *name : {"playing.png", "recording-1.png", "recording-2.png"}) {
        EXPECT_NE(output.find(m_out.file(name)), std::string::npos) << name << "\n" << output;
        auto size = PngSize(m_out.file(name));
        EXPECT_GE(size.first, 200u) << name;
        EXPECT_GE(size.second, 120u) << name;
    }
    EXPECT_NE(output.find("GStreamer"), std::string::npos) << output;
    EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

TEST_F(Demo, StoppedWhilePlayingStopsWhatItStarted)
{
    const std::string log = m_out.file("demo-output.txt");
    twtest::BackgroundProcess demo(Command(), log);
    // Tarnwick is up once its script has started.
    bool playing = false;
    for (int i = 0; i < 600 && !playing && demo.running(); ++i) {
        playing = twtest::ReadFile(m_out.file("ui.log")).find("script\tstart") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(playing) << twtest::ReadFile(log);
    EXPECT_FALSE(Leftovers().empty());
    // SIGTERM: the demo ends at once with the signal's code, after stopping the
    // stream server and Tarnwick (a demo that needed SIGKILL would give -9).
    EXPECT_EQ(demo.stop(), 143) << twtest::ReadFile(log);
    EXPECT_NE(twtest::ReadFile(log).find("demo terminated"), std::string::npos);
    EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

TEST_F(Demo, MissingProgramSaysWhatToBuild)
{
    twtest::TempDir empty;
    auto run = twtest::RunProcess(Command(empty.path()));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("demo failed: " + empty.path() + "/Tarnwick is missing."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("tools/setup.sh --no-demo"), std::string::npos) << run.output;
    EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

} // namespace
