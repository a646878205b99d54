// Profiles, stream configurations and the profile manager's XML form.
#include <asferr.h>
#include <gtest/gtest.h>
#include <mmreg.h>
#include <nserror.h>

#include "profilebuilder.h"

using namespace wmftest;

namespace {

template <class T>
struct Ref {
    T *p = nullptr;
    ~Ref()
    {
        if (p)
            p->Release();
    }
    T *operator->() const { return p; }
    T **operator&() { return &p; }
};

const std::vector<BYTE> kVideoCodecData = {0x00, 0xFF, 0x3C, 0x26, 0x22, 0x10, 0x00, 0x7F};
const std::vector<BYTE> kAudioCodecData = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xEE, 0x00, 0x00};

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, WMCreateProfileManager(&m_manager));
        ASSERT_EQ(S_OK, m_manager->CreateEmptyProfile(WMT_VER_8_0, &m_profile));
    }

    // A video and an audio stream with codec data, names that need escaping and all fields set.
    void FillTwoStreams()
    {
        ASSERT_EQ(S_OK, m_profile->SetName(u"Rec <&> \"quoted\" 'apos'\ttab\nline"));
        ASSERT_EQ(S_OK, m_profile->SetDescription(u"D\u00e9j\u00e0 vu \U0001F3A5"));
        ASSERT_EQ(S_OK, AddStream(m_profile.p, WMMEDIATYPE_Video, 2, u"Video <main>", u"Video2", 300000, 5000,
                                  WMMEDIASUBTYPE_WMV2, WMFORMAT_VideoInfo,
                                  VideoFormat(320, 240, 0x32564D57, kVideoCodecData)));
        ASSERT_EQ(S_OK, AddStream(m_profile.p, WMMEDIATYPE_Audio, 1, u"Audio & more", u"", 128000, 3000,
                                  WMMEDIASUBTYPE_WMAudioV2, WMFORMAT_WaveFormatEx,
                                  AudioFormat(WAVE_FORMAT_WMAUDIO2, 2, 44100, 16000, 2973, kAudioCodecData)));
    }

    Ref<IWMProfileManager> m_manager;
    Ref<IWMProfile> m_profile;
};

std::u16string StreamName(IWMStreamConfig *config)
{
    WORD cch = 0;
    EXPECT_EQ(S_OK, config->GetStreamName(nullptr, &cch));
    std::u16string name(cch, u'\0');
    EXPECT_EQ(S_OK, config->GetStreamName(name.data(), &cch));
    return std::u16string(name.c_str());
}

TEST_F(ProfileTest, StreamsKeepOrderNumbersAndMediaTypes)
{
    FillTwoStreams();
    DWORD count = 0;
    ASSERT_EQ(S_OK, m_profile->GetStreamCount(&count));
    ASSERT_EQ(2u, count);

    Ref<IWMStreamConfig> first;
    ASSERT_EQ(S_OK, m_profile->GetStream(0, &first));
    GUID type{};
    WORD number = 0;
    DWORD bitrate = 0, window = 0;
    EXPECT_EQ(S_OK, first->GetStreamType(&type));
    EXPECT_EQ(WMMEDIATYPE_Video, type);
    EXPECT_EQ(S_OK, first->GetStreamNumber(&number));
    EXPECT_EQ(2, number);
    EXPECT_EQ(S_OK, first->GetBitrate(&bitrate));
    EXPECT_EQ(300000u, bitrate);
    EXPECT_EQ(S_OK, first->GetBufferWindow(&window));
    EXPECT_EQ(5000u, window);
    EXPECT_EQ(u"Video <main>", StreamName(first.p));

    MediaTypeCopy mt;
    ASSERT_EQ(S_OK, GetStreamMediaType(first.p, mt));
    EXPECT_EQ(WMMEDIASUBTYPE_WMV2, mt.mt.subtype);
    EXPECT_EQ(WMFORMAT_VideoInfo, mt.mt.formattype);
    EXPECT_EQ(VideoFormat(320, 240, 0x32564D57, kVideoCodecData), mt.format);

    Ref<IWMStreamConfig> audio;
    ASSERT_EQ(S_OK, m_profile->GetStreamByNumber(1, &audio));
    ASSERT_EQ(S_OK, GetStreamMediaType(audio.p, mt));
    EXPECT_EQ(AudioFormat(WAVE_FORMAT_WMAUDIO2, 2, 44100, 16000, 2973, kAudioCodecData), mt.format);
    EXPECT_TRUE(mt.mt.bFixedSizeSamples);

    Ref<IWMStreamConfig> none;
    EXPECT_EQ(NS_E_NO_STREAM, m_profile->GetStreamByNumber(9, &none));
    EXPECT_EQ(nullptr, none.p);
    EXPECT_EQ(E_INVALIDARG, m_profile->GetStream(2, &none));
}

