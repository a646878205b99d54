// recbench: feeds the samples of a clip through the Kestrin filter's two pins
// into a recording as fast as the filter takes them, and compares CPU time, wall
// time, throughput and peak memory with a libavformat remux of the same packets.
// Each way runs in a child process of its own, so that peak memory is its own;
// the ways take turns for a number of runs and the medians are shown, so that a
// machine busy with other work shows less in the figures.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "packets.h"
#include "runs.h"

extern char **environ;

namespace {

const char kUsage[] =
    "usage: recbench [--clip FILE.asf] [--seconds N] [--size WxH] [--repeat N] [--runs N] [--keep DIR]\n"
    "  --clip FILE   clip to record (default: one made with clipmaker)\n"
    "  --seconds N   length of the clip made (default 60)\n"
    "  --size WxH    picture size of the clip made (default 640x480)\n"
    "  --repeat N    recordings per run (default 5)\n"
    "  --runs N      runs per way, taking turns; the medians are shown (default 3)\n"
    "  --keep DIR    work directory, kept afterwards (default: a temporary one, removed)\n";

std::string ExecutableDir()
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    path[n] = 0;
    std::string s(path);
    return s.substr(0, s.rfind('/'));
}

// Runs a program to its end; its standard output in out.
int Run(const std::vector<std::string> &args, std::string &out)
{
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipefd[0]);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipefd[1]);
    if (rc != 0) {
        close(pipefd[0]);
        return -1;
    }
    char buf[4096];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Child: one way, printing "wall user system minCpu bytes peakKiB clipSeconds
// packets" on its last line.
int RunChild(const std::string &mode, const std::string &clipPath, const std::string &outPath, int repeat)
{
    BenchClip clip;
    std::string error;
    if (!LoadClip(clipPath, clip, error)) {
        fprintf(stderr, "recbench: %s\n", error.c_str());
        return 1;
    }
    RunTimes t = mode == "remux" ? RunRemux(clip, outPath, repeat, error)
                                 : RunKestrin(clip, outPath, repeat, mode == "kestrin", error);
    if (t.wall < 0) {
        fprintf(stderr, "recbench (%s): %s\n", mode.c_str(), error.c_str());
        return 1;
    }
    printf("RESULT %.6f %.6f %.6f %.6f %llu %ld %.3f %zu\n", t.wall, t.user, t.system, t.minCpu,
           static_cast<unsigned long long>(clip.bytes) * repeat, PeakMemoryKiB(), clip.seconds, clip.packets.size());
    return 0;
}

struct Figures {
    double wall = 0, user = 0, system = 0, minCpu = 0;
    unsigned long long bytes = 0;
    long peakKiB = 0;
    double clipSeconds = 0;
    size_t packets = 0;
    double Cpu() const { return user + system; }
};

