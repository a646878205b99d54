#include "asfclip.h"

#include <twtesting.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include <twwmf/avprofile.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace wmftest {

std::string MakeClip(const std::string &path, const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {twtest::BinPath("clipmaker"), "--out", path};
    argv.insert(argv.end(), args.begin(), args.end());
    twtest::ProcessResult r = twtest::RunProcess(argv);
    return r.exitCode == 0 ? std::string() : "clipmaker failed (" + std::to_string(r.exitCode) + "): " + r.output;
}

bool ReadClip(const std::string &path, Clip &clip, std::string &error)
{
    AVFormatContext *fmt = nullptr;
    int err = avformat_open_input(&fmt, path.c_str(), nullptr, nullptr);
    if (err < 0) {
        error = "cannot open " + path;
        return false;
    }
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        avformat_close_input(&fmt);
        error = "no stream info in " + path;
        return false;
    }
    clip = Clip();
    if (AVDictionaryEntry *t = av_dict_get(fmt->metadata, "title", nullptr, 0))
        clip.title = t->value;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters *par = fmt->streams[i]->codecpar;
        ClipStream s;
        s.id = fmt->streams[i]->id;
        s.codecType = par->codec_type;
        s.isVideo = par->codec_type == AVMEDIA_TYPE_VIDEO;
        s.codecId = par->codec_id;
        s.codecTag = par->codec_tag;
        s.extradata.assign(par->extradata, par->extradata + par->extradata_size);
        s.width = par->width;
        s.height = par->height;
        s.sampleRate = par->sample_rate;
        s.channels = par->ch_layout.nb_channels;
        clip.streams.push_back(s);
    }
    AVPacket *pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
        AVStream *st = fmt->streams[pkt->stream_index];
        ClipPacket p;
        p.streamId = st->id;
        p.ptsMs = av_rescale_q(pkt->pts, st->time_base, {1, 1000});
        p.durationMs = av_rescale_q(pkt->duration, st->time_base, {1, 1000});
        p.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
        p.data.assign(pkt->data, pkt->data + pkt->size);
        clip.packets.push_back(std::move(p));
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return true;
}

std::string StreamDifferences(const Clip &expected, const Clip &actual)
{
    if (expected.streams.size() != actual.streams.size())
        return "stream count " + std::to_string(expected.streams.size()) + " != " +
               std::to_string(actual.streams.size()) + "\n";
    std::ostringstream out;
    for (size_t i = 0; i < expected.streams.size(); ++i) {
        const ClipStream &a = expected.streams[i], &b = actual.streams[i];
        auto field = [&](const char *name, long long x, long long y) {
            if (x != y)
                out << "stream " << i << " " << name << " " << x << " != " << y << "\n";
        };
        field("id", a.id, b.id);
        field("codec type", a.codecType, b.codecType);
        field("codec id", a.codecId, b.codecId);
        field("codec tag", a.codecTag, b.codecTag);
        field("width", a.width, b.width);
        field("height", a.height, b.height);
        field("sample rate", a.sampleRate, b.sampleRate);
        field("channels", a.channels, b.channels);
        if (a.extradata != b.extradata)
            out << "stream " << i << " codec data differs\n";
    }
    return out.str();
}

std::vector<ClipPacket> StreamPackets(const Clip &clip, int streamId)
{
    std::vector<ClipPacket> out;
    for (const ClipPacket &p : clip.packets)
        if (p.streamId == streamId)
            out.push_back(p);
    return out;
}