TEST_F(ProfileTest, SizeQueriesAndSmallBuffers)
{
    FillTwoStreams();
    Ref<IWMStreamConfig> video;
    ASSERT_EQ(S_OK, m_profile->GetStream(0, &video));
    Ref<IWMMediaProps> props;
    ASSERT_EQ(S_OK, video->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void **>(&props)));
    DWORD cb = 0;
    ASSERT_EQ(S_OK, props->GetMediaType(nullptr, &cb));
    EXPECT_EQ(sizeof(WM_MEDIA_TYPE) + 88 + kVideoCodecData.size(), cb);
    std::vector<BYTE> small(cb - 1);
    DWORD smallSize = cb - 1;
    EXPECT_EQ(ASF_E_BUFFERTOOSMALL, props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE *>(small.data()), &smallSize));
    EXPECT_EQ(cb, smallSize);

    WORD cch = 0;
    ASSERT_EQ(S_OK, video->GetStreamName(nullptr, &cch));
    EXPECT_EQ(13, cch); // "Video <main>" and its NUL
    WCHAR name[4];
    WORD shortCch = 4;
    EXPECT_EQ(ASF_E_BUFFERTOOSMALL, video->GetStreamName(name, &shortCch));
    EXPECT_EQ(13, shortCch);
}

TEST_F(ProfileTest, AddStreamRejectsBadNumbersAndFormats)
{
    FillTwoStreams();
    // The same number twice.
    EXPECT_TRUE(FAILED(AddStream(m_profile.p, WMMEDIATYPE_Audio, 1, u"dup", u"", 1, 1, WMMEDIASUBTYPE_WMAudioV2,
                                 WMFORMAT_WaveFormatEx, AudioFormat(0x161, 1, 8000, 1000, 64, {}))));
    // Out of range.
    EXPECT_TRUE(FAILED(AddStream(m_profile.p, WMMEDIATYPE_Audio, 64, u"big", u"", 1, 1, WMMEDIASUBTYPE_WMAudioV2,
                                 WMFORMAT_WaveFormatEx, AudioFormat(0x161, 1, 8000, 1000, 64, {}))));
    // A WAVEFORMATEX whose cbSize promises more codec data than there is.
    std::vector<BYTE> truncated = AudioFormat(0x161, 1, 8000, 1000, 64, {1, 2, 3, 4});
    truncated.resize(truncated.size() - 2);
    EXPECT_TRUE(FAILED(AddStream(m_profile.p, WMMEDIATYPE_Audio, 5, u"short", u"", 1, 1, WMMEDIASUBTYPE_WMAudioV2,
                                 WMFORMAT_WaveFormatEx, truncated)));
    // A VIDEOINFOHEADER cut short.
    std::vector<BYTE> shortVideo = VideoFormat(16, 16, 0x31564D57, {});
    shortVideo.resize(60);
    EXPECT_TRUE(FAILED(AddStream(m_profile.p, WMMEDIATYPE_Video, 6, u"v", u"", 1, 1, WMMEDIASUBTYPE_WMV1,
                                 WMFORMAT_VideoInfo, shortVideo)));
    DWORD count = 0;
    m_profile->GetStreamCount(&count);
    EXPECT_EQ(2u, count);
}

TEST_F(ProfileTest, RemoveStreamsByNumberAndByConfig)
{
    FillTwoStreams();
    EXPECT_EQ(NS_E_NO_STREAM, m_profile->RemoveStreamByNumber(7));
    EXPECT_EQ(S_OK, m_profile->RemoveStreamByNumber(2));
    Ref<IWMStreamConfig> audio;
    ASSERT_EQ(S_OK, m_profile->GetStream(0, &audio));
    EXPECT_EQ(S_OK, m_profile->RemoveStream(audio.p));
    DWORD count = 9;
    EXPECT_EQ(S_OK, m_profile->GetStreamCount(&count));
    EXPECT_EQ(0u, count);
}

