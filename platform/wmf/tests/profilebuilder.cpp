#include "profilebuilder.h"

#include <amvideo.h>
#include <cstring>
#include <mmreg.h>

namespace wmftest {

template <class T>
static std::vector<BYTE> Bytes(const T &header, const std::vector<BYTE> &tail)
{
    std::vector<BYTE> out(sizeof(T));
    memcpy(out.data(), &header, sizeof(T));
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

std::vector<BYTE> VideoFormat(LONG width, LONG height, DWORD fourcc, const std::vector<BYTE> &codecData)
{
    VIDEOINFOHEADER vih{};
    vih.rcSource = {0, 0, width, height};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = 300000;
    vih.AvgTimePerFrame = 400000;
    vih.bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + codecData.size());
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biCompression = fourcc;
    return Bytes(vih, codecData);
}

std::vector<BYTE> AudioFormat(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSec, WORD blockAlign,
                              const std::vector<BYTE> &codecData)
{
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = tag;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = rate;
    wfx.nAvgBytesPerSec = bytesPerSec;
    wfx.nBlockAlign = blockAlign;
    wfx.wBitsPerSample = 16;
    wfx.cbSize = static_cast<WORD>(codecData.size());
    return Bytes(wfx, codecData);
}

HRESULT AddStream(IWMProfile *profile, const GUID &type, WORD number, const char16_t *name,
                  const char16_t *connection, DWORD bitrate, DWORD bufferWindow, const GUID &subtype,
                  const GUID &formattype, const std::vector<BYTE> &format)
{
    IWMStreamConfig *config = nullptr;
    HRESULT hr = profile->CreateNewStream(type, &config);
    if (FAILED(hr))
        return hr;
    IWMMediaProps *props = nullptr;
    WM_MEDIA_TYPE mt{};
    mt.majortype = type;
    mt.subtype = subtype;
    mt.bFixedSizeSamples = type == WMMEDIATYPE_Audio;
    mt.bTemporalCompression = type == WMMEDIATYPE_Video;
    mt.lSampleSize = type == WMMEDIATYPE_Audio ? 2973 : 0;
    mt.formattype = formattype;
    mt.cbFormat = static_cast<ULONG>(format.size());
    mt.pbFormat = const_cast<BYTE *>(format.data());
    if (SUCCEEDED(hr = config->SetStreamNumber(number)) && SUCCEEDED(hr = config->SetStreamName(name)) &&
        SUCCEEDED(hr = config->SetConnectionName(connection)) && SUCCEEDED(hr = config->SetBitrate(bitrate)) &&
        SUCCEEDED(hr = config->SetBufferWindow(bufferWindow)) &&
        SUCCEEDED(hr = config->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void **>(&props))) &&
        SUCCEEDED(hr = props->SetMediaType(&mt)))
        hr = profile->AddStream(config);
    if (props)
        props->Release();
    config->Release();
    return hr;
}

HRESULT GetStreamMediaType(IWMStreamConfig *config, MediaTypeCopy &out)
{
    IWMMediaProps *props = nullptr;
    HRESULT hr = config->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void **>(&props));
    if (FAILED(hr))
        return hr;
    DWORD cb = 0;
    if (SUCCEEDED(hr = props->GetMediaType(nullptr, &cb))) {
        std::vector<unsigned long long> buffer((cb + 7) / 8);
        auto *mt = reinterpret_cast<WM_MEDIA_TYPE *>(buffer.data());
        if (SUCCEEDED(hr = props->GetMediaType(mt, &cb))) {
            out.mt = *mt;
            out.format.assign(mt->pbFormat, mt->pbFormat + mt->cbFormat);
            out.mt.pbFormat = nullptr;
        }
    }
    props->Release();
    return hr;
}

HRESULT SaveXml(IWMProfileManager *manager, IWMProfile *profile, std::u16string &xml)
{
    DWORD length = 0;
    HRESULT hr = manager->SaveProfile(profile, nullptr, &length);
    if (FAILED(hr))
        return hr;
    std::u16string buffer(length, u'\0');
    if (FAILED(hr = manager->SaveProfile(profile, buffer.data(), &length)))
        return hr;
    xml.assign(buffer.c_str());
    return S_OK;
}

} // namespace wmftest
