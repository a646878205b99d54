// graphbench: plays a 60 s stream (320x240 WMV2 at 25 fps with a key frame every
// 2 s, and WMA) from the stream server, on demand over plain HTTP and as the live
// broadcast, in real time through the filter graph (silent audio renderer, VMR9
// into an offscreen window), and decodes the same stream with libavformat and
// libavcodec alone. It prints CPU seconds per stream-second, the time from
// opening to the first picture, the audio/video presentation offset, dropped
// frames and peak memory of each. Each run is a child process of its own.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "runs.h"
#include "serverprocess.h"
#include "twtesting.h"

namespace {

const char kUsage[] =
    "usage: graphbench [--seconds N] [--clip FILE.asf] [--repeat N] [--only graph|decode] [--stream ondemand|live]\n"
    "  --seconds N   length of the clip made, and of the broadcast played (default 60)\n"
    "  --clip FILE   clip to serve (default: one made with clipmaker, 320x240 WMV2 + WMA)\n"
    "  --repeat N    runs of each way (default 1)\n"
    "  --only WAY    run only the graph or only the decoding\n"
    "  --stream S    play only on demand or only the broadcast\n";

std::string Self()
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "graphbench";
    path[n] = 0;
    return path;
}

int Child(int argc, char **argv)
{
    // --child graph|decode URL SECONDS
    if (argc != 5)
        return 2;
    std::string way = argv[2], url = argv[3];
    double seconds = std::atof(argv[4]);
    PlayFigures f;
    int rc;
    if (way == "graph") {
        // The benchmark plays silently: no sound server is looked for.
        unsetenv("PULSE_SERVER");
        unsetenv("XDG_RUNTIME_DIR");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        rc = RunGraph(url, seconds, f);
    } else {
        rc = RunDecode(url, seconds, f);
    }
    std::printf("%s\n", FormatFigures(f).c_str());
    return rc;
}

void PrintRow(const char *stream, const char *way, const PlayFigures &f)
{
    double perSecond = f.streamSeconds > 0 ? f.cpuSeconds / f.streamSeconds : 0;
    auto ms = [](double v, char *buf) {
        if (v < 0)
            std::snprintf(buf, 16, "%9s", "-");
        else
            std::snprintf(buf, 16, "%9.1f", v);
        return buf;
    };
    char a[16], b[16], c[16];
    std::printf("%-10s %-7s %8.4f %9.2f %9.1f %s %s %s %7ld %9ld %8.1f%s\n", stream, way, perSecond,
                perSecond * 60, f.streamSeconds, ms(f.firstFrameMs, a), ms(f.avMedianMs, b), ms(f.avMaxMs, c),
                f.dropped, f.presented, f.peakKiB / 1024.0, f.audioToDevice ? "  (audio to a sound server!)" : "");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return Child(argc, argv);
    double seconds = 60;
    int repeat = 1;
    std::string clip, only, streamOnly;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--seconds" && more)
            seconds = std::atof(argv[++i]);
        else if (a == "--clip" && more)
            clip = argv[++i];
        else if (a == "--repeat" && more)
            repeat = std::atoi(argv[++i]);
        else if (a == "--only" && more)
            only = argv[++i];
        else if (a == "--stream" && more)
            streamOnly = argv[++i];
        else {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
    }
    if (seconds <= 0 || repeat <= 0 || (!only.empty() && only != "graph" && only != "decode") ||
        (!streamOnly.empty() && streamOnly != "ondemand" && streamOnly != "live")) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    twtest::TempDir dir;
    std::string served = dir.file("clip.asf");
    char length[32];
    std::snprintf(length, sizeof length, "%g", seconds);
    if (clip.empty()) {
        std::printf("graphbench: making a %s s clip with clipmaker...\n", length);
        std::fflush(stdout);
        twtest::ProcessResult made = twtest::RunProcess({twtest::BinPath("clipmaker"), "--out", served, "--seconds",
                                                         length, "--size", "320x240", "--fps", "25", "--gop", "50",
                                                         "--title", "graphbench"});
        if (made.exitCode != 0) {
            std::fprintf(stderr, "graphbench: clipmaker failed:\n%s", made.output.c_str());
            return 1;
        }
    } else if (symlink(clip.c_str(), served.c_str()) != 0) {
        std::fprintf(stderr, "graphbench: cannot use %s\n", clip.c_str());
        return 1;
    }
    // On demand over plain HTTP (an ordinary web server); the broadcast over the
    // HTTP streaming protocol.
    strsrvtest::StreamServerProcess web(dir.path(), {"--plain"});
    strsrvtest::StreamServerProcess server(dir.path(), {"--live", "clip.asf"});
    if (!web.Ok() || !server.Ok()) {
        std::fprintf(stderr, "graphbench: the stream server did not start:\n%s%s", web.Log().c_str(),
                     server.Log().c_str());
        return 1;
    }
    struct Stream {
        const char *name, *key;
        std::string graphUrl, decodeUrl;
        double seconds;     // 0: to the end
    };
    std::vector<Stream> streams = {
        {"on demand", "ondemand", web.Base() + "/clip.asf", web.Base() + "/clip.asf", 0},
        {"live", "live", server.Base() + "/live", server.Base("mmsh") + "/live", seconds}};
    std::printf("graphbench: %s s of 320x240 WMV2 25 fps (a key frame every 2 s) + WMA, in real time: on demand\n"
                "over plain HTTP from %s, the broadcast from %s/live\n",
                length, web.Base().c_str(), server.Base().c_str());
    std::fflush(stdout);
    std::printf("%-10s %-7s %8s %9s %9s %9s %9s %9s %7s %9s %8s\n", "stream", "way", "CPU/s", "CPU/60s", "played s",
                "first ms", "A/V med", "A/V max", "dropped", "frames", "peak MiB");
    int failures = 0;
    for (const Stream &s : streams) {
        if (!streamOnly.empty() && streamOnly != s.key)
            continue;
        for (const char *way : {"graph", "decode"}) {
            if (!only.empty() && only != way)
                continue;
            for (int r = 0; r < repeat; ++r) {
                char secs[32];
                std::snprintf(secs, sizeof secs, "%g", s.seconds);
                const std::string &url = std::strcmp(way, "graph") == 0 ? s.graphUrl : s.decodeUrl;
                twtest::ProcessResult run = twtest::RunProcess({Self(), "--child", way, url, secs});
                PlayFigures f;
                if (run.exitCode != 0 || !ParseFigures(run.output, f)) {
                    std::fprintf(stderr, "graphbench: the %s run on %s failed:\n%s", way, s.name, run.output.c_str());
                    ++failures;
                    continue;
                }
                PrintRow(s.name, way, f);
            }
        }
    }
    std::printf("goals: graph CPU <= 1.4 s per 60 s (decoding alone 1.1 s), peak < 60 MiB, first picture <= 150 ms "
                "on demand and <= 1700 ms live, A/V offset <= 40 ms, no drops\n");
    return failures ? 1 : 0;
}
