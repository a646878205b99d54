#include "filters/avdec/av_decoder.h"

#include <climits>
#include <cstring>

#include <vfwmsgs.h>

namespace twds {
namespace {

// Pictures larger than this (standard definition) decode on several threads.
const int64_t kThreadedPixels = 720 * 576;

} // namespace

AvDecoder::~AvDecoder()
{
    Close();
}

void AvDecoder::Close()
{
    std::lock_guard<std::mutex> hold(m_codecLock);
    avcodec_free_context(&m_ctx);
    av_frame_free(&m_frame);
}

bool AvDecoder::SetCodecData(AVCodecContext *ctx, const BYTE *data, size_t size)
{
    if (!size || size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        return !size;
    ctx->extradata = static_cast<uint8_t *>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!ctx->extradata)
        return false;
    memcpy(ctx->extradata, data, size);
    ctx->extradata_size = static_cast<int>(size);
    return true;
}

HRESULT AvDecoder::OnInputConnected(kit::InputPin *)
{
    Close();
    AVCodecContext *ctx = avcodec_alloc_context3(nullptr);
    AVFrame *frame = av_frame_alloc();
    if (!ctx || !frame) {
        avcodec_free_context(&ctx);
        av_frame_free(&frame);
        return E_OUTOFMEMORY;
    }
    const AVCodec *codec = Configure(Input().Type().get(), ctx);
    // Large pictures decode several frames at once where the codec can; small
    // ones (and sound) decode in a fraction of a millisecond, less than the
    // hand-offs between decoding threads would cost. Packets keep their times.
    ctx->thread_count = int64_t(ctx->width) * ctx->height > kThreadedPixels ? 0 : 1;
    ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    ctx->pkt_timebase = AVRational{1, 10000000};
    if (!codec || avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        av_frame_free(&frame);
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    std::lock_guard<std::mutex> hold(m_codecLock);
    m_ctx = ctx;
    m_frame = frame;
    Reset();
    return S_OK;
}

void AvDecoder::OnInputDisconnected(kit::InputPin *)
{
    Close();
}

void AvDecoder::Reset()
{
    if (m_ctx)
        avcodec_flush_buffers(m_ctx);
    ResetConversion();
    m_discontinuity = true;
    m_waitingForKey = true;
    m_lastStart = AV_NOPTS_VALUE;
    m_next = AV_NOPTS_VALUE;
    m_prerollTimes.clear();
}

HRESULT AvDecoder::OnPause(FILTER_STATE from)
{
    HRESULT hr = Transform::OnPause(from);
    if (SUCCEEDED(hr) && from == State_Stopped) {
        std::lock_guard<std::mutex> hold(m_codecLock);
        Reset();
    }
    return hr;
}

HRESULT AvDecoder::EndFlush(kit::InputPin *pin)
{
    {
        std::lock_guard<std::mutex> hold(m_codecLock);
        Reset();
    }
    return Transform::EndFlush(pin);
}

HRESULT AvDecoder::Receive(kit::InputPin *, IMediaSample *sample)
{
    BYTE *data = nullptr;
    long size = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || size < 0)
        return E_POINTER;
    AVPacket *packet = av_packet_alloc();
    if (!packet || av_new_packet(packet, static_cast<int>(size)) < 0) {
        av_packet_free(&packet);
        return E_OUTOFMEMORY;
    }
    if (size)
        memcpy(packet->data, data, static_cast<size_t>(size));
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT timed = sample->GetTime(&start, &stop);
    if (SUCCEEDED(timed)) {
        packet->pts = start;
        packet->dts = AV_NOPTS_VALUE;
        if (timed == S_OK && stop > start)
            packet->duration = stop - start;
    }
    if (sample->IsSyncPoint() == S_OK)
        packet->flags |= AV_PKT_FLAG_KEY;

    std::lock_guard<std::mutex> hold(m_codecLock);
    if (sample->IsDiscontinuity() == S_OK)
        m_discontinuity = true;
    if (m_waitingForKey && StartsAtKeyFrame()) {
        if (!(packet->flags & AV_PKT_FLAG_KEY)) {
            av_packet_free(&packet);
            return S_OK;
        }
        m_waitingForKey = false;
    }
    if (SUCCEEDED(timed) && sample->IsPreroll() == S_OK)
        m_prerollTimes.insert(start);
    HRESULT hr = Decode(packet);
    av_packet_free(&packet);
    return hr;
}

HRESULT AvDecoder::EndOfStream(kit::InputPin *pin)
{
    {
        std::lock_guard<std::mutex> hold(m_codecLock);
        Decode(nullptr);
        // The decoder is drained: make it take packets again.
        if (m_ctx)
            avcodec_flush_buffers(m_ctx);
    }
    return Transform::EndOfStream(pin);
}

HRESULT AvDecoder::Decode(const AVPacket *packet)
{
    if (!m_ctx)
        return VFW_E_NOT_CONNECTED;
    // A packet the decoder rejects is skipped; the stream goes on with the next.
    int err = avcodec_send_packet(m_ctx, packet);
    if (err < 0 && err != AVERROR(EAGAIN))
        return S_OK;
    for (;;) {
        err = avcodec_receive_frame(m_ctx, m_frame);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return S_OK;
        if (err < 0)
            return S_OK;   // a frame that fails to decode is skipped
        HRESULT hr = S_OK;
        if (!(m_frame->flags & AV_FRAME_FLAG_CORRUPT) && !m_frame->decode_error_flags)
            hr = DeliverFrame(m_frame);
        av_frame_unref(m_frame);
        if (FAILED(hr))
            return hr;
    }
}

HRESULT AvDecoder::DeliverFrame(const AVFrame *frame)
{
    // The frame's own time; a second frame from the same packet goes on from the first.
    REFERENCE_TIME start = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
    if ((start == AV_NOPTS_VALUE || start == m_lastStart) && m_next != AV_NOPTS_VALUE)
        start = m_next;
    REFERENCE_TIME duration = FrameDuration(frame);
    // Streams that carry no durations (ASF video): as long as the gap from the
    // frame before, so that renderers know when a picture is too late.
    if (duration <= 0 && start != AV_NOPTS_VALUE && m_lastStart != AV_NOPTS_VALUE && start > m_lastStart)
        duration = start - m_lastStart;
    // A frame of preroll input (before a seek position) is decoded, not delivered.
    if (start != AV_NOPTS_VALUE && !m_prerollTimes.empty()) {
        bool preroll = m_prerollTimes.count(start) > 0;
        m_prerollTimes.erase(m_prerollTimes.begin(), m_prerollTimes.upper_bound(start));
        if (preroll) {
            m_lastStart = start;
            m_next = start + duration;
            return S_OK;
        }
    }

    twcom::ComPtr<IMediaSample> out;
    HRESULT hr = Output().GetDeliveryBuffer(out.put(), nullptr, nullptr, 0);
    if (FAILED(hr))
        return Input().Flushing() ? S_FALSE : hr;
    BYTE *buffer = nullptr;
    long written = 0;
    long need = OutputBytes(frame);
    if (FAILED(out->GetPointer(&buffer)) || need <= 0 || out->GetSize() < need)
        return S_OK;   // a frame that does not fit the negotiated buffers is skipped
    hr = WriteFrame(frame, buffer, out->GetSize(), &written);
    if (hr != S_OK)
        return SUCCEEDED(hr) ? S_OK : hr;
    out->SetActualDataLength(written);
    if (start != AV_NOPTS_VALUE) {
        REFERENCE_TIME stop = start + duration;
        out->SetTime(&start, &stop);
        m_lastStart = start;
        m_next = stop;
    } else {
        out->SetTime(nullptr, nullptr);
    }
    out->SetSyncPoint(TRUE);
    out->SetDiscontinuity(m_discontinuity);
    out->SetPreroll(FALSE);
    m_discontinuity = false;
    return Output().Deliver(out.get());
}

} // namespace twds
