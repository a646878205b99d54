// recbench never waits for a person: a clip the recording filter cannot take,
// or a work directory it cannot write in, is refused before the run, with a
// message saying why.
#include <gtest/gtest.h>
#include <twtesting.h>

#include <cstdio>
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

// A run prints a row per way and the ratios against the remux, with figures
// that are real measurements (above 0), and leaves no work directory behind.
TEST(RecBench, PrintsEveryWayAndTheRatiosAgainstTheRemux)
{
    twtest::TempDir dir;
    const std::string clip = dir.file("clip.asf");
    twtest::ProcessResult made = twtest::RunProcess(
        {twtest::BinPath("clipmaker"), "--out", clip, "--seconds", "2", "--size", "64x48", "--gop", "10"});
    ASSERT_EQ(0, made.exitCode) << made.output;
    const std::string keep = dir.file("work");
    twtest::ProcessResult r = twtest::RunProcess(
        {twtest::BinPath("recbench"), "--clip", clip, "--repeat", "2", "--runs", "2", "--keep", keep});
    ASSERT_EQ(0, r.exitCode) << r.output;
    for (const char *row : {"Kestrin, pin threads", "Kestrin, one thread", "libavformat remux (copy)"})
        EXPECT_NE(std::string::npos, r.output.find(std::string("\n") + row)) << row << "\n" << r.output;
    for (const char *way : {"Kestrin, one thread", "Kestrin, pin threads"}) {
        size_t at = r.output.find(std::string("ratio ") + way + " / remux: CPU ");
        ASSERT_NE(std::string::npos, at) << r.output;
        double cpu = 0, least = 0, wall = 0, memory = 0;
        std::string format = std::string("ratio ") + way +
                             " / remux: CPU %lf, least CPU of a recording %lf, wall %lf, peak memory %lf";
        ASSERT_EQ(4, sscanf(r.output.c_str() + at, format.c_str(), &cpu, &least, &wall, &memory)) << r.output;
        EXPECT_GT(cpu, 0);
        EXPECT_GT(least, 0);
        EXPECT_GT(wall, 0);
        EXPECT_GT(memory, 0);
    }
    // The recordings of every way are kept in the work directory asked for.
    for (const char *file : {"/kestrin.asf", "/kestrin1.asf", "/remux.asf"})
        EXPECT_TRUE(twtest::FileExists(keep + file)) << file;

    // A work directory that cannot take the recordings is refused before the
    // runs: the filter's warning box would wait for nobody.
    r = twtest::RunProcess(
        {twtest::BinPath("recbench"), "--clip", clip, "--repeat", "1", "--keep", dir.file("missing/deeper")});
    EXPECT_EQ(1, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("cannot write files in")) << r.output;
}

} // namespace