bool Measure(const std::string &self, const std::string &mode, const std::string &clip, const std::string &out,
             int repeat, Figures &f)
{
    std::string output;
    int rc = Run({self, "--child", mode, clip, out, std::to_string(repeat)}, output);
    const char *line = strstr(output.c_str(), "RESULT ");
    if (rc != 0 || !line)
        return false;
    return sscanf(line, "RESULT %lf %lf %lf %lf %llu %ld %lf %zu", &f.wall, &f.user, &f.system, &f.minCpu, &f.bytes,
                  &f.peakKiB, &f.clipSeconds, &f.packets) == 8;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median of each time over the runs of one way; the least CPU time of one
// recording and the highest peak memory over all.
Figures Medians(const std::vector<Figures> &runs)
{
    Figures m = runs.front();
    auto median = [&](double Figures::*field) {
        std::vector<double> values;
        for (const Figures &f : runs)
            values.push_back(f.*field);
        return Median(values);
    };
    m.wall = median(&Figures::wall);
    m.user = median(&Figures::user);
    m.system = median(&Figures::system);
    for (const Figures &f : runs) {
        m.peakKiB = std::max(m.peakKiB, f.peakKiB);
        m.minCpu = std::min(m.minCpu, f.minCpu);
    }
    return m;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 6 && strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], argv[3], argv[4], atoi(argv[5]));

    std::string clip, keep, size = "640x480";
    int seconds = 60, repeat = 5, runs = 3;
    for (int i = 1; i < argc; i++) {
        std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "recbench: %s needs a value\n\n%s", opt.c_str(), kUsage);
            return 2;
        }
        std::string value = argv[++i];
        if (opt == "--clip")
            clip = value;
        else if (opt == "--seconds")
            seconds = atoi(value.c_str());
        else if (opt == "--size")
            size = value;
        else if (opt == "--repeat")
            repeat = atoi(value.c_str());
        else if (opt == "--runs")
            runs = atoi(value.c_str());
        else if (opt == "--keep")
            keep = value;
        else {
            fprintf(stderr, "recbench: unknown option %s\n\n%s", opt.c_str(), kUsage);
            return 2;
        }
    }
    if (seconds <= 0 || repeat <= 0 || runs <= 0) {
        fprintf(stderr, "recbench: --seconds, --repeat and --runs want numbers above 0\n");
        return 2;
    }
    if (!clip.empty()) {
        std::string error;
        if (!HasVideoAndAudio(clip, error)) {
            fprintf(stderr, "recbench: %s\n", error.c_str());
            return 2;
        }
    }

    std::string dir = keep;
    if (dir.empty()) {
        char tmpl[] = "/tmp/recbench.XXXXXX";
        if (!mkdtemp(tmpl)) {
            fprintf(stderr, "recbench: cannot create a work directory\n");
            return 1;
        }
        dir = tmpl;
    } else {
        mkdir(dir.c_str(), 0777);
    }
    // A recording the filter cannot create would end in a warning box that nobody
    // answers: the work directory must take files before the runs start.
    FILE *probe = fopen((dir + "/kestrin.asf").c_str(), "wb");
    if (!probe) {
        fprintf(stderr, "recbench: cannot write files in %s\n", dir.c_str());
        return 1;
    }
    fclose(probe);
    // The temporary work directory goes on every way out.
    auto cleanUp = [&] {
        if (keep.empty()) {
            std::string ignored;
            Run({"/bin/rm", "-rf", dir}, ignored);
        }
    };
    std::string bin = ExecutableDir();
    if (clip.empty()) {
        clip = dir + "/clip.asf";
        std::string ignored;
        int rc = Run({bin + "/clipmaker", "--out", clip, "--seconds", std::to_string(seconds), "--size", size,
                      "--title", "recbench"},
                     ignored);
        if (rc != 0) {
            fprintf(stderr, "recbench: clipmaker failed (%d)\n", rc);
            cleanUp();
            return 1;
        }
    }

    std::string self = bin + "/recbench";
    struct Way {
        const char *mode, *name, *file;
        std::vector<Figures> runs;
    } ways[] = {{"kestrin", "Kestrin, pin threads", "/kestrin.asf", {}},
                {"kestrin1", "Kestrin, one thread", "/kestrin1.asf", {}},
                {"remux", "libavformat remux (copy)", "/remux.asf", {}}};
    for (int run = 0; run < runs; run++) {
        fprintf(stderr, "recbench: run %d of %d\r", run + 1, runs);
        for (Way &way : ways) {
            Figures f;
            if (!Measure(self, way.mode, clip, dir + way.file, repeat, f)) {
                fprintf(stderr, "recbench: the %s run failed\n", way.name);
                cleanUp();
                return 1;
            }
            way.runs.push_back(f);
        }
    }
    fprintf(stderr, "\n");
    const Figures k = Medians(ways[0].runs), k1 = Medians(ways[1].runs), r = Medians(ways[2].runs);

    printf("clip: %s, %.1f s, %zu packets, %.2f MB\n", clip.c_str(), k.clipSeconds, k.packets, k.bytes / 1e6 / repeat);
    printf("%d recordings per run, %d run%s per way taking turns: medians of the runs\n", repeat, runs,
           runs == 1 ? "" : "s");
    printf("%-26s %8s %8s %8s %12s %9s %9s %9s %12s\n", "", "CPU s", "user s", "system s", "least CPU ms",
           "wall s", "MB/s", "peak MiB", "x real time");
    for (size_t i = 0; i < 3; i++) {
        const Figures &f = i == 0 ? k : i == 1 ? k1 : r;
        printf("%-26s %8.3f %8.3f %8.3f %12.2f %9.3f %9.1f %9.1f %12.0f\n", ways[i].name, f.Cpu(), f.user, f.system,
               f.minCpu * 1000, f.wall, f.bytes / 1e6 / f.wall, f.peakKiB / 1024.0, f.clipSeconds * repeat / f.wall);
    }
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    for (const Figures *f : {&k1, &k})
        printf("ratio %s / remux: CPU %.2f, least CPU of a recording %.2f, wall %.2f, peak memory %.2f\n",
               f == &k1 ? "Kestrin, one thread" : "Kestrin, pin threads", ratio(f->Cpu(), r.Cpu()),
               ratio(f->minCpu, r.minCpu), ratio(f->wall, r.wall),
               ratio(static_cast<double>(f->peakKiB), static_cast<double>(r.peakKiB)));
    printf("(both ways start from the clip's packets in memory: Kestrin gets media samples over their bytes through\n"
           " its pins' Receive, the remux AVPackets pointing at them. A Kestrin recording: file name given, writer\n"
           " started, every sample queued and written, file finished, filter stopped and run again (the writer hands\n"
           " its data to the disk once a second of wall time, which a recording this fast does not reach); a remux:\n"
           " open, header, packets, trailer, close.\n"
           " pin threads: a video and an audio thread take turns in file order, one hand-over per change of kind.\n"
           " CPU: user plus system time of every thread, the sum over the recordings of a run; least CPU: that of\n"
           " the cheapest single recording of all runs, which other work on the machine raises least)\n");
    cleanUp();
    return 0;
}
