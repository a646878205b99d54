#include <twwmf/avprofile.h>

#include <amvideo.h>
#include <cstring>
#include <mmreg.h>
#include <nserror.h>

#include "profile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace twwmf {
namespace {

// Buffer window given to streams whose source does not state one.
constexpr DWORD kDefaultBufferWindowMs = 3000;

const AVCodecTag *const kVideoTags[] = {avformat_get_riff_video_tags(), nullptr};
const AVCodecTag *const kAudioTags[] = {avformat_get_riff_audio_tags(), nullptr};

template <class T>
void Append(std::vector<BYTE> &out, const T &value)
{
    const BYTE *p = reinterpret_cast<const BYTE *>(&value);
    out.insert(out.end(), p, p + sizeof(T));
}

DWORD Clamp32(int64_t v)
{
    return v <= 0 ? 0 : v > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<DWORD>(v);
}

HRESULT VideoInfo(const AVStream *st, StreamInfo &out)
{
    const AVCodecParameters *par = st->codecpar;
    DWORD tag = par->codec_tag ? par->codec_tag : av_codec_get_tag(kVideoTags, par->codec_id);
    if (!tag)
        return NS_E_INVALID_OUTPUT_FORMAT;
    size_t extra = par->extradata_size > 0 ? static_cast<size_t>(par->extradata_size) : 0;
    if (extra > 0xFFFF || par->width <= 0 || par->height <= 0)
        return NS_E_INVALID_OUTPUT_FORMAT;

    VIDEOINFOHEADER vih{};
    vih.rcSource = {0, 0, par->width, par->height};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = Clamp32(par->bit_rate);
    AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        vih.AvgTimePerFrame = av_rescale(10000000, rate.den, rate.num);
    BITMAPINFOHEADER &bih = vih.bmiHeader;
    bih.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + extra);
    bih.biWidth = par->width;
    bih.biHeight = par->height;
    bih.biPlanes = 1;
    bih.biBitCount = static_cast<WORD>(par->bits_per_coded_sample > 0 ? par->bits_per_coded_sample : 24);
    bih.biCompression = tag;
    bih.biSizeImage = static_cast<DWORD>(par->width) * static_cast<DWORD>(par->height) * bih.biBitCount / 8;

    MediaFormat &mt = out.mediaType;
    mt.majortype = WMMEDIATYPE_Video;
    mt.subtype = SubtypeFromTag(tag);
    mt.bFixedSizeSamples = FALSE;
    mt.bTemporalCompression = TRUE;
    mt.lSampleSize = 0;
    mt.formattype = WMFORMAT_VideoInfo;
    mt.format.clear();
    Append(mt.format, vih);
    if (extra)
        mt.format.insert(mt.format.end(), par->extradata, par->extradata + extra);
    out.streamType = WMMEDIATYPE_Video;
    return S_OK;
}

HRESULT AudioInfo(const AVStream *st, StreamInfo &out)
{
    const AVCodecParameters *par = st->codecpar;
    unsigned tag = par->codec_tag ? par->codec_tag : av_codec_get_tag(kAudioTags, par->codec_id);
    size_t extra = par->extradata_size > 0 ? static_cast<size_t>(par->extradata_size) : 0;
    if (!tag || tag > 0xFFFF || extra > 0xFFFF - sizeof(WAVEFORMATEX))
        return NS_E_INVALID_OUTPUT_FORMAT;
    int channels = par->ch_layout.nb_channels;
    if (channels <= 0 || channels > 0xFFFF || par->sample_rate <= 0)
        return NS_E_INVALID_OUTPUT_FORMAT;

    WAVEFORMATEX wfx{};
    wfx.wFormatTag = static_cast<WORD>(tag);
    wfx.nChannels = static_cast<WORD>(channels);
    wfx.nSamplesPerSec = static_cast<DWORD>(par->sample_rate);
    wfx.nAvgBytesPerSec = Clamp32(par->bit_rate / 8);
    wfx.nBlockAlign = static_cast<WORD>(par->block_align > 0 && par->block_align <= 0xFFFF ? par->block_align : 0);
    wfx.wBitsPerSample = static_cast<WORD>(par->bits_per_coded_sample > 0 ? par->bits_per_coded_sample : 16);
    wfx.cbSize = static_cast<WORD>(extra);

    MediaFormat &mt = out.mediaType;
    mt.majortype = WMMEDIATYPE_Audio;
    mt.subtype = SubtypeFromTag(tag);
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = wfx.nBlockAlign;
    mt.formattype = WMFORMAT_WaveFormatEx;
    mt.format.clear();
    Append(mt.format, wfx);
    if (extra)
        mt.format.insert(mt.format.end(), par->extradata, par->extradata + extra);
    out.streamType = WMMEDIATYPE_Audio;
    return S_OK;
}

