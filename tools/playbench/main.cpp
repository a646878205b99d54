// playbench: the whole program on a live broadcast from the stream server on
// loopback, beside FFmpeg doing the same work, and over a long run.
//   1. Tarnwick through the launcher plays and records the broadcast for N seconds:
//      CPU seconds per stream second, peak memory, and the time from the
//      launcher's start to the graph running and to the first video picture.
//   2. FFmpeg on the same broadcast: `ffmpeg -i URL -c copy` (recording) and
//      `ffmpeg -i URL -f null -` (decoding) at the same time, for N seconds.
//   3. Tarnwick plays for M minutes with recording switched on and off every T
//      seconds; its memory is sampled, printed and its growth computed.
// Each side's figures are those of its own processes (user + system CPU and peak
// resident memory from wait4); the stream server's are not counted.
#include "child.h"
#include "uilog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace playbench;
using Clock = UiLogWatch::Clock;

namespace {

const char kUsage[] =
    "usage: playbench [--seconds N] [--soak-minutes M] [--toggle-seconds T] [--size WxH] [--work DIR]\n"
    "                 [--no-ffmpeg]\n"
    "  --seconds N         length of the play-and-record run and of the FFmpeg run (default 60)\n"
    "  --soak-minutes M    length of the long run, recording on and off (default 10; 0 skips it)\n"
    "  --toggle-seconds T  recording switched every T seconds in the long run (default 30)\n"
    "  --size WxH          picture size of the broadcast (default 320x240, 25 fps)\n"
    "  --work DIR          work directory, kept afterwards (default build/playbench beside bin/)\n"
    "  --no-ffmpeg         skip the FFmpeg run\n";

const char kTitle[] = "Bench";
const char kSettingsKey[] = "HKCU\\SOFTWARE\\Orvanne\\Tarnwick";

struct Options {
    int seconds = 60;
    double soakMinutes = 10;
    int toggleSeconds = 30;
    std::string size = "320x240";
    std::string work;
    bool ffmpeg = true;
};

bool ParseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--no-ffmpeg") {
            o.ffmpeg = false;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        std::string v = argv[++i];
        char *end = nullptr;
        double n = std::strtod(v.c_str(), &end);
        bool number = !v.empty() && *end == '\0';
        if (arg == "--seconds" && number && n >= 5 && n <= 3600)
            o.seconds = int(n);
        else if (arg == "--soak-minutes" && number && n >= 0 && n <= 24 * 60)
            o.soakMinutes = n;
        else if (arg == "--toggle-seconds" && number && n >= 2 && n <= 3600)
            o.toggleSeconds = int(n);
        else if (arg == "--size")
            o.size = v;
        else if (arg == "--work")
            o.work = v;
        else
            return false;
    }
    return true;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double Mb(long kb)
{
    return double(kb) / 1024.0;
}

[[noreturn]] void Fail(const std::string &what, const std::string &hint)
{
    StopAllChildren();
    std::fprintf(stderr, "playbench: %s\n  %s\n", what.c_str(), hint.c_str());
    std::exit(1);
}

// The run's world: programs, work directory, the demo registry and the broadcast.
struct Bench {
    std::string bin, work, registry, url;
    std::vector<std::pair<std::string, std::string>> Env() const
    {
        return {{"TARNWICK_REGISTRY", registry}, {"QT_QPA_PLATFORM", "offscreen"}};
    }
    std::string Bin(const char *name) const { return bin + "/" + name; }
    std::string Work(const std::string &name) const { return work + "/" + name; }
    void Setting(const char *name, const std::string &value) const
    {
        if (RunToEnd({Bin("reg"), "add", kSettingsKey, "/v", name, "/t", "REG_SZ", "/d", value, "/f"}, Env(),
                     Work("reg.log"), 20000) != 0)
            Fail(std::string("cannot write the setting ") + name, "see " + Work("reg.log"));
    }
};

// One run of Tarnwick through the launcher with a UI script.
struct TarnwickRun {
    Usage used;
    int exitCode = -1;
    bool graphRunning = false, framed = false;
    double toGraph = 0, toFrame = 0, wall = 0, playing = 0;   // seconds
    std::vector<std::pair<double, long>> rss;                 // seconds since the graph ran, kB
    std::vector<std::string> boxes;
};

