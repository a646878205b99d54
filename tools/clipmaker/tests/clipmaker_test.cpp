// clipmaker's title: the longest title an ASF file can hold is written whole;
// a longer one is refused rather than written with a length that wraps. Its
// audio codec choice.
#include <gtest/gtest.h>
#include <twtesting.h>

#include <string>

namespace {

twtest::ProcessResult ClipMaker(const std::string &out, const std::string &title)
{
    return twtest::RunProcess({twtest::BinPath("clipmaker"), "--out", out, "--seconds", "0.2", "--size", "32x32",
                               "--title", title});
}

TEST(ClipMaker, TitleMustFitTheFile)
{
    twtest::TempDir dir;
    const std::string longest(32766, 'T');
    twtest::ProcessResult r = ClipMaker(dir.file("longest.asf"), longest);
    ASSERT_EQ(0, r.exitCode) << r.output;
    twtest::ProcessResult probe = twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                                      "format_tags=title", "-of", "csv=p=0",
                                                      dir.file("longest.asf")});
    EXPECT_EQ(0, probe.exitCode) << probe.output;
    EXPECT_EQ(longest + "\n", probe.output);

    // One UTF-16 unit more, a title of 40,000 characters, and one whose
    // characters beyond the Basic Multilingual Plane take two units each.
    std::string astral;
    for (int i = 0; i < 16384; ++i)
        astral += "\xF0\x9F\x8E\xAC";
    for (const std::string &title : {longest + "T", std::string(40000, 'T'), astral}) {
        const std::string out = dir.file("long.asf");
        r = ClipMaker(out, title);
        EXPECT_EQ(2, r.exitCode) << r.output;
        EXPECT_NE(std::string::npos, r.output.find("--title is too long")) << r.output;
        EXPECT_FALSE(twtest::FileExists(out));
    }
}

TEST(ClipMaker, AudioCodecIsChosenAndAnUnknownOneRefused)
{
    twtest::TempDir dir;
    twtest::ProcessResult r = twtest::RunProcess({twtest::BinPath("clipmaker"), "--out", dir.file("v1.asf"),
                                                  "--seconds", "1", "--size", "32x32", "--audio-codec", "wmav1"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    twtest::ProcessResult probe =
        twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                            "stream=codec_name", "-of", "csv=p=0", dir.file("v1.asf")});
    EXPECT_EQ("wmav1\n", probe.output);
    r = twtest::RunProcess({twtest::BinPath("clipmaker"), "--out", dir.file("x.asf"), "--audio-codec", "mp3"});
    EXPECT_EQ(2, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("--audio-codec wants wmav1 or wmav2, not 'mp3'")) << r.output;
    EXPECT_FALSE(twtest::FileExists(dir.file("x.asf")));
}

} // namespace