HRESULT SetExtradata(AVCodecParameters *par, const std::vector<BYTE> &data)
{
    av_freep(&par->extradata);
    par->extradata_size = 0;
    if (data.empty())
        return S_OK;
    par->extradata = static_cast<uint8_t *>(av_mallocz(data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata)
        return E_OUTOFMEMORY;
    memcpy(par->extradata, data.data(), data.size());
    par->extradata_size = static_cast<int>(data.size());
    return S_OK;
}

} // namespace

HRESULT StreamInfoFromAVStream(const AVStream *st, StreamInfo &out)
{
    if (!st || !st->codecpar)
        return E_POINTER;
    StreamInfo info;
    HRESULT hr;
    switch (st->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO: hr = VideoInfo(st, info); break;
    case AVMEDIA_TYPE_AUDIO: hr = AudioInfo(st, info); break;
    default: return NS_E_INVALID_OUTPUT_FORMAT;
    }
    if (FAILED(hr))
        return hr;
    if (st->id < kMinStreamNumber || st->id > kMaxStreamNumber)
        return NS_E_INVALID_STREAM;
    info.number = static_cast<WORD>(st->id);
    info.bitrate = Clamp32(st->codecpar->bit_rate);
    info.bufferWindow = kDefaultBufferWindowMs;
    out = std::move(info);
    return S_OK;
}

HRESULT CreateProfileFromFormat(const AVFormatContext *fmt, IWMProfile **ppProfile)
{
    if (!fmt || !ppProfile)
        return E_POINTER;
    *ppProfile = nullptr;
    ProfileData data;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        AVMediaType type = fmt->streams[i]->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
            continue;
        StreamInfo info;
        HRESULT hr = StreamInfoFromAVStream(fmt->streams[i], info);
        if (FAILED(hr))
            return hr;
        data.streams.push_back(std::move(info));
    }
    HRESULT hr = CheckProfileData(data);
    if (FAILED(hr))
        return hr;
    return Profile::Create(data, ppProfile);
}

HRESULT CodecParametersFromStreamInfo(const StreamInfo &info, AVCodecParameters *par)
{
    if (!par)
        return E_POINTER;
    const MediaFormat &mt = info.mediaType;
    HRESULT hr = CheckFormatBlock(mt.formattype, mt.format.data(), mt.format.size());
    if (FAILED(hr))
        return NS_E_INVALID_OUTPUT_FORMAT;
    if (info.streamType == WMMEDIATYPE_Video && mt.formattype == WMFORMAT_VideoInfo) {
        VIDEOINFOHEADER vih;
        memcpy(&vih, mt.format.data(), sizeof(vih));
        const BITMAPINFOHEADER &bih = vih.bmiHeader;
        if (bih.biWidth <= 0 || bih.biHeight == 0 || bih.biHeight == INT32_MIN || !bih.biCompression)
            return NS_E_INVALID_OUTPUT_FORMAT;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_tag = bih.biCompression;
        par->codec_id = av_codec_get_id(kVideoTags, bih.biCompression);
        par->width = bih.biWidth;
        par->height = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        par->bits_per_coded_sample = bih.biBitCount;
        par->bit_rate = vih.dwBitRate ? vih.dwBitRate : info.bitrate;
    } else if (info.streamType == WMMEDIATYPE_Audio && mt.formattype == WMFORMAT_WaveFormatEx) {
        WAVEFORMATEX wfx;
        memcpy(&wfx, mt.format.data(), sizeof(wfx));
        if (!wfx.wFormatTag || !wfx.nChannels || !wfx.nSamplesPerSec || wfx.nSamplesPerSec > INT32_MAX)
            return NS_E_INVALID_OUTPUT_FORMAT;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_tag = wfx.wFormatTag;
        par->codec_id = av_codec_get_id(kAudioTags, wfx.wFormatTag);
        av_channel_layout_uninit(&par->ch_layout);
        av_channel_layout_default(&par->ch_layout, wfx.nChannels);
        par->sample_rate = static_cast<int>(wfx.nSamplesPerSec);
        par->bit_rate = static_cast<int64_t>(wfx.nAvgBytesPerSec) * 8;
        par->block_align = wfx.nBlockAlign;
        par->bits_per_coded_sample = wfx.wBitsPerSample;
    } else {
        return NS_E_INVALID_OUTPUT_FORMAT;
    }
    return SetExtradata(par, CodecData(mt));
}

} // namespace twwmf
