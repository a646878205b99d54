#include <cstdio>
#include <cstring>

#include <sys/resource.h>

#include "runs.h"

namespace {
const char kTag[] = "FIGURES ";
}

std::string FormatFigures(const PlayFigures &f)
{
    char line[512];
    std::snprintf(line, sizeof line, "%scpu=%.4f stream=%.4f first=%.2f avmed=%.2f avmax=%.2f presented=%ld "
                                     "dropped=%ld peak=%ld device=%d",
                  kTag, f.cpuSeconds, f.streamSeconds, f.firstFrameMs, f.avMedianMs, f.avMaxMs, f.presented,
                  f.dropped, f.peakKiB, f.audioToDevice ? 1 : 0);
    return line;
}

bool ParseFigures(const std::string &output, PlayFigures &f)
{
    size_t at = output.rfind(kTag);
    if (at == std::string::npos)
        return false;
    int device = 0;
    int n = std::sscanf(output.c_str() + at + std::strlen(kTag),
                        "cpu=%lf stream=%lf first=%lf avmed=%lf avmax=%lf presented=%ld dropped=%ld peak=%ld device=%d",
                        &f.cpuSeconds, &f.streamSeconds, &f.firstFrameMs, &f.avMedianMs, &f.avMaxMs, &f.presented,
                        &f.dropped, &f.peakKiB, &device);
    f.audioToDevice = device != 0;
    return n == 9;
}

double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakResidentKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
