#include "filters/wmadec/wmadec.h"

#include <cstring>

#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wmcodecdsp.h>

#include <twcom/builtin_classes.h>

#include "mapper/builtin_filters.h"

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_class(CLSID_CWMADecMediaObject, WmaDecoder::Create);

const std::vector<RegisteredPinType> kInputTypes{{MEDIATYPE_Audio, MEDIASUBTYPE_MSAUDIO1},
                                                 {MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV2},
                                                 {MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9}};

BuiltinFilterRegistration s_filter(RegisteredFilter{
    CLSID_CWMADecMediaObject, u"WMAudio Decoder DMO", MERIT_NORMAL,
    {RegisteredPin{u"XForm In", false, false, false, false, GUID_NULL, u"", kInputTypes},
     RegisteredPin{u"XForm Out", false, true, false, false, GUID_NULL, u"", {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}}}});

const int kMaxChannels = 8;
// The most samples one decoded frame holds (WMA Pro: 8192 at 96 kHz).
const long kMaxFrameSamples = 8192;

// The WAVEFORMATEX of a type, or null when the format block is not a whole one.
const WAVEFORMATEX *WaveFormat(const AM_MEDIA_TYPE &mt)
{
    if (!IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) || !mt.pbFormat || mt.cbFormat < sizeof(WAVEFORMATEX))
        return nullptr;
    auto *wfx = reinterpret_cast<const WAVEFORMATEX *>(mt.pbFormat);
    if (wfx->cbSize > mt.cbFormat - sizeof(WAVEFORMATEX) || wfx->nChannels < 1 || wfx->nChannels > kMaxChannels ||
        wfx->nSamplesPerSec < 1000 || wfx->nSamplesPerSec > 192000)
        return nullptr;
    return wfx;
}

AVCodecID CodecOf(const GUID &subtype)
{
    if (IsEqualGUID(subtype, MEDIASUBTYPE_MSAUDIO1))
        return AV_CODEC_ID_WMAV1;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_WMAudioV2))
        return AV_CODEC_ID_WMAV2;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_WMAudioV9))
        return AV_CODEC_ID_WMAPRO;
    return AV_CODEC_ID_NONE;
}

} // namespace

HRESULT WmaDecoder::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<WmaDecoder>(), riid, ppv);
}

WmaDecoder::WmaDecoder()
{
    SetClassId(CLSID_CWMADecMediaObject);
}

WmaDecoder::~WmaDecoder()
{
    swr_free(&m_swr);
    av_channel_layout_uninit(&m_swrLayout);
}

