// graphbench's two ways of playing a stream, each run in a child process of its
// own so that its CPU time and peak memory are its own.
#pragma once
#include <string>

struct PlayFigures {
    double cpuSeconds = 0;      // user + system CPU from opening the URL to the end
    double streamSeconds = 0;   // stream time played
    double firstFrameMs = -1;   // from opening the URL to the first picture presented (or decoded)
    double avMedianMs = -1;     // audio/video presentation offset, absolute (-1: not measured)
    double avMaxMs = -1;
    long presented = 0;         // video frames presented (or decoded)
    long dropped = 0;           // video frames dropped by the renderer
    long peakKiB = 0;           // the process's peak resident memory
    bool audioToDevice = false; // audio went to a sound server (the benchmark wants silence)
};

// Plays the URL through a filter graph (RenderFile with a windowless VMR9 in an
// offscreen window and the audio renderer in the graph beforehand) in real time:
// an on-demand stream to its end, a broadcast for `seconds`. 0 on success.
int RunGraph(const std::string &url, double seconds, PlayFigures &out);

// Decodes the URL's audio and video with libavformat and libavcodec, without
// rendering: an on-demand stream as fast as it comes, a broadcast for `seconds`.
int RunDecode(const std::string &url, double seconds, PlayFigures &out);

// The line a child prints last, and its reading in the parent.
std::string FormatFigures(const PlayFigures &f);
bool ParseFigures(const std::string &output, PlayFigures &f);

// CPU seconds (user + system) of this process so far, and its peak resident KiB.
double ProcessCpuSeconds();
long PeakResidentKiB();
