#include "muxer.h"

#include <climits>
#include <cstring>
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
// The muxer holds samples of one stream for at most this long while it waits
// for the others (a stream that never gets a sample must not hold all memory).
constexpr int64_t kMaxInterleaveDeltaUs = 10 * 1000 * 1000;
constexpr int64_t kMaxInterleaveDeltaMs = kMaxInterleaveDeltaUs / 1000;
} // namespace

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
    std::unique_ptr<AsfMuxer> muxer(new (std::nothrow) AsfMuxer(ctx));
    if (!muxer) {
        avformat_free_context(ctx);
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
        st->time_base = {1, 1000};
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
    muxer->m_lastTs.assign(streams.size(), LLONG_MIN);
    muxer->m_lastTime.assign(streams.size(), kNoTime);
    out = std::move(muxer);
    return S_OK;
}

AsfMuxer::~AsfMuxer()
{
    // The file is not the muxer's: it is only detached, never closed here.
    m_ctx->pb = nullptr;
    avformat_free_context(m_ctx);
}

HRESULT AsfMuxer::Write(size_t index, const BYTE *data, DWORD size, QWORD time, QWORD duration, bool cleanPoint)
{
    if (m_finished)
        return NS_E_INVALID_REQUEST;
    if (index >= m_ctx->nb_streams || (size && !data))
        return E_INVALIDARG;
    if (time > static_cast<QWORD>(INT64_MAX) || duration > static_cast<QWORD>(INT64_MAX))
        return E_INVALIDARG;
    AVStream *st = m_ctx->streams[index];
    int64_t ts = av_rescale_q(static_cast<int64_t>(time), kHundredNs, st->time_base);
    // ASF stores presentation times as 32-bit milliseconds behind the preroll.
    if (av_rescale_q(ts, st->time_base, {1, 1000}) > INT32_MAX)
        return E_INVALIDARG;
    // A stream's times may not go back. Samples that fall on the same file tick
    // as the one before (equal times, or times closer than the tick) are moved
    // one tick on, as the muxer needs strictly increasing times.
    if (m_lastTime[index] != kNoTime && time < m_lastTime[index])
        return E_INVALIDARG;
    if (ts <= m_lastTs[index])
        ts = m_lastTs[index] + 1;
    // Once one stream runs more than the interleave delta ahead, the muxer hands
    // the held samples of the others to the file; a sample older than that point
    // could land behind one already written, which the ASF muxer cannot take
    // (it aborts the process). Such a late sample is refused instead.
    if (m_maxTs != LLONG_MIN && ts <= m_maxTs - kMaxInterleaveDeltaMs)
        return E_INVALIDARG;

    AVPacket *pkt = av_packet_alloc();
    if (!pkt)
        return E_OUTOFMEMORY;
    int err = av_new_packet(pkt, static_cast<int>(size));
    if (err < 0) {
        av_packet_free(&pkt);
        return HResultFromAVError(err);
    }
    if (size)
        memcpy(pkt->data, data, size);
    pkt->stream_index = static_cast<int>(index);
    pkt->pts = pkt->dts = ts;
    pkt->duration = av_rescale_q(static_cast<int64_t>(duration), kHundredNs, st->time_base);
    if (cleanPoint)
        pkt->flags |= AV_PKT_FLAG_KEY;
    err = av_interleaved_write_frame(m_ctx, pkt);
    av_packet_free(&pkt);
    if (err < 0)
        return HResultFromAVError(err);
    m_lastTs[index] = ts;
    m_lastTime[index] = time;
    if (ts > m_maxTs)
        m_maxTs = ts;
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

HRESULT AsfMuxer::Finish()
{
    if (m_finished)
        return S_OK;
    m_finished = true;
    int err = av_write_trailer(m_ctx);
    if (err >= 0) {
        avio_flush(m_ctx->pb);
        err = m_ctx->pb->error;
    }
    return HResultFromAVError(err);
}

} // namespace twwmf
