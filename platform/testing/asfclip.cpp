#include "asfclip.h"

#include <twtesting.h>

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

} // namespace wmftest
