#include "muxer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <new>
#include <nserror.h>

#include <twwmf/avprofile.h>
#include "averror.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace twwmf {

namespace {
// Sample times and durations of the SDK.
constexpr AVRational kHundredNs = {1, 10000000};
// The file's times: ASF stores presentation times as 32-bit milliseconds.
constexpr AVRational kMilliseconds = {1, 1000};
// The muxer holds samples of one stream for at most this long while it waits
// for the others (a stream that never gets a sample must not hold all memory).
// Once one stream runs that far ahead, the held samples of the others go to the
// file; a later sample older than those would land behind one already written,
// which the ASF muxer cannot take (it aborts the process). The time line never
// places a sample that far behind the latest.
constexpr int64_t kMaxInterleaveDeltaUs = 10 * 1000 * 1000;
static_assert(Timeline::kMaxLagMs * 1000 < kMaxInterleaveDeltaUs);
// The latest file time: presentation times plus the muxer's preroll must fit
// 32 bits.
constexpr int64_t kMaxFileTimeMs = INT32_MAX - 60 * 1000;
constexpr int64_t kFlushEveryMs = 1000;

// Milliseconds of a coarse monotonic clock: read once per sample, so it must
// cost next to nothing, and a tick or two of slack is nothing against a second.
int64_t WallMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
} // namespace

AsfMuxer::AsfMuxer(AVFormatContext *ctx, size_t streams)
    : m_ctx(ctx), m_packet(av_packet_alloc()), m_timeline(streams, kMaxFileTimeMs), m_tally(streams)
{
}

HRESULT AsfMuxer::Create(AVIOContext *io, const std::vector<StreamInfo> &streams, const Metadata &metadata,
                         std::unique_ptr<AsfMuxer> &out)
{
    if (!io)
        return E_POINTER;
    if (streams.empty())
        return NS_E_NO_STREAM;
    AVFormatContext *ctx = nullptr;
    int err = avformat_alloc_output_context2(&ctx, nullptr, "asf", nullptr);
    if (err < 0 || !ctx)
        return err < 0 ? HResultFromAVError(err) : E_OUTOFMEMORY;
    std::unique_ptr<AsfMuxer> muxer(new (std::nothrow) AsfMuxer(ctx, streams.size()));
    if (!muxer) {
        avformat_free_context(ctx);
        return E_OUTOFMEMORY;
    }
    if (!muxer->m_packet) {
        muxer->m_finished = true;
        return E_OUTOFMEMORY;
    }
    ctx->pb = io;
    for (const StreamInfo &info : streams) {
        AVStream *st = avformat_new_stream(ctx, nullptr);
        if (!st)
            return E_OUTOFMEMORY;
        st->id = info.number;
        HRESULT hr = CodecParametersFromStreamInfo(info, st->codecpar);
        if (FAILED(hr))
            return hr;
        st->time_base = kMilliseconds;
    }
    for (const auto &[key, value] : metadata)
        av_dict_set(&ctx->metadata, key.c_str(), value.c_str(), 0);
    err = avformat_write_header(ctx, nullptr);
    if (err < 0) {
        // The muxer has not taken the file over; nothing to finish.
        muxer->m_finished = true;
        return HResultFromAVError(err);
    }
    ctx->max_interleave_delta = kMaxInterleaveDeltaUs;
    out = std::move(muxer);
    return S_OK;
}

AsfMuxer::~AsfMuxer()
{
    // The file is not the muxer's: it is only detached, never closed here.
    m_ctx->pb = nullptr;
    avformat_free_context(m_ctx);
    av_packet_free(&m_packet);
}

