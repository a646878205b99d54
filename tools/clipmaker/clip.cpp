#include "clip.h"

#include <cmath>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

namespace {

std::string AvText(int err)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof(text));
    return text;
}

// One encoded stream: its encoder, its place in the file and the frame it fills.
struct Track {
    AVCodecContext *codec = nullptr;
    AVStream *stream = nullptr;
    AVFrame *frame = nullptr;
    int64_t next = 0;  // frames (video) or samples (audio) sent so far
    int64_t total = 0; // how many to send
    bool flushed = false;

    ~Track()
    {
        av_frame_free(&frame);
        avcodec_free_context(&codec);
    }
    bool Done() const { return flushed; }
    // Time of the next frame to send, in the codec's time base.
    int64_t NextTime() const { return next; }
};

class ClipWriter {
public:
    explicit ClipWriter(const ClipSettings &settings) : m_settings(settings) {}
    ~ClipWriter()
    {
        av_packet_free(&m_packet);
        if (m_fmt && m_fmt->pb)
            avio_closep(&m_fmt->pb);
        avformat_free_context(m_fmt);
    }

    bool Run(std::string &error)
    {
        int err = avformat_alloc_output_context2(&m_fmt, nullptr, "asf", m_settings.out.c_str());
        if (err < 0 || !m_fmt)
            return Fail(error, "cannot set up the ASF muxer", err);
        m_packet = av_packet_alloc();
        if (!m_packet)
            return Fail(error, "out of memory", AVERROR(ENOMEM));
        if (m_settings.video && !AddVideo(error))
            return false;
        if (m_settings.audio && !AddAudio(error))
            return false;
        if ((err = avio_open(&m_fmt->pb, m_settings.out.c_str(), AVIO_FLAG_WRITE)) < 0)
            return Fail(error, "cannot create " + m_settings.out, err);
        if (!m_settings.title.empty())
            av_dict_set(&m_fmt->metadata, "title", m_settings.title.c_str(), 0);
        if ((err = avformat_write_header(m_fmt, nullptr)) < 0)
            return Fail(error, "cannot write the ASF header of " + m_settings.out, err);

        // Feed the encoders in time order so that the muxer interleaves little.
        for (;;) {
            Track *t = nullptr;
            if (!m_video.Done() && m_settings.video)
                t = &m_video;
            if (m_settings.audio && !m_audio.Done() &&
                (!t || av_compare_ts(m_audio.NextTime(), m_audio.codec->time_base, m_video.NextTime(),
                                     m_video.codec->time_base) < 0))
                t = &m_audio;
            if (!t)
                break;
            if (!Step(*t, t == &m_video, error))
                return false;
        }
        if ((err = av_write_trailer(m_fmt)) < 0)
            return Fail(error, "cannot finish " + m_settings.out, err);
        if ((err = avio_closep(&m_fmt->pb)) < 0)
            return Fail(error, "cannot close " + m_settings.out, err);
        return true;
    }

private:
    bool Fail(std::string &error, const std::string &what, int err)
    {
        error = what + ": " + AvText(err);
        return false;
    }

    bool Open(Track &t, std::string &error)
    {
        if (m_fmt->oformat->flags & AVFMT_GLOBALHEADER)
            t.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int err = avcodec_open2(t.codec, t.codec->codec, nullptr);
        if (err < 0)
            return Fail(error, std::string("cannot open the ") + t.codec->codec->name + " encoder", err);
        t.stream = avformat_new_stream(m_fmt, nullptr);
        t.frame = av_frame_alloc();
        if (!t.stream || !t.frame)
            return Fail(error, "out of memory", AVERROR(ENOMEM));
        if ((err = avcodec_parameters_from_context(t.stream->codecpar, t.codec)) < 0)
            return Fail(error, "cannot describe the stream", err);
        t.stream->time_base = t.codec->time_base;
        return true;
    }

    bool AddVideo(std::string &error)
    {
        AVCodecID id = m_settings.videoCodec == "wmv1" ? AV_CODEC_ID_WMV1 : AV_CODEC_ID_WMV2;
        const AVCodec *codec = avcodec_find_encoder(id);
        if (!codec)
            return Fail(error, "no " + m_settings.videoCodec + " encoder in this libavcodec", AVERROR_ENCODER_NOT_FOUND);
        m_video.codec = avcodec_alloc_context3(codec);
        if (!m_video.codec)
            return Fail(error, "out of memory", AVERROR(ENOMEM));
        AVCodecContext *c = m_video.codec;
        c->width = m_settings.width;
        c->height = m_settings.height;
        c->time_base = {1, m_settings.fps};
        c->framerate = {m_settings.fps, 1};
        c->gop_size = m_settings.gop;
        c->max_b_frames = 0;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->bit_rate = m_settings.videoBitrate;
        // Key frames exactly every gop frames: no extra ones at scene changes.
        av_opt_set_int(c, "sc_threshold", 1000000000, 0);
        if (!Open(m_video, error))
            return false;
        AVFrame *f = m_video.frame;
        f->format = c->pix_fmt;
        f->width = c->width;
        f->height = c->height;
        int err = av_frame_get_buffer(f, 0);
        if (err < 0)
            return Fail(error, "cannot allocate a picture", err);
        m_video.total = std::max<int64_t>(1, llround(m_settings.seconds * m_settings.fps));
        return true;
    }

