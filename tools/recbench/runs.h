// The two ways of recording a clip that the benchmark compares.
#pragma once
#include <string>

#include "packets.h"

// Records the clip repeat times through the Kestrin filter's pins, in file order:
// video and audio each delivered by a thread of its own, taking turns, or all from
// one thread. Seconds taken, or a negative value.
double RunKestrin(const BenchClip &clip, const std::string &outPath, int repeat, bool twoThreads,
                  std::string &error);

// Writes the same packets repeat times with libavformat's ASF muxer, as a remux
// with stream copy does. Seconds taken, or a negative value.
double RunRemux(const BenchClip &clip, const std::string &outPath, int repeat, std::string &error);