TEST_F(ProfileTest, ConfigChangesReachTheProfileOnlyThroughReconfigStream)
{
    FillTwoStreams();
    Ref<IWMStreamConfig> video;
    ASSERT_EQ(S_OK, m_profile->GetStreamByNumber(2, &video));
    ASSERT_EQ(S_OK, video->SetBitrate(777));
    Ref<IWMStreamConfig> again;
    ASSERT_EQ(S_OK, m_profile->GetStreamByNumber(2, &again));
    DWORD bitrate = 0;
    again->GetBitrate(&bitrate);
    EXPECT_EQ(300000u, bitrate);
    ASSERT_EQ(S_OK, m_profile->ReconfigStream(video.p));
    Ref<IWMStreamConfig> third;
    ASSERT_EQ(S_OK, m_profile->GetStreamByNumber(2, &third));
    third->GetBitrate(&bitrate);
    EXPECT_EQ(777u, bitrate);
}

TEST_F(ProfileTest, XmlRoundTripIsExact)
{
    FillTwoStreams();
    std::u16string xml;
    ASSERT_EQ(S_OK, SaveXml(m_manager.p, m_profile.p, xml));
    ASSERT_FALSE(xml.empty());

    DWORD length = 0;
    ASSERT_EQ(S_OK, m_manager->SaveProfile(m_profile.p, nullptr, &length));
    EXPECT_EQ(xml.size() + 1, length);
    std::u16string tooSmall(length - 1, u'\0');
    DWORD smallLength = length - 1;
    EXPECT_EQ(ASF_E_BUFFERTOOSMALL, m_manager->SaveProfile(m_profile.p, tooSmall.data(), &smallLength));

    Ref<IWMProfile> loaded;
    ASSERT_EQ(S_OK, m_manager->LoadProfileByData(xml.c_str(), &loaded));

    // Every field of the loaded profile equals the original's.
    WMT_VERSION version{};
    loaded->GetVersion(&version);
    EXPECT_EQ(WMT_VER_8_0, version);
    DWORD cch = 0;
    ASSERT_EQ(S_OK, loaded->GetName(nullptr, &cch));
    std::u16string name(cch, u'\0');
    ASSERT_EQ(S_OK, loaded->GetName(name.data(), &cch));
    EXPECT_EQ(u"Rec <&> \"quoted\" 'apos'\ttab\nline", std::u16string(name.c_str()));
    ASSERT_EQ(S_OK, loaded->GetDescription(nullptr, &cch));
    std::u16string description(cch, u'\0');
    ASSERT_EQ(S_OK, loaded->GetDescription(description.data(), &cch));
    EXPECT_EQ(u"D\u00e9j\u00e0 vu \U0001F3A5", std::u16string(description.c_str()));

    DWORD count = 0;
    ASSERT_EQ(S_OK, loaded->GetStreamCount(&count));
    ASSERT_EQ(2u, count);
    for (DWORD i = 0; i < count; ++i) {
        Ref<IWMStreamConfig> a, b;
        ASSERT_EQ(S_OK, m_profile->GetStream(i, &a));
        ASSERT_EQ(S_OK, loaded->GetStream(i, &b));
        WORD na = 0, nb = 0;
        a->GetStreamNumber(&na);
        b->GetStreamNumber(&nb);
        EXPECT_EQ(na, nb);
        EXPECT_EQ(StreamName(a.p), StreamName(b.p));
        DWORD ba = 0, bb = 0, wa = 0, wb = 0;
        a->GetBitrate(&ba);
        b->GetBitrate(&bb);
        a->GetBufferWindow(&wa);
        b->GetBufferWindow(&wb);
        EXPECT_EQ(ba, bb);
        EXPECT_EQ(wa, wb);
        MediaTypeCopy ma, mb;
        ASSERT_EQ(S_OK, GetStreamMediaType(a.p, ma));
        ASSERT_EQ(S_OK, GetStreamMediaType(b.p, mb));
        EXPECT_EQ(ma.mt.majortype, mb.mt.majortype);
        EXPECT_EQ(ma.mt.subtype, mb.mt.subtype);
        EXPECT_EQ(ma.mt.formattype, mb.mt.formattype);
        EXPECT_EQ(ma.mt.bFixedSizeSamples, mb.mt.bFixedSizeSamples);
        EXPECT_EQ(ma.mt.bTemporalCompression, mb.mt.bTemporalCompression);
        EXPECT_EQ(ma.mt.lSampleSize, mb.mt.lSampleSize);
        EXPECT_EQ(ma.format, mb.format);
    }

    // Saving the loaded profile gives the same text.
    std::u16string again;
    ASSERT_EQ(S_OK, SaveXml(m_manager.p, loaded.p, again));
    EXPECT_EQ(xml, again);
}

