#include "tarnwick_run.h"

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace tarnwick_run {

void TarnwickRun::SetUp()
{
    fs::create_directory(m_dir.file("rec"));
    auto reg = twtest::RunProcess({twtest::BinPath("regsvr32"), "/s", twtest::BinPath("Kestrin.ax")});
    ASSERT_EQ(reg.exitCode, 0) << reg.output;
    SetSetting("AutoUpdate", "Never");
    SetSetting("SaveDirectory", m_dir.file("rec"));
    MakeClip("clip.asf", {"--seconds", "8", "--size", "320x240", "--fps", "25", "--gop", "25", "--title", "Demo"});
}

void TarnwickRun::TearDown()
{
    const char *keep = std::getenv("TW_KEEP_FAILED");
    if (!HasFailure() || !keep || !*keep)
        return;
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name() + "-" +
                       fs::path(m_dir.path()).filename().string();
    std::error_code ec;
    fs::path to = fs::path(keep) / name;
    fs::create_directories(to, ec);
    fs::copy(m_dir.path(), to, fs::copy_options::recursive, ec);
    std::printf("scratch directory kept in %s%s\n", to.c_str(), ec ? (" (incomplete: " + ec.message() + ")").c_str() : "");
}

void TarnwickRun::MakeClip(const std::string &name, const std::vector<std::string> &args)
{
    std::string error = wmftest::MakeClip(m_dir.file(name), args);
    ASSERT_TRUE(error.empty()) << error;
}

std::unique_ptr<strsrvtest::StreamServerProcess> TarnwickRun::Serve(const std::vector<std::string> &args)
{
    return std::make_unique<strsrvtest::StreamServerProcess>(m_dir.path(), args);
}

void TarnwickRun::SetSetting(const std::string &name, const std::string &value)
{
    auto result = twtest::RunProcess({twtest::BinPath("reg"), "add", "HKCU\\SOFTWARE\\Orvanne\\Tarnwick", "/v", name,
                                      "/t", "REG_SZ", "/d", value, "/f"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
}

std::string TarnwickRun::Setting(const std::string &name)
{
    auto result =
        twtest::RunProcess({twtest::BinPath("reg"), "query", "HKCU\\SOFTWARE\\Orvanne\\Tarnwick", "/v", name});
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        size_t at = line.find("REG_SZ");
        if (at != std::string::npos) {
            std::string value = line.substr(at + 6);
            value.erase(0, value.find_first_not_of(' '));
            return value;
        }
    }
    return "<absent>";
}

int TarnwickRun::Run(const std::string &script, const std::string &url, int guardSeconds,
                     const std::string &guardSignal)
{
    twtest::WriteFile(m_dir.file("script.txt"), script);
    std::remove(m_dir.file("ui.log").c_str());
    twtest::ScopedEnv scriptEnv("TARNWICK_UI_SCRIPT", m_dir.file("script.txt").c_str());
    twtest::ScopedEnv logEnv("TARNWICK_UI_LOG", m_dir.file("ui.log").c_str());
    // The guard only ends a run that hangs; a sound run ends long before it.
    std::vector<std::string> argv{"/usr/bin/timeout", "-s", guardSignal, "-k", "5", std::to_string(guardSeconds),
                                  twtest::BinPath("Tarnwick")};
    if (!url.empty())
        argv.push_back(url);
    auto result = twtest::RunProcess(argv, m_dir.path());
    m_log = twtest::ReadFile(m_dir.file("ui.log")) + "--- output:\n" + result.output;
    return result.exitCode;
}

std::vector<std::string> TarnwickRun::Boxes() const
{
    std::vector<std::string> boxes;
    std::istringstream lines(m_log);
    std::string line;
    while (std::getline(lines, line) && line != "--- output:")
        if (line.rfind("messagebox\t", 0) == 0)
            boxes.push_back(line);
    return boxes;
}

std::vector<std::string> TarnwickRun::Recordings() const
{
    std::vector<std::string> files;
    for (const auto &entry : fs::directory_iterator(m_dir.file("rec")))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

bool TarnwickRun::NamedAfterClip(const std::string &path, const std::string &clip) const
{
    // <clip>_YYYYmmdd_HHMMSS.asf, a date and time that can be.
    const std::string name = fs::path(path).filename().string();
    const std::string stamp = name.size() > clip.size() ? name.substr(clip.size()) : "";
    if (fs::path(path).parent_path() != fs::path(m_dir.file("rec")) || name.compare(0, clip.size(), clip) != 0 ||
        stamp.size() != 20 || stamp[0] != '_' || stamp[9] != '_' || stamp.substr(16) != ".asf")
        return false;
    for (size_t i : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15})
        if (!std::isdigit(static_cast<unsigned char>(stamp[i])))
            return false;
    auto number = [&](size_t at) { return std::stoi(stamp.substr(at, 2)); };
    return number(5) >= 1 && number(5) <= 12 && number(7) >= 1 && number(7) <= 31 && number(10) <= 23 &&
           number(12) <= 59 && number(14) <= 60;
}

Shot TarnwickRun::Picture(const std::string &name)
{
    Shot shot;
    std::string error;
    EXPECT_TRUE(LoadShot(m_dir.file(name), shot, error)) << name << ": " << error << "\n" << m_log;
    return shot;
}

namespace {

const uint32_t kBarColour = 0xE0E0E0u;

bool IsBar(uint32_t c)
{
    return (c & 0xFFFFFF) == (kBarColour & 0xFFFFFF);
}

} // namespace

bool LoadShot(const std::string &path, Shot &shot, std::string &error)
{
    shot.image = twgui::test::ReadPictureFile(path);
    if (shot.image.width == 0) {
        error = "no picture";
        return false;
    }
    const int w = shot.image.width, h = shot.image.height;
    // The bar's background begins at the client area's left edge, left of the
    // first button; its rows are found between the first two buttons.
    int probeRow = -1;
    for (int y = h - 1; y >= 0 && probeRow < 0; --y)
        for (int x = 0; x < 8 && probeRow < 0; ++x)
            if (IsBar(shot.image.At(x, y)))
                probeRow = y, shot.border = x;
    if (probeRow < 0) {
        error = "no control bar";
        return false;
    }
    int x = shot.border + 27, bottom = h - 1;
    while (bottom >= 0 && !IsBar(shot.image.At(x, bottom)))
        --bottom;
    int top = bottom;
    while (top > 0 && IsBar(shot.image.At(x, top - 1)))
        --top;
    shot.barTop = top;
    shot.barHeight = bottom - top + 1;
    shot.clientWidth = w - 2 * shot.border;
    return true;
}

uint32_t BarPixel(const Shot &shot, int x, int y)
{
    return shot.image.At(shot.border + x, shot.barTop + y);
}

bool ButtonShows(const Shot &shot, int x, int cx, int cy)
{
    static const twgui::test::WindowPixels buttons =
        twgui::test::ReadPictureFile(std::string(TW_SOURCE_DIR) + "/resources/buttons.bmp");
    if (buttons.width == 0)
        return false;
    for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 24; ++i)
            if ((BarPixel(shot, x + i, 2 + j) & 0xFFFFFF) != (buttons.At(cx + i, cy + j) & 0xFFFFFF))
                return false;
    return true;
}

int DarkTextPixels(const Shot &shot, int x0, int x1)
{
    int dark = 0;
    for (int y = 8; y < 24; ++y)
        for (int x = x0; x < x1 && x < shot.clientWidth; ++x)
            dark += Gray(BarPixel(shot, x, y)) < 96;
    return dark;
}

void VideoStats(const Shot &shot, int height, int *colours, double *blackShare)
{
    std::set<uint32_t> seen;
    long black = 0, all = 0;
    for (int y = -height; y < 0; ++y)
        for (int x = 0; x < shot.clientWidth; ++x) {
            uint32_t c = BarPixel(shot, x, y) & 0xFFFFFF;
            seen.insert(c);
            black += Red(c) < 16 && Green(c) < 16 && Blue(c) < 16;
            ++all;
        }
    *colours = static_cast<int>(seen.size());
    *blackShare = all ? static_cast<double>(black) / all : 1;
}

bool RecordingLabelShown(const Shot &shot, std::string &why)
{
    // The label is 70 x 22, its lower right corner 2 % in from the video's.
    const int left = static_cast<int>(320 * 0.98) - 70, top = static_cast<int>(240 * 0.98) - 22;
    auto video = [&](int x, int y) { return BarPixel(shot, x, y - 240); };
    auto covered = [](uint32_t inside, uint32_t outside) {
        return std::abs(Red(inside) - (255 + Red(outside)) / 2) <= 24 &&
               std::abs(Green(inside) - Green(outside) / 2) <= 24 &&
               std::abs(Blue(inside) - Blue(outside) / 2) <= 24;
    };
    int leftMatches = 0, leftRows = 0, topMatches = 0, topColumns = 0, seeThrough = 0;
    for (int y = top + 2; y < top + 20; ++y, ++leftRows) {
        leftMatches += covered(video(left + 2, y), video(left - 3, y));
        seeThrough += Green(video(left + 2, y)) > 12 || Blue(video(left + 2, y)) > 12;
    }
    for (int x = left + 8; x < left + 64; ++x, ++topColumns) {
        topMatches += covered(video(x, top + 1), video(x, top - 4));
        seeThrough += Green(video(x, top + 1)) > 12 || Blue(video(x, top + 1)) > 12;
    }
    why = "left edge " + std::to_string(leftMatches) + "/" + std::to_string(leftRows) + ", top edge " +
          std::to_string(topMatches) + "/" + std::to_string(topColumns) + ", see-through " +
          std::to_string(seeThrough);
    return leftMatches * 10 >= leftRows * 7 && topMatches * 10 >= topColumns * 7 && seeThrough > 0;
}

long RunStart(const std::vector<wmftest::ClipPacket> &source, const std::vector<wmftest::ClipPacket> &run)
{
    if (source.empty() || run.empty())
        return -1;
    for (size_t start = 0; start < source.size(); ++start) {
        bool match = true;
        for (size_t i = 0; i < run.size() && match; ++i)
            match = source[(start + i) % source.size()].data == run[i].data;
        if (match)
            return static_cast<long>(start);
    }
    return -1;
}

// Where a recording stops following the served clip: the longest run from any
// start, and the packets at the break.
static std::string RunBreak(const std::vector<wmftest::ClipPacket> &source, const std::vector<wmftest::ClipPacket> &run)
{
    size_t best = 0, bestStart = 0;
    for (size_t start = 0; start < source.size(); ++start) {
        size_t i = 0;
        while (i < run.size() && source[(start + i) % source.size()].data == run[i].data)
            ++i;
        if (i > best)
            best = i, bestStart = start;
    }
    std::ostringstream out;
    out << "the longest run is " << best << " of " << run.size() << " packets, from served packet " << bestStart;
    if (best < run.size()) {
        out << "; written packet " << best << " (" << run[best].ptsMs << " ms, " << run[best].data.size()
            << " bytes) follows " << (best ? run[best - 1].ptsMs : -1) << " ms";
        long next = RunStart(source, {run[best]});
        out << "; it is served packet " << next << " where " << (bestStart + best) % source.size() << " was due";
    }
    return out.str();
}

void TarnwickRun::ExpectRunOfServedStream(const std::string &path, double minSeconds, const std::string &clip)
{
    wmftest::FileReading reading = wmftest::ReadWithOtherReaders(path, 2);
    EXPECT_EQ(reading.problems, "") << path;
    wmftest::Clip source, recording;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(m_dir.file(clip), source, error)) << error;
    ASSERT_TRUE(wmftest::ReadClip(path, recording, error)) << path << ": " << error;
    ASSERT_EQ(recording.streams.size(), 2u);
    EXPECT_GE(wmftest::ContentSeconds(recording), minSeconds);
    for (const wmftest::ClipStream &stream : recording.streams) {
        auto sourceStream = std::find_if(source.streams.begin(), source.streams.end(),
                                         [&](const wmftest::ClipStream &s) { return s.isVideo == stream.isVideo; });
        ASSERT_NE(sourceStream, source.streams.end());
        auto served = wmftest::StreamPackets(source, sourceStream->id);
        auto written = wmftest::StreamPackets(recording, stream.id);
        ASSERT_FALSE(written.empty()) << (stream.isVideo ? "video" : "audio");
        long start = RunStart(served, written);
        EXPECT_GE(start, 0) << (stream.isVideo ? "video" : "audio")
                            << " packets are not a contiguous run of the served clip's: "
                            << RunBreak(served, written);
        if (stream.isVideo) {
            EXPECT_TRUE(written[0].key) << "the recording's first video packet is not flagged a key frame";
            if (start >= 0) {
                EXPECT_TRUE(served[static_cast<size_t>(start)].key)
                    << "the recording begins at the clip's video packet " << start << ", not a key frame";
            }
        }
    }
}

} // namespace tarnwick_run
