// recbench never waits for a person: a clip the recording filter cannot take
// is refused before the run, with a message saying why.
#include <gtest/gtest.h>
#include <twtesting.h>

#include <string>

namespace {

TEST(RecBench, RefusesAClipWithoutAudioOrVideoBeforeTheRun)
{
    twtest::TempDir dir;
    struct Case {
        const char *flag, *missing;
    } cases[] = {{"--no-audio", "has no audio stream"}, {"--no-video", "has no video stream"}};
    for (const Case &c : cases) {
        const std::string clip = dir.file(std::string(c.flag + 2) + ".asf");
        twtest::ProcessResult made = twtest::RunProcess(
            {twtest::BinPath("clipmaker"), "--out", clip, "--seconds", "1", "--size", "64x48", c.flag});
        ASSERT_EQ(0, made.exitCode) << made.output;
        twtest::ProcessResult r = twtest::RunProcess({twtest::BinPath("recbench"), "--clip", clip, "--repeat", "1"});
        EXPECT_EQ(2, r.exitCode) << r.output;
        EXPECT_NE(std::string::npos, r.output.find(clip + " " + c.missing)) << r.output;
    }
    twtest::ProcessResult r = twtest::RunProcess({twtest::BinPath("recbench"), "--clip", dir.file("none.asf")});
    EXPECT_EQ(2, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("cannot open")) << r.output;
}

} // namespace