TEST_F(ProfileTest, EmptyProfileRoundTrips)
{
    std::u16string xml;
    ASSERT_EQ(S_OK, SaveXml(m_manager.p, m_profile.p, xml));
    Ref<IWMProfile> loaded;
    ASSERT_EQ(S_OK, m_manager->LoadProfileByData(xml.c_str(), &loaded));
    DWORD count = 1;
    loaded->GetStreamCount(&count);
    EXPECT_EQ(0u, count);
}

TEST_F(ProfileTest, TextXmlCannotCarryIsRefusedOnSave)
{
    ASSERT_EQ(S_OK, m_profile->SetName(u"bell\a"));
    DWORD length = 0;
    EXPECT_TRUE(FAILED(m_manager->SaveProfile(m_profile.p, nullptr, &length)));
}

TEST_F(ProfileTest, MalformedXmlIsRejected)
{
    FillTwoStreams();
    std::u16string good;
    ASSERT_EQ(S_OK, SaveXml(m_manager.p, m_profile.p, good));
    auto replaced = [&](const std::u16string &from, const std::u16string &to) {
        std::u16string s = good;
        size_t at = s.find(from);
        EXPECT_NE(std::u16string::npos, at) << "test text not found";
        if (at != std::u16string::npos)
            s.replace(at, from.size(), to);
        return s;
    };

    std::vector<std::u16string> bad = {
        u"",
        u"not xml at all",
        u"<profile",
        u"<other version=\"589824\" name=\"\" description=\"\"/>",
        u"<profile version=\"589824\" name=\"\"/>",
        u"<profile version=\"12\" name=\"\" description=\"\"/>",
        u"<profile version=\"589824\" name=\"\" description=\"\"><unknown/></profile>",
        u"<profile version=\"589824\" name=\"\" description=\"\"/><profile version=\"589824\" name=\"\" "
        u"description=\"\"/>",
        u"<profile version=\"589824\" name=\"\" description=\"\"/>trailing",
        good.substr(0, good.size() / 2),
        replaced(u"streamnumber=\"2\"", u"streamnumber=\"1\""),           // duplicate number
        replaced(u"streamnumber=\"2\"", u"streamnumber=\"0\""),           // out of range
        replaced(u"streamnumber=\"2\"", u"streamnumber=\"99999999999\""), // overflow
        replaced(u"bitrate=\"300000\"", u"bitrate=\"-5\""),
        replaced(u"bitrate=\"300000\"", u"bitrate=\"3e5\""),
        replaced(u"{73646976-", u"{7364697G-"),                           // bad GUID
        replaced(u"format=\"", u"format=\"0"),                            // odd hex length
        replaced(u"format=\"", u"format=\"ZZ"),                           // not hex
        replaced(u"format=\"", u"format=\"\" x=\""),                      // empty format block
        replaced(u"bfixedsizesamples=\"0\"", u"bfixedsizesamples=\"2\""),
        replaced(u"<wmmediatype", u"<wmmediatypo"),
        replaced(u"/>", u"/><wmmediatype/>"),                             // a second media type
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        IWMProfile *profile = reinterpret_cast<IWMProfile *>(0x1);
        HRESULT hr = m_manager->LoadProfileByData(bad[i].c_str(), &profile);
        EXPECT_TRUE(FAILED(hr)) << "case " << i;
        EXPECT_EQ(nullptr, profile) << "case " << i;
        if (SUCCEEDED(hr) && profile)
            profile->Release();
    }
    IWMProfile *profile = nullptr;
    EXPECT_EQ(E_POINTER, m_manager->LoadProfileByData(nullptr, &profile));
}

} // namespace
