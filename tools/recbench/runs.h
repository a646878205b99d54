// The two ways of recording a clip that the benchmark compares.
#pragma once
#include <string>

#include "packets.h"

// What one way took for its recordings: wall time, and the CPU time of the
// whole process (every thread) in user and kernel mode, in seconds.
struct RunTimes {
    double wall = -1;
    double user = 0;
    double system = 0;
    // The least CPU time one recording took: a figure that other work on a
    // busy machine hardly raises.
    double minCpu = 0;
    double Cpu() const { return user + system; }
    // Adds the times of one recording.
    void Add(const RunTimes &one);
};

// Records the clip repeat times through the Kestrin filter's pins, in file order:
// video and audio each delivered by a thread of its own, taking turns, or all from
// one thread. wall is negative on failure.
RunTimes RunKestrin(const BenchClip &clip, const std::string &outPath, int repeat, bool twoThreads,
                    std::string &error);

// Writes the same packets repeat times with libavformat's ASF muxer, as a remux
// with stream copy does. wall is negative on failure.
RunTimes RunRemux(const BenchClip &clip, const std::string &outPath, int repeat, std::string &error);

// Removes the file an earlier recording left at path, before the clock starts:
// each recording then creates a new file, as the recorder does (a new name for
// every recording), rather than truncating one full of the last pass's data.
void RemoveEarlierRecording(const std::string &path);

// Measures the time from its construction to Stop.
class RunClock {
public:
    RunClock();
    RunTimes Stop() const;

private:
    double m_wall, m_user, m_system;
};
