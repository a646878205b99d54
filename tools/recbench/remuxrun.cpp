#include "runs.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

// One pass: header, every packet through the interleaving writer, trailer.
bool RemuxOnce(const AVFormatContext *in, const BenchClip &clip, const std::string &outPath, std::string &error)
{
    AVFormatContext *out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, "asf", outPath.c_str()) < 0) {
        error = "no asf muxer";
        return false;
    }
    bool ok = true;
    for (unsigned i = 0; i < in->nb_streams && ok; i++) {
        AVStream *st = avformat_new_stream(out, nullptr);
        ok = st && avcodec_parameters_copy(st->codecpar, in->streams[i]->codecpar) >= 0;
        if (ok)
            st->id = in->streams[i]->id;
    }
    if (ok && avio_open(&out->pb, outPath.c_str(), AVIO_FLAG_WRITE) < 0) {
        error = "cannot create " + outPath;
        ok = false;
    }
    if (ok && avformat_write_header(out, nullptr) < 0) {
        error = "cannot write the header";
        ok = false;
    }
    AVPacket *pkt = av_packet_alloc();
    for (size_t i = 0; ok && i < clip.packets.size(); i++) {
        const BenchPacket &p = clip.packets[i];
        AVStream *st = out->streams[p.streamIndex];
        av_packet_unref(pkt);
        pkt->data = const_cast<uint8_t *>(p.data.data());
        pkt->size = static_cast<int>(p.data.size());
        pkt->stream_index = p.streamIndex;
        pkt->pts = pkt->dts = av_rescale_q(p.time100ns, {1, 10000000}, st->time_base);
        pkt->flags = p.key ? AV_PKT_FLAG_KEY : 0;
        if (av_interleaved_write_frame(out, pkt) < 0) {
            error = "writing packet " + std::to_string(i) + " failed";
            ok = false;
        }
    }
    av_packet_free(&pkt);
    if (out->pb) {
        if (ok && av_write_trailer(out) < 0) {
            error = "cannot write the trailer";
            ok = false;
        }
        avio_closep(&out->pb);
    }
    avformat_free_context(out);
    return ok;
}

} // namespace

RunTimes RunRemux(const BenchClip &clip, const std::string &outPath, int repeat, std::string &error)
{
    AVFormatContext *in = nullptr;
    if (avformat_open_input(&in, clip.path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(in, nullptr) < 0) {
        error = "cannot open " + clip.path;
        avformat_close_input(&in);
        return RunTimes{};
    }
    RunTimes times;
    bool ok = true;
    for (int r = 0; r < repeat && ok; r++) {
        RemoveEarlierRecording(outPath);
        RunClock clock;
        ok = RemuxOnce(in, clip, outPath, error);
        times.Add(clock.Stop());
    }
    avformat_close_input(&in);
    if (!ok)
        times.wall = -1;
    return times;
}
