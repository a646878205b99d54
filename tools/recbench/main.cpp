// recbench: feeds the samples of a clip through the Kestrin filter's two pins
// into a recording as fast as the filter takes them, and compares wall time,
// throughput and peak memory with a libavformat remux of the same packets.
// Each way runs in a child process of its own, so that peak memory is its own.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "packets.h"
#include "runs.h"

extern char **environ;

namespace {

const char kUsage[] =
    "usage: recbench [--clip FILE.asf] [--seconds N] [--size WxH] [--repeat N] [--keep DIR]\n"
    "  --clip FILE   clip to record (default: one made with clipmaker)\n"
    "  --seconds N   length of the clip made (default 60)\n"
    "  --size WxH    picture size of the clip made (default 640x480)\n"
    "  --repeat N    recordings per way (default 5)\n"
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

// Child: one way, printing "seconds bytes peakKiB" on its last line.
int RunChild(const std::string &mode, const std::string &clipPath, const std::string &outPath, int repeat)
{
    BenchClip clip;
    std::string error;
    if (!LoadClip(clipPath, clip, error)) {
        fprintf(stderr, "recbench: %s\n", error.c_str());
        return 1;
    }
    double seconds = mode == "remux" ? RunRemux(clip, outPath, repeat, error)
                                     : RunKestrin(clip, outPath, repeat, mode == "kestrin", error);
    if (seconds < 0) {
        fprintf(stderr, "recbench (%s): %s\n", mode.c_str(), error.c_str());
        return 1;
    }
    printf("RESULT %.6f %llu %ld %.3f %zu\n", seconds, static_cast<unsigned long long>(clip.bytes) * repeat,
           PeakMemoryKiB(), clip.seconds, clip.packets.size());
    return 0;
}

struct Figures {
    double seconds = 0;
    unsigned long long bytes = 0;
    long peakKiB = 0;
    double clipSeconds = 0;
    size_t packets = 0;
};

bool Measure(const std::string &self, const std::string &mode, const std::string &clip, const std::string &out,
             int repeat, Figures &f)
{
    std::string output;
    int rc = Run({self, "--child", mode, clip, out, std::to_string(repeat)}, output);
    const char *line = strstr(output.c_str(), "RESULT ");
    if (rc != 0 || !line)
        return false;
    return sscanf(line, "RESULT %lf %llu %ld %lf %zu", &f.seconds, &f.bytes, &f.peakKiB, &f.clipSeconds,
                  &f.packets) == 5;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 6 && strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], argv[3], argv[4], atoi(argv[5]));

    std::string clip, keep, size = "640x480";
    int seconds = 60, repeat = 5;
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
        else if (opt == "--keep")
            keep = value;
        else {
            fprintf(stderr, "recbench: unknown option %s\n\n%s", opt.c_str(), kUsage);
            return 2;
        }
    }
    if (seconds <= 0 || repeat <= 0) {
        fprintf(stderr, "recbench: --seconds and --repeat want numbers above 0\n");
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
    }
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
    Figures k, k1, r;
    const char *failed = nullptr;
    if (!Measure(self, "kestrin", clip, dir + "/kestrin.asf", repeat, k))
        failed = "Kestrin (two threads)";
    else if (!Measure(self, "kestrin1", clip, dir + "/kestrin1.asf", repeat, k1))
        failed = "Kestrin (one thread)";
    else if (!Measure(self, "remux", clip, dir + "/remux.asf", repeat, r))
        failed = "remux";
    if (failed) {
        fprintf(stderr, "recbench: the %s run failed\n", failed);
        cleanUp();
        return 1;
    }

    printf("clip: %s, %.1f s, %zu packets, %.2f MB; %d recordings each\n", clip.c_str(), k.clipSeconds, k.packets,
           k.bytes / 1e6 / repeat, repeat);
    printf("%-28s %10s %10s %12s %14s\n", "", "wall s", "MB/s", "peak MiB", "x real time");
    auto row = [&](const char *name, const Figures &f) {
        printf("%-28s %10.3f %10.1f %12.1f %14.0f\n", name, f.seconds, f.bytes / 1e6 / f.seconds, f.peakKiB / 1024.0,
               f.clipSeconds * repeat / f.seconds);
    };
    row("Kestrin, pin threads", k);
    row("Kestrin, one thread", k1);
    row("libavformat remux (copy)", r);
    printf("ratio Kestrin / remux: wall time %.2f (one thread %.2f), peak memory %.2f\n", k.seconds / r.seconds,
           k1.seconds / r.seconds, static_cast<double>(k.peakKiB) / static_cast<double>(r.peakKiB));
    printf("(pin threads: a video and an audio thread take turns in file order, one hand-over per change of kind)\n");
    cleanUp();
    return 0;
}