std::u16string Wide(const std::string &ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

HRESULT ProfileOfFile(const std::string &path, IWMProfile **ppProfile)
{
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return E_FAIL;
    HRESULT hr = avformat_find_stream_info(fmt, nullptr) < 0 ? E_FAIL : twwmf::CreateProfileFromFormat(fmt, ppProfile);
    avformat_close_input(&fmt);
    return hr;
}

namespace {

// The ASF file properties object's GUID as it appears in the file.
const uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// The ASF simple index object's GUID as it appears in the file.
const uint8_t kSimpleIndexGuid[16] = {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11,
                                      0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB};

} // namespace

long SimpleIndexEntries(const std::string &path)
{
    std::string bytes = twtest::ReadFile(path);
    size_t at = bytes.find(std::string(reinterpret_cast<const char *>(kSimpleIndexGuid), 16));
    // GUID, object size (8), file id (16), interval (8), max packet count (4), entry count (4).
    if (at == std::string::npos || bytes.size() < at + 56)
        return -1;
    uint32_t entries = 0;
    memcpy(&entries, bytes.data() + at + 52, 4);
    return static_cast<long>(entries);
}

long HeaderMaxBitRate(const std::string &path)
{
    std::string bytes = twtest::ReadFile(path);
    size_t at = bytes.find(std::string(reinterpret_cast<const char *>(kFilePropertiesGuid), 16));
    // GUID, object size (8), file id (16), file size, creation date, packets, play
    // and send durations, preroll (8 each), flags, min and max packet size (4
    // each), then the maximum bit rate (4).
    if (at == std::string::npos || bytes.size() < at + 104)
        return -1;
    uint32_t bitRate = 0;
    memcpy(&bitRate, bytes.data() + at + 100, 4);
    return static_cast<long>(bitRate);
}

// A reader that hangs on a damaged file fails the test instead of hanging it.
static const std::vector<std::string> kReaderTimeLimit = {"/usr/bin/timeout", "120"};
constexpr int kTimedOut = 124; // timeout's exit code when the limit ran out

FileReading ReadWithOtherReaders(const std::string &path, size_t streams)
{
    FileReading reading;
    std::vector<std::string> ffprobe = kReaderTimeLimit;
    ffprobe.insert(ffprobe.end(), {"/usr/bin/ffprobe", "-v", "error", "-count_packets", "-show_entries",
                                   "stream=nb_read_packets:format=duration", "-of", "default=nw=1", path});
    twtest::ProcessResult probe = twtest::RunProcess(ffprobe);
    std::istringstream lines(probe.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("nb_read_packets=", 0) == 0)
            reading.packets.push_back(line == "nb_read_packets=N/A" ? 0 : std::stol(line.substr(16))); // N/A: no packet
        else if (line.rfind("duration=", 0) == 0 && line != "duration=N/A")
            reading.seconds = std::stod(line.substr(9));
        else
            reading.problems += "ffprobe: " + line + "\n";
    }
    if (probe.exitCode == kTimedOut)
        reading.problems += "ffprobe did not finish within 120 s\n";
    else if (probe.exitCode != 0)
        reading.problems += "ffprobe exit code " + std::to_string(probe.exitCode) + "\n";

    std::vector<std::string> gst = kReaderTimeLimit;
    gst.insert(gst.end(), {"/usr/bin/gst-launch-1.0", "-q", "filesrc", "location=" + path, "!", "asfdemux", "name=d"});
    for (size_t i = 0; i < streams; ++i)
        gst.insert(gst.end(), {"d.", "!", "queue", "!", "fakesink"});
    twtest::ProcessResult demux = twtest::RunProcess(gst);
    if (demux.exitCode == kTimedOut)
        reading.problems += "asfdemux did not finish within 120 s\n";
    else if (demux.exitCode != 0)
        reading.problems += "asfdemux exit code " + std::to_string(demux.exitCode) + ": " + demux.output;
    reading.indexEntries = SimpleIndexEntries(path);
    return reading;
}

Clip ShiftStream(const Clip &clip, int streamId, size_t from, int64_t deltaMs, size_t count)
{
    Clip out = clip;
    size_t n = 0;
    for (ClipPacket &p : out.packets) {
        if (p.streamId != streamId)
            continue;
        if (n >= from && n - from < count)
            p.ptsMs += deltaMs;
        ++n;
    }
    return out;
}

double ContentSeconds(const Clip &clip)
{
    int64_t first = INT64_MAX, end = INT64_MIN;
    for (const ClipPacket &p : clip.packets) {
        first = std::min(first, p.ptsMs);
        end = std::max(end, p.ptsMs + p.durationMs);
    }
    return clip.packets.empty() ? 0 : static_cast<double>(end - first) / 1000;
}

std::vector<std::string> FfmpegFrameMd5s(const std::string &clip, const std::string &work)
{
    auto r = twtest::RunProcess({"/usr/bin/ffmpeg", "-v", "error", "-nostdin", "-y", "-i", clip, "-map", "0:v",
                                 "-fps_mode", "passthrough", "-pix_fmt", "bgra", "-f", "framemd5", work});
    std::vector<std::string> md5s;
    if (r.exitCode != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", r.output.c_str());
        return md5s;
    }
    std::istringstream lines(twtest::ReadFile(work));
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line[0] != '#')
            md5s.push_back(line.substr(line.find_last_of(' ') + 1));
    return md5s;
}

std::string TopDownMd5(const std::string &bytes, int width, int height)
{
    size_t stride = static_cast<size_t>(width) * 4;
    if (bytes.size() < stride * static_cast<size_t>(height))
        return "(short picture)";
    std::string rows;
    for (int y = height - 1; y >= 0; --y)
        rows.append(bytes, static_cast<size_t>(y) * stride, stride);
    return twtest::Md5Hex(rows);
}

} // namespace wmftest
