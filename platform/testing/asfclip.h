// Test clips: made with clipmaker, read back with libavformat.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <wmsdk.h>

namespace wmftest {

struct ClipStream {
    int id = 0; // ASF stream number
    int codecType = 0; // libavformat's media type
    bool isVideo = false;
    int codecId = 0;
    unsigned codecTag = 0;
    std::vector<uint8_t> extradata;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
};

struct ClipPacket {
    int streamId = 0;
    int64_t ptsMs = 0;
    int64_t durationMs = 0;
    bool key = false;
    std::vector<uint8_t> data;
};

struct Clip {
    std::vector<ClipStream> streams;
    std::vector<ClipPacket> packets; // in file order
    std::string title;
};

// Runs clipmaker with the given arguments after "--out path"; empty on success,
// else its output.
std::string MakeClip(const std::string &path, const std::vector<std::string> &args);

// The profile of a media file, built from its streams as libavformat reads them.
HRESULT ProfileOfFile(const std::string &path, IWMProfile **ppProfile);

// Reads every packet of an ASF file; false with a reason on failure.
bool ReadClip(const std::string &path, Clip &clip, std::string &error);

// The packets of one stream, in order.
std::vector<ClipPacket> StreamPackets(const Clip &clip, int streamId);

std::u16string Wide(const std::string &ascii);

} // namespace wmftest
