// Test clips: made with clipmaker, read back with libavformat.
#pragma once
#include <cstdint>
#include <cstddef>
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

// What differs between the streams of two clips (number, ids, codec, codec
// data, picture size, sample rate, channels), one line each; empty when nothing.
std::string StreamDifferences(const Clip &expected, const Clip &actual);

// The packets of one stream, in order.
std::vector<ClipPacket> StreamPackets(const Clip &clip, int streamId);

std::u16string Wide(const std::string &ascii);

// Entries of the file's simple index object; -1 without one.
long SimpleIndexEntries(const std::string &path);

// The maximum bit rate in the file's header (its file properties); -1 without one.
long HeaderMaxBitRate(const std::string &path);

// What independent readers make of an ASF file with the given streams.
struct FileReading {
    std::string problems;      // empty when ffprobe and GStreamer's asfdemux read it to the end quietly
    std::vector<long> packets; // per stream, as ffprobe counts them
    double seconds = -1;       // the duration ffprobe reports
    long indexEntries = -1;    // entries of the simple index object; -1 without one
};
FileReading ReadWithOtherReaders(const std::string &path, size_t streams);

// The clip's packets, the times of one stream's from packet `from` on moved by
// deltaMs; with `count`, only that many packets of the stream.
Clip ShiftStream(const Clip &clip, int streamId, size_t from, int64_t deltaMs, size_t count = SIZE_MAX);

// The time from the first packet's start to the end of the last, in seconds.
double ContentSeconds(const Clip &clip);

// FFmpeg's per-frame MD5s of the clip's video as BGRA, in order (`work` is a
// scratch file); empty when ffmpeg fails (it says why on the standard error).
std::vector<std::string> FfmpegFrameMd5s(const std::string &clip, const std::string &work);

// The MD5 of a bottom-up RGB32 picture's rows in top-down order, as FFmpeg hashes them.
std::string TopDownMd5(const std::string &bytes, int width, int height);

} // namespace wmftest