TarnwickRun RunTarnwick(const Bench &b, const std::string &name, const std::string &script, int timeoutSeconds,
                        int sampleEveryMs)
{
    std::ofstream(b.Work(name + ".script")) << script;
    fs::remove(b.Work(name + ".ui.log"));
    auto env = b.Env();
    env.push_back({"TARNWICK_UI_SCRIPT", b.Work(name + ".script")});
    env.push_back({"TARNWICK_UI_LOG", b.Work(name + ".ui.log")});
    UiLogWatch watch(b.Work(name + ".ui.log"));
    TarnwickRun run;
    Child tarnwick;
    const Clock::time_point start = Clock::now();
    if (!tarnwick.Start({b.Bin("Tarnwick"), b.url}, env, b.Work(name + ".log")))
        Fail("cannot start " + b.Bin("Tarnwick"), "build it: cmake --build build");
    const std::string caption = std::string("caption\tlive [") + kTitle + "]";
    Clock::time_point graph{}, nextSample = start;
    while (!tarnwick.Ended()) {
        Clock::time_point now = Clock::now();
        watch.Poll();
        if (!run.graphRunning && watch.Seen(caption, &graph))
            run.graphRunning = true;
        if (run.graphRunning && now >= nextSample) {
            run.rss.push_back({Seconds(now - graph), tarnwick.RssKb()});
            nextSample = now + std::chrono::milliseconds(sampleEveryMs);
        }
        if (StopRequested() || now - start > std::chrono::seconds(timeoutSeconds)) {
            tarnwick.Stop();
            Fail(StopRequested() ? "stopped" : "Tarnwick did not finish within " + std::to_string(timeoutSeconds) + " s",
                 "see " + b.Work(name + ".ui.log") + " and " + b.Work(name + ".log"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const Clock::time_point end = Clock::now();
    watch.Poll();
    Clock::time_point frame{};
    run.framed = watch.Seen("video\tshown", &frame);
    for (const auto &line : watch.Lines())
        if (line.text.compare(0, 11, "messagebox\t") == 0 || line.text.compare(0, 14, "script\tfailed\t") == 0)
            run.boxes.push_back(line.text);
    run.used = tarnwick.Used();
    run.exitCode = tarnwick.ExitCode();
    run.wall = Seconds(end - start);
    run.toGraph = Seconds(graph - start);
    run.toFrame = Seconds(frame - start);
    run.playing = run.graphRunning ? Seconds(end - graph) : 0;
    if (run.exitCode != 0 || !run.graphRunning || !run.boxes.empty()) {
        for (const std::string &box : run.boxes)
            std::fprintf(stderr, "  %s\n", box.c_str());
        Fail("Tarnwick's run failed (exit code " + std::to_string(run.exitCode) + ")",
             "see " + b.Work(name + ".ui.log") + " and " + b.Work(name + ".log"));
    }
    return run;
}

size_t CountRecordings(const std::string &dir, uintmax_t *bytes)
{
    size_t n = 0;
    *bytes = 0;
    for (const auto &e : fs::directory_iterator(dir))
        if (e.path().extension() == ".asf") {
            ++n;
            *bytes += e.file_size();
        }
    return n;
}

void ClearRecordings(const std::string &dir)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    InstallStopHandlers();
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Bench b;
    std::error_code noExe;
    b.bin = fs::read_symlink("/proc/self/exe", noExe).parent_path().string();   // the tools are built beside it
    if (b.bin.empty())
        b.bin = ".";
    b.work = o.work.empty() ? fs::path(b.bin).parent_path().string() + "/playbench" : o.work;
    fs::create_directories(b.work);
    b.work = fs::canonical(b.work).string();
    b.registry = b.Work("registry.db");
    const std::string recordings = b.Work("recordings");
    ClearRecordings(recordings);

    // The broadcast: a clip looped live by the stream server on a free port.
    std::printf("Making a 30 s %s clip and starting the stream server in %s\n", o.size.c_str(), b.work.c_str());
    if (RunToEnd({b.Bin("clipmaker"), "--out", b.Work("bench.asf"), "--seconds", "30", "--size", o.size, "--fps", "25",
                  "--gop", "25", "--title", kTitle},
                 {}, b.Work("clipmaker.log"), 300000) != 0)
        Fail("the clip maker failed", "see " + b.Work("clipmaker.log"));
    Child server;
    if (!server.Start({b.Bin("stream-server"), "--root", b.work, "--listen", "127.0.0.1:0", "--live", "bench.asf"}, {},
                      b.Work("stream-server.log")))
        Fail("cannot start the stream server", "build it: cmake --build build");
    int port = 0;
    for (int i = 0; i < 200 && port == 0 && !server.Ended(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream log(b.Work("stream-server.log"));
        std::string first;
        if (std::getline(log, first) && !log.eof())
            port = std::atoi(first.c_str());
    }
    if (port <= 0)
        Fail("the stream server did not start", "see " + b.Work("stream-server.log"));
    b.url = "http://127.0.0.1:" + std::to_string(port) + "/live";

    // Its own settings: no update check, recordings into the work directory.
    fs::remove(b.registry);
    b.Setting("AutoUpdate", "Never");
    b.Setting("SaveDirectory", recordings);
    if (RunToEnd({b.Bin("regsvr32"), "/s", b.Bin("Kestrin.ax")}, b.Env(), b.Work("regsvr32.log"), 20000) != 0)
        Fail("cannot register the recording filter", "see " + b.Work("regsvr32.log"));

    const std::string waitForGraph = std::string("wait \"live [") + kTitle + "]\" 60000\nsleep 500\n";

    // 1. Tarnwick plays and records for the whole run.
    std::printf("Tarnwick: playing and recording %s for %d s\n", b.url.c_str(), o.seconds);
    TarnwickRun t = RunTarnwick(b,
                                "tarnwick",
                                waitForGraph + "key R\nsleep " + std::to_string(o.seconds * 1000) + "\nkey R\nquit\n",
                                o.seconds + 120, 1000);
    uintmax_t bytes = 0;
    size_t files = CountRecordings(recordings, &bytes);
    std::printf("  ran %.1f s, played %.1f s, %zu recording of %.1f MB\n", t.wall, t.playing, files, double(bytes) / 1e6);

    // 2. FFmpeg: a copy and a decode of the same broadcast at the same time.
    Usage copyUsed, decodeUsed;
    double ffWall = 0;
    if (o.ffmpeg) {
        std::printf("FFmpeg: -c copy and -f null on the same broadcast for %d s\n", o.seconds);
        const std::string secs = std::to_string(o.seconds);
        Child copy, decode;
        const Clock::time_point start = Clock::now();
        bool started = copy.Start({"/usr/bin/ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", b.url,
                                   "-t", secs, "-c", "copy", b.Work("ffmpeg-copy.asf")},
                                  {}, b.Work("ffmpeg-copy.log")) &&
                       decode.Start({"/usr/bin/ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i", b.url,
                                     "-t", secs, "-f", "null", "-"},
                                    {}, b.Work("ffmpeg-decode.log"));
        if (!started)
            Fail("cannot start /usr/bin/ffmpeg", "install the Debian package ffmpeg");
        const int limitMs = (o.seconds + 120) * 1000;
        if (!copy.WaitEnd(limitMs) || !decode.WaitEnd(limitMs))
            Fail("FFmpeg did not finish in time", "see " + b.Work("ffmpeg-copy.log") + " and ffmpeg-decode.log");
        ffWall = Seconds(Clock::now() - start);
        if (copy.ExitCode() != 0 || decode.ExitCode() != 0)
            Fail("FFmpeg failed", "see " + b.Work("ffmpeg-copy.log") + " and " + b.Work("ffmpeg-decode.log"));
        copyUsed = copy.Used();
        decodeUsed = decode.Used();
        std::printf("  ran %.1f s, copy of %.1f MB\n", ffWall, double(fs::file_size(b.Work("ffmpeg-copy.asf"))) / 1e6);
    }

    // 3. The long run: recording switched on and off every T seconds.
    TarnwickRun soak;
    int toggles = int(std::lround(o.soakMinutes * 60 / o.toggleSeconds));
    size_t soakFiles = 0;
    if (toggles > 0) {
        std::printf("Tarnwick: playing for %.4g min, recording on and off every %d s (memory sampled every 5 s)\n",
                    o.soakMinutes, o.toggleSeconds);
        ClearRecordings(recordings);
        std::string script = waitForGraph;
        for (int i = 0; i < toggles; ++i)
            script += "key R\nsleep " + std::to_string(o.toggleSeconds * 1000) + "\n";
        if (toggles % 2)
            script += "key R\n";
        soak = RunTarnwick(b, "soak", script + "quit\n", int(o.soakMinutes * 60) + 180, 5000);
        soakFiles = CountRecordings(recordings, &bytes);
    }
    server.Stop();

    // The figures.
    const double perSecondT = t.used.cpuSeconds / t.playing;
    std::printf("\n== %d s of a live %s 25 fps broadcast (WMV2 + WMA2) on loopback ==\n", o.seconds, o.size.c_str());
    std::printf("%-34s %14s %24s\n", "", "Tarnwick", "FFmpeg copy + decode");
    if (o.ffmpeg) {
        const double ffCpu = copyUsed.cpuSeconds + decodeUsed.cpuSeconds;
        const double perSecondF = ffCpu / o.seconds;
        std::printf("%-34s %14.1f %24.1f\n", "CPU seconds (user + system)", t.used.cpuSeconds, ffCpu);
        std::printf("%-34s %14.1f %24d\n", "stream seconds", t.playing, o.seconds);
        std::printf("%-34s %14.4f %24.4f   ratio %.2fx\n", "CPU seconds per stream second", perSecondT, perSecondF,
                    perSecondT / perSecondF);
        std::printf("%-34s %14.1f %15.1f + %.1f = %.1f   ratio %.2fx\n", "peak memory (RSS, MB)", Mb(t.used.peakRssKb),
                    Mb(copyUsed.peakRssKb), Mb(decodeUsed.peakRssKb), Mb(copyUsed.peakRssKb + decodeUsed.peakRssKb),
                    double(t.used.peakRssKb) / double(copyUsed.peakRssKb + decodeUsed.peakRssKb));
    } else {
        std::printf("%-34s %14.4f\n", "CPU seconds per stream second", perSecondT);
        std::printf("%-34s %14.1f\n", "peak memory (RSS, MB)", Mb(t.used.peakRssKb));
    }
    std::printf("%-34s %14.3f\n", "start to graph running (s)", t.toGraph);
    if (t.framed)
        std::printf("%-34s %14.3f\n", "start to first video picture (s)", t.toFrame);
    else
        std::printf("%-34s %14s\n", "start to first video picture (s)", "none shown");

    if (toggles > 0) {
        std::printf("\n== memory over %.4g min of live playback, recording on and off every %d s ==\n", o.soakMinutes,
                    o.toggleSeconds);
        // One sample per phase, taken near its end, so that like is compared with like.
        std::vector<std::pair<double, long>> offEnds;
        for (int phase = 0; phase <= toggles; ++phase) {
            const double at = phase * o.toggleSeconds + 0.5 - 3;   // three seconds before the switch
            auto it = std::min_element(soak.rss.begin(), soak.rss.end(), [&](const auto &a, const auto &b2) {
                return std::fabs(a.first - at) < std::fabs(b2.first - at);
            });
            if (it == soak.rss.end() || phase == 0)
                continue;
            const bool recording = phase % 2 == 1;
            std::printf("  %6.0f s  RSS %7.1f MB  (recording %s)\n", it->first, Mb(it->second), recording ? "on" : "off");
            if (!recording)
                offEnds.push_back(*it);
        }
        if (offEnds.size() >= 2) {
            const long growth = offEnds.back().second - offEnds.front().second;
            std::printf("  growth from the end of the first to the end of the last phase without recording: %+.1f MB "
                        "over %.1f min\n",
                        Mb(growth), (offEnds.back().first - offEnds.front().first) / 60);
        }
        long low = 0, high = 0;
        for (const auto &s : soak.rss)
            if (s.first >= 2.0 * o.toggleSeconds) {
                low = low == 0 ? s.second : std::min(low, s.second);
                high = std::max(high, s.second);
            }
        std::printf("  after the first cycle: RSS between %.1f and %.1f MB; peak %.1f MB; %zu recordings\n", Mb(low),
                    Mb(high), Mb(soak.used.peakRssKb), soakFiles);
    }
    return 0;
}
