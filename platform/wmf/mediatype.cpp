#include <twwmf/mediatype.h>

#include <amvideo.h>
#include <asferr.h>
#include <cstddef>
#include <cstring>
#include <mmreg.h>

namespace twwmf {

static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is byte-packed");
static_assert(sizeof(VIDEOINFOHEADER) == 88, "VIDEOINFOHEADER layout");

bool MediaFormat::operator==(const MediaFormat &o) const
{
    return majortype == o.majortype && subtype == o.subtype && bFixedSizeSamples == o.bFixedSizeSamples &&
           bTemporalCompression == o.bTemporalCompression && lSampleSize == o.lSampleSize &&
           formattype == o.formattype && format == o.format;
}

HRESULT CheckFormatBlock(const GUID &formattype, const BYTE *data, size_t size)
{
    if (size && !data)
        return E_POINTER;
    if (formattype == WMFORMAT_VideoInfo) {
        if (size < sizeof(VIDEOINFOHEADER))
            return E_INVALIDARG;
        VIDEOINFOHEADER vih;
        memcpy(&vih, data, sizeof(vih));
        size_t bmiOffset = offsetof(VIDEOINFOHEADER, bmiHeader);
        if (vih.bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || bmiOffset + vih.bmiHeader.biSize > size)
            return E_INVALIDARG;
    } else if (formattype == WMFORMAT_WaveFormatEx) {
        if (size < sizeof(WAVEFORMATEX))
            return E_INVALIDARG;
        WAVEFORMATEX wfx;
        memcpy(&wfx, data, sizeof(wfx));
        if (sizeof(WAVEFORMATEX) + wfx.cbSize > size)
            return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT MediaFormat::FromWmType(const WM_MEDIA_TYPE *pType, MediaFormat &out)
{
    if (!pType)
        return E_POINTER;
    HRESULT hr = CheckFormatBlock(pType->formattype, pType->pbFormat, pType->cbFormat);
    if (FAILED(hr))
        return hr;
    MediaFormat mt;
    mt.majortype = pType->majortype;
    mt.subtype = pType->subtype;
    mt.bFixedSizeSamples = pType->bFixedSizeSamples ? TRUE : FALSE;
    mt.bTemporalCompression = pType->bTemporalCompression ? TRUE : FALSE;
    mt.lSampleSize = pType->lSampleSize;
    mt.formattype = pType->formattype;
    if (pType->cbFormat)
        mt.format.assign(pType->pbFormat, pType->pbFormat + pType->cbFormat);
    out = std::move(mt);
    return S_OK;
}

DWORD MediaFormat::WmTypeSize() const
{
    return static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format.size());
}

HRESULT MediaFormat::ToWmType(WM_MEDIA_TYPE *pType, DWORD *pcbType) const
{
    if (!pcbType)
        return E_POINTER;
    DWORD needed = WmTypeSize();
    if (!pType) {
        *pcbType = needed;
        return S_OK;
    }
    if (*pcbType < needed) {
        *pcbType = needed;
        return ASF_E_BUFFERTOOSMALL;
    }
    pType->majortype = majortype;
    pType->subtype = subtype;
    pType->bFixedSizeSamples = bFixedSizeSamples;
    pType->bTemporalCompression = bTemporalCompression;
    pType->lSampleSize = lSampleSize;
    pType->formattype = formattype;
    pType->pUnk = nullptr;
    pType->cbFormat = static_cast<ULONG>(format.size());
    pType->pbFormat = format.empty() ? nullptr : reinterpret_cast<BYTE *>(pType + 1);
    if (!format.empty())
        memcpy(pType->pbFormat, format.data(), format.size());
    *pcbType = needed;
    return S_OK;
}

std::vector<BYTE> CodecData(const MediaFormat &mt)
{
    size_t header = 0;
    if (mt.formattype == WMFORMAT_VideoInfo) {
        header = sizeof(VIDEOINFOHEADER);
    } else if (mt.formattype == WMFORMAT_WaveFormatEx) {
        if (mt.format.size() < sizeof(WAVEFORMATEX))
            return {};
        WAVEFORMATEX wfx;
        memcpy(&wfx, mt.format.data(), sizeof(wfx));
        size_t end = sizeof(WAVEFORMATEX) + wfx.cbSize;
        if (end > mt.format.size())
            return {};
        return std::vector<BYTE>(mt.format.begin() + sizeof(WAVEFORMATEX), mt.format.begin() + end);
    } else {
        return {};
    }
    if (mt.format.size() <= header)
        return {};
    return std::vector<BYTE>(mt.format.begin() + header, mt.format.end());
}

GUID SubtypeFromTag(DWORD tag)
{
    GUID g = WMMEDIASUBTYPE_Base;
    g.Data1 = tag;
    return g;
}

} // namespace twwmf