HRESULT WmaDecoder::CheckInput(const AM_MEDIA_TYPE &mt)
{
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Audio) || CodecOf(mt.subtype) == AV_CODEC_ID_NONE)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const WAVEFORMATEX *wfx = WaveFormat(mt);
    return wfx && wfx->nBlockAlign > 0 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT WmaDecoder::CheckTransform(const AM_MEDIA_TYPE &in, const AM_MEDIA_TYPE &out)
{
    const WAVEFORMATEX *src = WaveFormat(in);
    const WAVEFORMATEX *dst = WaveFormat(out);
    if (!src || !dst || !IsEqualGUID(out.majortype, MEDIATYPE_Audio) || !IsEqualGUID(out.subtype, MEDIASUBTYPE_PCM))
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (dst->wFormatTag != WAVE_FORMAT_PCM || dst->wBitsPerSample != 16 || dst->nChannels != src->nChannels ||
        dst->nSamplesPerSec != src->nSamplesPerSec || dst->nBlockAlign != dst->nChannels * 2)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

std::vector<kit::MediaType> WmaDecoder::TypesFor(const AM_MEDIA_TYPE &in)
{
    const WAVEFORMATEX *src = WaveFormat(in);
    if (!src)
        return {};
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = src->nChannels;
    wfx.nSamplesPerSec = src->nSamplesPerSec;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = static_cast<WORD>(wfx.nChannels * 2);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;

    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = wfx.nBlockAlign;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = sizeof(wfx);
    mt.pbFormat = reinterpret_cast<BYTE *>(&wfx);
    return {kit::MediaType(mt)};
}

HRESULT WmaDecoder::DecideBufferSize(kit::OutputPin *, ALLOCATOR_PROPERTIES *props)
{
    const kit::MediaType type = Output().Type();   // the block below points into it
    const WAVEFORMATEX *wfx = WaveFormat(type.get());
    if (!wfx)
        return VFW_E_NOT_CONNECTED;
    long bytes = kMaxFrameSamples * wfx->nBlockAlign;
    if (props->cBuffers < 8)
        props->cBuffers = 8;
    if (props->cbBuffer < bytes)
        props->cbBuffer = bytes;
    if (props->cbAlign < 1)
        props->cbAlign = 1;
    return S_OK;
}

const AVCodec *WmaDecoder::Configure(const AM_MEDIA_TYPE &in, AVCodecContext *ctx)
{
    const WAVEFORMATEX *wfx = WaveFormat(in);
    const AVCodec *codec = wfx ? avcodec_find_decoder(CodecOf(in.subtype)) : nullptr;
    if (!codec)
        return nullptr;
    ctx->codec_type = AVMEDIA_TYPE_AUDIO;
    ctx->codec_id = codec->id;
    ctx->codec_tag = wfx->wFormatTag;
    ctx->sample_rate = static_cast<int>(wfx->nSamplesPerSec);
    av_channel_layout_default(&ctx->ch_layout, wfx->nChannels);
    ctx->block_align = wfx->nBlockAlign;
    ctx->bit_rate = static_cast<int64_t>(wfx->nAvgBytesPerSec) * 8;
    ctx->bits_per_coded_sample = wfx->wBitsPerSample;
    if (!SetCodecData(ctx, reinterpret_cast<const BYTE *>(wfx) + sizeof(WAVEFORMATEX), wfx->cbSize))
        return nullptr;
    return codec;
}

long WmaDecoder::OutputBytes(const AVFrame *frame)
{
    const kit::MediaType type = Input().Type();   // the block below points into it
    const WAVEFORMATEX *wfx = WaveFormat(type.get());
    return wfx ? frame->nb_samples * wfx->nChannels * 2 : 0;
}

REFERENCE_TIME WmaDecoder::FrameDuration(const AVFrame *frame)
{
    return frame->sample_rate > 0 ? av_rescale(frame->nb_samples, 10000000, frame->sample_rate) : 0;
}

HRESULT WmaDecoder::WriteFrame(const AVFrame *frame, BYTE *buffer, long size, long *written)
{
    const kit::MediaType type = Output().Type();   // the block below points into it
    const WAVEFORMATEX *wfx = WaveFormat(type.get());
    // A frame of another rate than the stream's is skipped.
    if (!wfx || frame->sample_rate != static_cast<int>(wfx->nSamplesPerSec) || frame->nb_samples <= 0 ||
        static_cast<long>(frame->nb_samples) * wfx->nBlockAlign > size)
        return S_FALSE;
    if (frame->format == AV_SAMPLE_FMT_S16 && frame->ch_layout.nb_channels == wfx->nChannels) {
        *written = frame->nb_samples * wfx->nBlockAlign;
        memcpy(buffer, frame->data[0], static_cast<size_t>(*written));
        return S_OK;
    }
    if (!m_swr || m_swrFormat != frame->format || m_swrRate != frame->sample_rate ||
        av_channel_layout_compare(&m_swrLayout, &frame->ch_layout) != 0) {
        ResetConversion();
        AVChannelLayout out{}, in{};
        av_channel_layout_default(&out, wfx->nChannels);
        int err = av_channel_layout_copy(&in, &frame->ch_layout);
        if (err >= 0)
            err = swr_alloc_set_opts2(&m_swr, &out, AV_SAMPLE_FMT_S16, frame->sample_rate, &in,
                                      static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&out);
        av_channel_layout_uninit(&in);
        if (err < 0 || swr_init(m_swr) < 0) {
            ResetConversion();
            return S_FALSE;
        }
        av_channel_layout_copy(&m_swrLayout, &frame->ch_layout);
        m_swrFormat = frame->format;
        m_swrRate = frame->sample_rate;
    }
    uint8_t *dst[1] = {buffer};
    int n = swr_convert(m_swr, dst, static_cast<int>(size / wfx->nBlockAlign),
                        const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
    if (n <= 0)
        return S_FALSE;
    *written = n * wfx->nBlockAlign;
    return S_OK;
}

void WmaDecoder::ResetConversion()
{
    swr_free(&m_swr);
    av_channel_layout_uninit(&m_swrLayout);
    m_swrFormat = -1;
    m_swrRate = 0;
}

} // namespace twds
