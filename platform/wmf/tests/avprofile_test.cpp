// Profiles built from demuxed clips describe the clip's streams and codec data.
#include <gtest/gtest.h>
#include <mmreg.h>
#include <twtesting.h>
#include <wmsdk.h>

#include <amvideo.h>
#include <cstring>

#include "asfclip.h"
#include <twwmf/avprofile.h>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace wmftest;

namespace {

std::vector<BYTE> StreamFormat(IWMProfile *profile, DWORD index, WM_MEDIA_TYPE &mt)
{
    IWMStreamConfig *config = nullptr;
    EXPECT_EQ(S_OK, profile->GetStream(index, &config));
    IWMMediaProps *props = nullptr;
    EXPECT_EQ(S_OK, config->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void **>(&props)));
    DWORD cb = 0;
    props->GetMediaType(nullptr, &cb);
    std::vector<unsigned long long> buffer((cb + 7) / 8);
    auto *p = reinterpret_cast<WM_MEDIA_TYPE *>(buffer.data());
    EXPECT_EQ(S_OK, props->GetMediaType(p, &cb));
    mt = *p;
    std::vector<BYTE> format(p->pbFormat, p->pbFormat + p->cbFormat);
    mt.pbFormat = nullptr;
    props->Release();
    config->Release();
    return format;
}

TEST(ProfileFromClip, DescribesVideoAndAudioStreamsWithCodecData)
{
    twtest::TempDir dir;
    std::string path = dir.file("clip.asf");
    ASSERT_EQ("", MakeClip(path, {"--seconds", "1", "--size", "176x144", "--fps", "15", "--title", "T"}));

    AVFormatContext *fmt = nullptr;
    ASSERT_GE(avformat_open_input(&fmt, path.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(fmt, nullptr), 0);
    IWMProfile *profile = nullptr;
    ASSERT_EQ(S_OK, twwmf::CreateProfileFromFormat(fmt, &profile));

    DWORD count = 0;
    ASSERT_EQ(S_OK, profile->GetStreamCount(&count));
    ASSERT_EQ(fmt->nb_streams, count);
    for (DWORD i = 0; i < count; ++i) {
        const AVStream *st = fmt->streams[i];
        IWMStreamConfig *config = nullptr;
        ASSERT_EQ(S_OK, profile->GetStream(i, &config));
        WORD number = 0;
        GUID type{};
        config->GetStreamNumber(&number);
        config->GetStreamType(&type);
        config->Release();
        EXPECT_EQ(st->id, number);

        WM_MEDIA_TYPE mt{};
        std::vector<BYTE> format = StreamFormat(profile, i, mt);
        std::vector<BYTE> extradata(st->codecpar->extradata, st->codecpar->extradata + st->codecpar->extradata_size);
        ASSERT_FALSE(extradata.empty());
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            EXPECT_EQ(WMMEDIATYPE_Video, type);
            EXPECT_EQ(WMMEDIASUBTYPE_WMV2, mt.subtype);
            EXPECT_EQ(WMFORMAT_VideoInfo, mt.formattype);
            ASSERT_EQ(sizeof(VIDEOINFOHEADER) + extradata.size(), format.size());
            VIDEOINFOHEADER vih;
            memcpy(&vih, format.data(), sizeof(vih));
            EXPECT_EQ(176, vih.bmiHeader.biWidth);
            EXPECT_EQ(144, vih.bmiHeader.biHeight);
            EXPECT_EQ(0x32564D57u, vih.bmiHeader.biCompression);
            EXPECT_EQ(sizeof(BITMAPINFOHEADER) + extradata.size(), vih.bmiHeader.biSize);
            EXPECT_EQ(666667, vih.AvgTimePerFrame); // 1/15 s, rounded
            EXPECT_EQ(extradata, std::vector<BYTE>(format.begin() + sizeof(VIDEOINFOHEADER), format.end()));
        } else {
            EXPECT_EQ(WMMEDIATYPE_Audio, type);
            EXPECT_EQ(WMMEDIASUBTYPE_WMAudioV2, mt.subtype);
            EXPECT_EQ(WMFORMAT_WaveFormatEx, mt.formattype);
            ASSERT_EQ(sizeof(WAVEFORMATEX) + extradata.size(), format.size());
            WAVEFORMATEX wfx;
            memcpy(&wfx, format.data(), sizeof(wfx));
            EXPECT_EQ(WAVE_FORMAT_WMAUDIO2, wfx.wFormatTag);
            EXPECT_EQ(2, wfx.nChannels);
            EXPECT_EQ(44100u, wfx.nSamplesPerSec);
            EXPECT_EQ(extradata.size(), wfx.cbSize);
            EXPECT_EQ(extradata, std::vector<BYTE>(format.begin() + sizeof(WAVEFORMATEX), format.end()));
        }
    }
    profile->Release();
    avformat_close_input(&fmt);
}

} // namespace
