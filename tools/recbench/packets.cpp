#include "packets.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

bool LoadClip(const std::string &path, BenchClip &clip, std::string &error)
{
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        error = "cannot open " + path;
        return false;
    }
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        avformat_close_input(&fmt);
        error = "no stream information in " + path;
        return false;
    }
    clip.path = path;
    clip.packets.clear();
    clip.bytes = 0;
    AVPacket *pkt = av_packet_alloc();
    int64_t last = 0;
    while (av_read_frame(fmt, pkt) >= 0) {
        AVStream *st = fmt->streams[pkt->stream_index];
        BenchPacket p;
        p.streamIndex = pkt->stream_index;
        p.video = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        p.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
        int64_t pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        p.time100ns = av_rescale_q(pts, st->time_base, {1, 10000000});
        p.data.assign(pkt->data, pkt->data + pkt->size);
        clip.bytes += p.data.size();
        if (p.time100ns > last)
            last = p.time100ns;
        clip.packets.push_back(std::move(p));
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    clip.seconds = last / 1e7;
    return true;
}

bool HasVideoAndAudio(const std::string &path, std::string &error)
{
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        error = "cannot open " + path;
        return false;
    }
    bool video = false, audio = false;
    if (avformat_find_stream_info(fmt, nullptr) >= 0) {
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            video |= fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
            audio |= fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        }
    }
    avformat_close_input(&fmt);
    if (!video || !audio)
        error = path + " has no " + (video ? "audio" : audio ? "video" : "video or audio") +
                " stream; the recording filter records a clip with a video and an audio stream";
    return video && audio;
}

long PeakMemoryKiB()
{
    FILE *f = fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, f))
        if (strncmp(line, "VmHWM:", 6) == 0)
            kib = strtol(line + 6, nullptr, 10);
    fclose(f);
    return kib;
}
