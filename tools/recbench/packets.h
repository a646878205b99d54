// The packets of a clip held in memory, as both benchmark runs consume them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;

struct BenchPacket {
    int streamIndex = 0;
    bool video = false;
    bool key = false;
    int64_t time100ns = 0; // presentation time in 100-nanosecond units
    std::vector<uint8_t> data;
};

struct BenchClip {
    std::string path;
    std::vector<BenchPacket> packets; // in file order
    uint64_t bytes = 0;
    double seconds = 0;
};

bool LoadClip(const std::string &path, BenchClip &clip, std::string &error);

// Whether the clip has what the recording filter records, a video and an audio
// stream; else says what is missing. (The filter refuses anything else with a
// box that nobody would answer.)
bool HasVideoAndAudio(const std::string &path, std::string &error);

// Peak resident memory of this process in KiB (VmHWM).
long PeakMemoryKiB();