    bool AddAudio(std::string &error)
    {
        AVCodecID id = m_settings.audioCodec == "wmav1" ? AV_CODEC_ID_WMAV1 : AV_CODEC_ID_WMAV2;
        const AVCodec *codec = avcodec_find_encoder(id);
        if (!codec)
            return Fail(error, "no " + m_settings.audioCodec + " encoder in this libavcodec", AVERROR_ENCODER_NOT_FOUND);
        m_audio.codec = avcodec_alloc_context3(codec);
        if (!m_audio.codec)
            return Fail(error, "out of memory", AVERROR(ENOMEM));
        AVCodecContext *c = m_audio.codec;
        c->sample_fmt = AV_SAMPLE_FMT_FLTP;
        c->sample_rate = m_settings.sampleRate;
        av_channel_layout_default(&c->ch_layout, m_settings.channels);
        c->bit_rate = m_settings.audioBitrate;
        c->time_base = {1, m_settings.sampleRate};
        if (!Open(m_audio, error))
            return false;
        AVFrame *f = m_audio.frame;
        f->format = c->sample_fmt;
        f->sample_rate = c->sample_rate;
        f->nb_samples = c->frame_size;
        av_channel_layout_copy(&f->ch_layout, &c->ch_layout);
        int err = av_frame_get_buffer(f, 0);
        if (err < 0)
            return Fail(error, "cannot allocate audio frames", err);
        m_audio.total = std::max<int64_t>(1, llround(m_settings.seconds * m_settings.sampleRate));
        return true;
    }

    // Moving diagonal gradient, colour bars that drift, and a bright square
    // crossing the picture.
    void DrawPicture(AVFrame *f, int64_t n)
    {
        int w = f->width, h = f->height;
        int box = std::max(8, h / 6);
        int bx = static_cast<int>((n * 4) % std::max(1, w - box));
        int by = (h - box) / 2;
        for (int y = 0; y < h; ++y) {
            uint8_t *row = f->data[0] + y * f->linesize[0];
            for (int x = 0; x < w; ++x) {
                bool inBox = x >= bx && x < bx + box && y >= by && y < by + box;
                row[x] = inBox ? 235 : static_cast<uint8_t>(16 + ((x + y + n * 2) % 200));
            }
        }
        for (int y = 0; y < h / 2; ++y) {
            uint8_t *u = f->data[1] + y * f->linesize[1];
            uint8_t *v = f->data[2] + y * f->linesize[2];
            for (int x = 0; x < w / 2; ++x) {
                int bar = static_cast<int>(((x + n) * 8 / std::max(1, w / 2)) % 8);
                u[x] = static_cast<uint8_t>(64 + bar * 16);
                v[x] = static_cast<uint8_t>(192 - bar * 16);
            }
        }
    }

    void FillTone(AVFrame *f, int64_t first)
    {
        const double step = 2.0 * M_PI * m_settings.toneHz / m_settings.sampleRate;
        for (int ch = 0; ch < f->ch_layout.nb_channels; ++ch) {
            float *out = reinterpret_cast<float *>(f->data[ch]);
            for (int i = 0; i < f->nb_samples; ++i)
                out[i] = first + i < m_audio.total ? static_cast<float>(0.3 * std::sin(step * (first + i))) : 0.0f;
        }
    }

    // Sends one frame (or, at the end, the flush) and muxes what comes out.
    bool Step(Track &t, bool video, std::string &error)
    {
        int err;
        if (t.next < t.total) {
            if ((err = av_frame_make_writable(t.frame)) < 0)
                return Fail(error, "cannot reuse a frame", err);
            if (video) {
                DrawPicture(t.frame, t.next);
                t.frame->pict_type = t.next % m_settings.gop == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
            } else {
                FillTone(t.frame, t.next);
            }
            t.frame->pts = t.next;
            t.next += video ? 1 : t.frame->nb_samples;
            err = avcodec_send_frame(t.codec, t.frame);
        } else {
            err = avcodec_send_frame(t.codec, nullptr);
            t.flushed = true;
        }
        if (err < 0)
            return Fail(error, std::string("cannot encode with ") + t.codec->codec->name, err);
        for (;;) {
            err = avcodec_receive_packet(t.codec, m_packet);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return true;
            if (err < 0)
                return Fail(error, std::string("cannot encode with ") + t.codec->codec->name, err);
            av_packet_rescale_ts(m_packet, t.codec->time_base, t.stream->time_base);
            m_packet->stream_index = t.stream->index;
            if ((err = av_interleaved_write_frame(m_fmt, m_packet)) < 0)
                return Fail(error, "cannot write to " + m_settings.out, err);
        }
    }

    const ClipSettings &m_settings;
    AVFormatContext *m_fmt = nullptr;
    AVPacket *m_packet = nullptr;
    Track m_video;
    Track m_audio;
};

} // namespace

bool MakeClip(const ClipSettings &settings, std::string &error)
{
    ClipWriter writer(settings);
    return writer.Run(error);
}
