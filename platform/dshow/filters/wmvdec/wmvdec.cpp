#include "filters/wmvdec/wmvdec.h"

#include <cstddef>
#include <cstring>

#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wmcodecdsp.h>

#include <twcom/builtin_classes.h>

#include "mapper/builtin_filters.h"

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_class(CLSID_CWMVDecMediaObject, WmvDecoder::Create);

const std::vector<RegisteredPinType> kInputTypes{
    {MEDIATYPE_Video, MEDIASUBTYPE_WMV1}, {MEDIATYPE_Video, MEDIASUBTYPE_WMV2}, {MEDIATYPE_Video, MEDIASUBTYPE_WMV3}};

BuiltinFilterRegistration s_filter(RegisteredFilter{
    CLSID_CWMVDecMediaObject, u"WMVideo Decoder DMO", MERIT_NORMAL,
    {RegisteredPin{u"XForm In", false, false, false, false, GUID_NULL, u"", kInputTypes},
     RegisteredPin{u"XForm Out", false, true, false, false, GUID_NULL, u"", {{MEDIATYPE_Video, MEDIASUBTYPE_RGB32}}}}});

const LONG kMaxSide = 8192;

// The VIDEOINFOHEADER of a type, or null when the format block is not a whole one.
const VIDEOINFOHEADER *VideoInfo(const AM_MEDIA_TYPE &mt)
{
    if (!IsEqualGUID(mt.formattype, FORMAT_VideoInfo) || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(mt.pbFormat);
    const BITMAPINFOHEADER &bih = vih->bmiHeader;
    if (bih.biSize < sizeof(BITMAPINFOHEADER) ||
        bih.biSize > mt.cbFormat - offsetof(VIDEOINFOHEADER, bmiHeader))
        return nullptr;
    if (bih.biWidth <= 0 || bih.biWidth > kMaxSide || bih.biHeight == 0 || bih.biHeight > kMaxSide ||
        bih.biHeight < -kMaxSide)
        return nullptr;
    return vih;
}

LONG Height(const VIDEOINFOHEADER &vih)
{
    return vih.bmiHeader.biHeight < 0 ? -vih.bmiHeader.biHeight : vih.bmiHeader.biHeight;
}

AVCodecID CodecOf(const GUID &subtype)
{
    if (IsEqualGUID(subtype, MEDIASUBTYPE_WMV1))
        return AV_CODEC_ID_WMV1;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_WMV2))
        return AV_CODEC_ID_WMV2;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_WMV3))
        return AV_CODEC_ID_WMV3;
    return AV_CODEC_ID_NONE;
}

} // namespace

HRESULT WmvDecoder::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<WmvDecoder>(), riid, ppv);
}

WmvDecoder::WmvDecoder()
{
    SetClassId(CLSID_CWMVDecMediaObject);
}

WmvDecoder::~WmvDecoder()
{
    sws_freeContext(m_sws);
}

