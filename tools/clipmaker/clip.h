// Encoding of a test clip: a moving test pattern as WMV and a tone as WMA,
// muxed into an ASF file.
#pragma once
#include <string>

struct ClipSettings {
    std::string out;
    double seconds = 10.0;
    int width = 320;
    int height = 240;
    int fps = 25;
    int gop = 0; // key-frame interval in frames; 0: one a second
    std::string title;
    std::string videoCodec = "wmv2"; // wmv1 or wmv2
    std::string audioCodec = "wmav2"; // wmav1 or wmav2
    bool video = true;
    bool audio = true;
    int toneHz = 1000;
    int sampleRate = 44100;
    int channels = 2;
    long videoBitrate = 400000;
    long audioBitrate = 128000;
};

// Writes the clip; on failure returns false with a message saying what failed.
bool MakeClip(const ClipSettings &settings, std::string &error);