HRESULT AsfMuxer::Write(size_t index, const BYTE *data, DWORD size, QWORD time, QWORD duration, bool cleanPoint,
                        AVBufferRef *shared)
{
    // The shared buffer is this call's to let go of, whatever happens to the sample.
    struct Owned {
        AVBufferRef *ref;
        ~Owned() { av_buffer_unref(&ref); }
    } owned{shared};
    if (m_finished)
        return NS_E_INVALID_REQUEST;
    if (index >= m_ctx->nb_streams || (size && !data))
        return E_INVALIDARG;
    AVStream *st = m_ctx->streams[index];
    // A time past 2^63 is a negative one, as a source's signed times come out
    // of an unsigned field: the time line treats it as a jump back.
    int64_t ts = m_timeline.Place(index, av_rescale_q(static_cast<int64_t>(time), kHundredNs, kMilliseconds));
    // The file's duration runs to the end of its latest sample: a damaged
    // duration may not stretch it beyond what a jump may.
    int64_t length = duration > static_cast<QWORD>(INT64_MAX)
                         ? INT64_MAX
                         : av_rescale_q(static_cast<int64_t>(duration), kHundredNs, st->time_base);
    length = std::min<int64_t>(length, Timeline::kMaxLeadMs);
    if (ts > kMaxFileTimeMs)
        return E_INVALIDARG; // a file of more than 24 days

    AVPacket *pkt = m_packet;
    if (owned.ref) {
        pkt->buf = owned.ref;
        owned.ref = nullptr;
        pkt->data = const_cast<BYTE *>(data);
        pkt->size = static_cast<int>(size);
    } else {
        int err = av_new_packet(pkt, static_cast<int>(size));
        if (err < 0)
            return HResultFromAVError(err);
        if (size)
            memcpy(pkt->data, data, size);
    }
    pkt->stream_index = static_cast<int>(index);
    pkt->pts = pkt->dts = ts;
    pkt->duration = length;
    if (cleanPoint)
        pkt->flags |= AV_PKT_FLAG_KEY;
    // The muxer takes the packet's reference over and leaves it empty.
    const int64_t handedOver = m_ctx->pb->pos; // the file's bytes before the buffer
    int err = av_interleaved_write_frame(m_ctx, pkt);
    av_packet_unref(pkt);
    if (err < 0)
        return HResultFromAVError(err);
    Tally &tally = m_tally[index];
    if (tally.samples++ == 0)
        tally.first = ts;
    tally.last = ts;
    tally.bytes += size;
    // What is written reaches the operating system at least once a second of
    // wall time, so a process that is killed leaves all but about its last
    // second (a live recording's file time runs with the clock), while a file
    // written faster than real time still goes out in whole blocks. The first
    // sample goes out with the header, so the file is readable from the start.
    // A full buffer that went to the file with this sample counts as the
    // hand-over: what it left behind came with this sample.
    const int64_t now = WallMs();
    if (m_flushedAt == INT64_MIN) {
        avio_flush(m_ctx->pb);
        m_flushedAt = now;
    } else if (m_ctx->pb->pos != handedOver) {
        m_flushedAt = now;
    } else if (now - m_flushedAt >= kFlushEveryMs) {
        if (m_ctx->pb->buf_ptr != m_ctx->pb->buffer)
            avio_flush(m_ctx->pb);
        m_flushedAt = now;
    }
    if (m_ctx->pb->error < 0)
        return HResultFromAVError(m_ctx->pb->error);
    return S_OK;
}

HRESULT AsfMuxer::Flush()
{
    if (m_finished)
        return NS_E_INVALID_REQUEST;
    int err = av_interleaved_write_frame(m_ctx, nullptr);
    if (err >= 0) {
        avio_flush(m_ctx->pb);
        err = m_ctx->pb->error;
    }
    return HResultFromAVError(err);
}

void AsfMuxer::MeasureUnstatedBitRates()
{
    for (unsigned i = 0; i < m_ctx->nb_streams; ++i) {
        AVCodecParameters *par = m_ctx->streams[i]->codecpar;
        const Tally &tally = m_tally[i];
        // Only a video stream's rate is nowhere but in the header's sum: an audio
        // format states its own, which stays as the source gave it.
        if (par->codec_type != AVMEDIA_TYPE_VIDEO || par->bit_rate > 0 || tally.samples < 2 ||
            tally.last <= tally.first)
            continue;
        // The span from the first sample to the last holds all samples but the last.
        uint64_t bytes = tally.bytes * (tally.samples - 1) / tally.samples;
        par->bit_rate = static_cast<int64_t>(std::min<uint64_t>(bytes * 8 * 1000 / (tally.last - tally.first), INT32_MAX));
    }
}

HRESULT AsfMuxer::Finish()
{
    if (m_finished)
        return S_OK;
    m_finished = true;
    // The trailer writes the header again, with the file's size, duration and
    // maximum bit rate: the sum of the streams' rates.
    MeasureUnstatedBitRates();
    int err = av_write_trailer(m_ctx);
    if (err >= 0) {
        avio_flush(m_ctx->pb);
        err = m_ctx->pb->error;
    }
    return HResultFromAVError(err);
}

} // namespace twwmf