HRESULT WmvDecoder::CheckInput(const AM_MEDIA_TYPE &mt)
{
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Video) || CodecOf(mt.subtype) == AV_CODEC_ID_NONE)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const VIDEOINFOHEADER *vih = VideoInfo(mt);
    return vih && vih->bmiHeader.biHeight > 0 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT WmvDecoder::CheckTransform(const AM_MEDIA_TYPE &in, const AM_MEDIA_TYPE &out)
{
    const VIDEOINFOHEADER *src = VideoInfo(in);
    const VIDEOINFOHEADER *dst = VideoInfo(out);
    if (!src || !dst || !IsEqualGUID(out.majortype, MEDIATYPE_Video) ||
        !IsEqualGUID(out.subtype, MEDIASUBTYPE_RGB32))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const BITMAPINFOHEADER &bih = dst->bmiHeader;
    if (bih.biCompression != BI_RGB || bih.biBitCount != 32 || bih.biWidth != src->bmiHeader.biWidth ||
        Height(*dst) != Height(*src))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

std::vector<kit::MediaType> WmvDecoder::TypesFor(const AM_MEDIA_TYPE &in)
{
    const VIDEOINFOHEADER *src = VideoInfo(in);
    if (!src)
        return {};
    VIDEOINFOHEADER vih{};
    vih.rcSource = {0, 0, src->bmiHeader.biWidth, Height(*src)};
    vih.rcTarget = vih.rcSource;
    vih.AvgTimePerFrame = src->AvgTimePerFrame;
    BITMAPINFOHEADER &bih = vih.bmiHeader;
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = src->bmiHeader.biWidth;
    bih.biHeight = Height(*src);      // bottom-up, as RGB is by default
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = static_cast<DWORD>(bih.biWidth) * static_cast<DWORD>(bih.biHeight) * 4;
    vih.dwBitRate = static_cast<DWORD>(bih.biSizeImage * 8 *
                                       (vih.AvgTimePerFrame > 0 ? 10000000.0 / vih.AvgTimePerFrame : 25.0));

    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB32;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = bih.biSizeImage;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = reinterpret_cast<BYTE *>(&vih);
    return {kit::MediaType(mt)};
}

HRESULT WmvDecoder::DecideBufferSize(kit::OutputPin *, ALLOCATOR_PROPERTIES *props)
{
    const kit::MediaType type = Output().Type();   // the block below points into it
    const VIDEOINFOHEADER *vih = VideoInfo(type.get());
    if (!vih)
        return VFW_E_NOT_CONNECTED;
    long bytes = vih->bmiHeader.biWidth * Height(*vih) * 4;
    if (props->cBuffers < 2)
        props->cBuffers = 2;
    if (props->cbBuffer < bytes)
        props->cbBuffer = bytes;
    if (props->cbAlign < 1)
        props->cbAlign = 1;
    return S_OK;
}

const AVCodec *WmvDecoder::Configure(const AM_MEDIA_TYPE &in, AVCodecContext *ctx)
{
    const VIDEOINFOHEADER *vih = VideoInfo(in);
    const AVCodec *codec = vih ? avcodec_find_decoder(CodecOf(in.subtype)) : nullptr;
    if (!codec)
        return nullptr;
    const BITMAPINFOHEADER &bih = vih->bmiHeader;
    ctx->codec_type = AVMEDIA_TYPE_VIDEO;
    ctx->codec_id = codec->id;
    ctx->codec_tag = bih.biCompression;
    ctx->width = bih.biWidth;
    ctx->height = Height(*vih);
    if (!SetCodecData(ctx, reinterpret_cast<const BYTE *>(&bih) + sizeof(BITMAPINFOHEADER),
                      bih.biSize - sizeof(BITMAPINFOHEADER)))
        return nullptr;
    return codec;
}

long WmvDecoder::OutputBytes(const AVFrame *frame)
{
    return frame->width * frame->height * 4;
}

REFERENCE_TIME WmvDecoder::FrameDuration(const AVFrame *frame)
{
    if (frame->pkt_duration > 0)
        return frame->pkt_duration;
    const kit::MediaType type = Input().Type();   // the block below points into it
    const VIDEOINFOHEADER *vih = VideoInfo(type.get());
    return vih ? vih->AvgTimePerFrame : 0;
}

HRESULT WmvDecoder::WriteFrame(const AVFrame *frame, BYTE *buffer, long size, long *written)
{
    const kit::MediaType type = Output().Type();   // the block below points into it
    const VIDEOINFOHEADER *vih = VideoInfo(type.get());
    // A picture of another size than the one negotiated is skipped.
    if (!vih || frame->width != vih->bmiHeader.biWidth || frame->height != Height(*vih))
        return S_FALSE;
    long stride = frame->width * 4;
    if (size < stride * frame->height)
        return S_FALSE;
    m_sws = sws_getCachedContext(m_sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                 frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr,
                                 nullptr);
    if (!m_sws)
        return S_FALSE;
    // Bottom-up unless the type says top-down (a negative height).
    uint8_t *dst[4] = {buffer, nullptr, nullptr, nullptr};
    int lines[4] = {static_cast<int>(stride), 0, 0, 0};
    if (vih->bmiHeader.biHeight > 0) {
        dst[0] = buffer + (frame->height - 1) * stride;
        lines[0] = -static_cast<int>(stride);
    }
    sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, dst, lines);
    *written = stride * frame->height;
    return S_OK;
}

} // namespace twds
