// The reference way: libavformat reads the stream and libavcodec decodes its
// audio and video, nothing rendered.
#include <chrono>
#include <cstdio>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "runs.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Decoder {
    AVCodecContext *ctx = nullptr;
    bool video = false;
};

} // namespace

int RunDecode(const std::string &url, double seconds, PlayFigures &out)
{
    double cpu0 = ProcessCpuSeconds();
    auto opened = Clock::now();
    AVFormatContext *fmt = nullptr;
    int err = avformat_open_input(&fmt, url.c_str(), nullptr, nullptr);
    if (err < 0 || avformat_find_stream_info(fmt, nullptr) < 0) {
        std::fprintf(stderr, "graphbench: libavformat cannot open %s (%d)\n", url.c_str(), err);
        avformat_close_input(&fmt);
        return 1;
    }
    std::vector<Decoder> decoders(fmt->nb_streams);
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        AVCodecParameters *par = fmt->streams[i]->codecpar;
        const AVCodec *codec = avcodec_find_decoder(par->codec_id);
        if (!codec || (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO))
            continue;
        AVCodecContext *ctx = avcodec_alloc_context3(codec);
        if (!ctx || avcodec_parameters_to_context(ctx, par) < 0 || avcodec_open2(ctx, codec, nullptr) < 0) {
            avcodec_free_context(&ctx);
            continue;
        }
        decoders[i] = {ctx, par->codec_type == AVMEDIA_TYPE_VIDEO};
    }
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int64_t firstPts = AV_NOPTS_VALUE, lastPts = AV_NOPTS_VALUE;
    AVRational videoBase{1, 1000};
    Clock::time_point firstFrame{};
    auto drain = [&](Decoder &d, AVStream *st) {
        while (avcodec_receive_frame(d.ctx, frame) == 0) {
            if (d.video) {
                if (out.presented++ == 0)
                    firstFrame = Clock::now();
                int64_t pts = frame->best_effort_timestamp;
                if (pts != AV_NOPTS_VALUE) {
                    if (firstPts == AV_NOPTS_VALUE)
                        firstPts = pts;
                    lastPts = pts;
                    videoBase = st->time_base;
                }
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        Decoder &d = decoders[static_cast<size_t>(pkt->stream_index)];
        if (d.ctx && avcodec_send_packet(d.ctx, pkt) >= 0)
            drain(d, fmt->streams[pkt->stream_index]);
        av_packet_unref(pkt);
        if (seconds > 0 && out.presented &&
            std::chrono::duration<double>(Clock::now() - firstFrame).count() >= seconds)
            break;
    }
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (decoders[i].ctx && avcodec_send_packet(decoders[i].ctx, nullptr) >= 0)
            drain(decoders[i], fmt->streams[i]);
    out.cpuSeconds = ProcessCpuSeconds() - cpu0;
    out.peakKiB = PeakResidentKiB();
    if (out.presented) {
        out.firstFrameMs = std::chrono::duration<double, std::milli>(firstFrame - opened).count();
        out.streamSeconds = (lastPts - firstPts) * av_q2d(videoBase) + 0.04;
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    for (Decoder &d : decoders)
        avcodec_free_context(&d.ctx);
    avformat_close_input(&fmt);
    return out.presented ? 0 : 1;
}
