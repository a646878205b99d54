// graphplay as a real process against the stream server: the picture it saves of
// the Video Renderer's window shows the clip's frame as FFmpeg decodes it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "asfclip.h"
#include "serverprocess.h"
#include "twtesting.h"

namespace {

// The first frame's MD5 of a picture file, cropped, as BGRA.
std::string CroppedMd5(const std::string &png, int width, int height, int x, int y, const std::string &work)
{
    auto r = twtest::RunProcess({"/usr/bin/ffmpeg", "-v", "error", "-nostdin", "-y", "-i", png, "-vf",
                                 "crop=" + std::to_string(width) + ":" + std::to_string(height) + ":" +
                                     std::to_string(x) + ":" + std::to_string(y),
                                 "-pix_fmt", "bgra", "-f", "framemd5", work});
    if (r.exitCode != 0)
        return "ffmpeg failed: " + r.output;
    std::string text = twtest::ReadFile(work);
    size_t line = text.rfind('\n', text.size() - 2);
    std::string last = text.substr(line == std::string::npos ? 0 : line + 1);
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r'))
        last.pop_back();
    return last.substr(last.find_last_of(' ') + 1);
}

TEST(GraphPlay, SavesAPictureOfTheVideoWindowShowingTheClip)
{
    twtest::TempDir dir;
    std::string clip = dir.file("clip.asf");
    ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "3", "--size", "160x120", "--fps", "25", "--gop", "25"}));
    std::vector<std::string> reference = wmftest::FfmpegFrameMd5s(clip, dir.file("clip.md5"));
    ASSERT_EQ(75u, reference.size());
    strsrvtest::StreamServerProcess server(dir.path(), {"--plain"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twtest::ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
    std::string png = dir.file("video.png");
    twtest::ProcessResult run = twtest::RunProcess(
        {twtest::BinPath("graphplay"), server.Base() + "/clip.asf", "--png", png, "--at", "1.5", "--seconds", "20"});
    ASSERT_EQ(0, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("saved the video window")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("EC_COMPLETE")) << run.output;

    // The window's frame around a client area of the video's size.
    twtest::ProcessResult size = twtest::RunProcess(
        {"/usr/bin/ffprobe", "-v", "error", "-show_entries", "stream=width,height", "-of", "csv=p=0", png});
    ASSERT_EQ(0, size.exitCode) << size.output;
    int width = 0, height = 0;
    ASSERT_EQ(2, std::sscanf(size.output.c_str(), "%d,%d", &width, &height)) << size.output;
    ASSERT_GE(width, 160);
    ASSERT_GE(height, 120);
    int border = (width - 160) / 2, top = height - 120 - border;
    std::string shown = CroppedMd5(png, 160, 120, border, top, dir.file("shown.md5"));
    // The picture is the frame FFmpeg decodes for about 1.5 s (frame 37 of 25 fps).
    size_t index = 0;
    while (index < reference.size() && reference[index] != shown)
        ++index;
    ASSERT_LT(index, reference.size()) << "the window shows no frame of the clip: " << shown;
    EXPECT_GE(index, 30u);
    EXPECT_LE(index, 45u);
}

} // namespace
