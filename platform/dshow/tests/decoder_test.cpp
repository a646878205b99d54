// The Windows Media decoders: intelligent connect inserts them by name between a
// source of a clip's compressed packets and a recording sink; what they decode
// equals FFmpeg's own decoding of the clip, times go through, and damaged packets
// are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <sstream>

#include <control.h>
#include <objbase.h>
#include <amvideo.h>
#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wmsdk.h>

#include "asfclip.h"
#include "kit/input_pin.h"
#include "kit/source.h"
#include <twtesting.h>

namespace {

using twcom::ComPtr;
using twds::kit::MediaType;

const REFERENCE_TIME kMs = 10000;

// Delivers one stream's packets of a clip with their times, key-frame flags and
// the type the Windows Media Format library gives the stream.
class ClipSource final : public twcom::Object<ClipSource, twds::kit::Source> {
public:
    ClipSource(MediaType type, std::vector<wmftest::ClipPacket> packets)
        : m_type(std::move(type)), m_packets(std::move(packets))
    {
        AddPin(u"Stream 1");
    }
    ~ClipSource() override { Stop(); }

protected:
    HRESULT CheckOutputType(twds::kit::OutputPin *, const AM_MEDIA_TYPE &mt) override
    {
        return MediaType::Matches(m_type.get(), mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    std::vector<MediaType> OutputTypes(twds::kit::OutputPin *) override { return {m_type}; }
    HRESULT DecideBufferSize(twds::kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override
    {
        LONG biggest = 1;
        for (auto &p : m_packets)
            biggest = std::max(biggest, static_cast<LONG>(p.data.size()));
        props->cBuffers = std::max<LONG>(props->cBuffers, 4);
        props->cbBuffer = std::max(props->cbBuffer, biggest);
        props->cbAlign = std::max<LONG>(props->cbAlign, 1);
        return S_OK;
    }
    void OnThreadStart(size_t) override { m_next = 0; }
    HRESULT FillSample(size_t, IMediaSample *sample) override
    {
        if (m_next >= m_packets.size())
            return S_FALSE;
        const auto &p = m_packets[m_next];
        BYTE *data = nullptr;
        sample->GetPointer(&data);
        if (!p.data.empty())    // a damaged packet may be empty
            memcpy(data, p.data.data(), p.data.size());
        sample->SetActualDataLength(static_cast<long>(p.data.size()));
        REFERENCE_TIME start = p.ptsMs * kMs, stop = (p.ptsMs + p.durationMs) * kMs;
        sample->SetTime(&start, p.durationMs > 0 ? &stop : nullptr);
        sample->SetSyncPoint(p.key);
        sample->SetDiscontinuity(m_next == 0);
        ++m_next;
        return S_OK;
    }

private:
    const MediaType m_type;
    const std::vector<wmftest::ClipPacket> m_packets;
    size_t m_next = 0;    // the delivery thread's
};

struct Received {
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = false;
    bool discontinuity = false;
    std::string bytes;
};

// Takes one major/sub type and records every sample and the end of the stream.
class RecordingSink final : public twcom::Object<RecordingSink, twds::kit::Filter>, public twds::kit::InputHandler {
public:
    RecordingSink(GUID major, GUID sub) : m_major(major), m_sub(sub), m_in(this, this, u"In") {}

    twds::kit::InputPin *In() { return &m_in; }
    // Waits up to 20 s for the end of the stream.
    bool WaitForEnd()
    {
        std::unique_lock<std::mutex> hold(m_recordLock);
        return m_cv.wait_for(hold, std::chrono::seconds(20), [this] { return m_ended; });
    }
    void Forget()
    {
        std::lock_guard<std::mutex> hold(m_recordLock);
        m_samples.clear();
        m_ended = false;
    }
    std::vector<Received> Samples()
    {
        std::lock_guard<std::mutex> hold(m_recordLock);
        return m_samples;
    }
    MediaType Type() { return m_in.Type(); }

protected:
    std::vector<IPin *> Pins() override { return {&m_in}; }
    HRESULT CheckInputType(twds::kit::InputPin *, const AM_MEDIA_TYPE &mt) override
    {
        return IsEqualGUID(mt.majortype, m_major) && IsEqualGUID(mt.subtype, m_sub) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(twds::kit::InputPin *, IMediaSample *sample) override
    {
        Received r;
        r.timed = SUCCEEDED(sample->GetTime(&r.start, &r.stop));
        r.discontinuity = sample->IsDiscontinuity() == S_OK;
        BYTE *data = nullptr;
        sample->GetPointer(&data);
        r.bytes.assign(reinterpret_cast<char *>(data), static_cast<size_t>(sample->GetActualDataLength()));
        std::lock_guard<std::mutex> hold(m_recordLock);
        m_samples.push_back(std::move(r));
        return S_OK;
    }
    HRESULT EndOfStream(twds::kit::InputPin *) override
    {
        std::lock_guard<std::mutex> hold(m_recordLock);
        m_ended = true;
        m_cv.notify_all();
        return S_OK;
    }
    HRESULT BeginFlush(twds::kit::InputPin *) override { return S_OK; }
    HRESULT EndFlush(twds::kit::InputPin *) override { return S_OK; }
    HRESULT NewSegment(twds::kit::InputPin *, REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

private:
    const GUID m_major, m_sub;
    twds::kit::InputPin m_in;
    std::mutex m_recordLock;
    std::condition_variable m_cv;
    std::vector<Received> m_samples;   // m_recordLock
    bool m_ended = false;              // m_recordLock
};

// The type the Windows Media Format library gives the clip's stream.
MediaType StreamType(const std::string &path, int streamNumber)
{
    ComPtr<IWMProfile> profile;
    EXPECT_EQ(S_OK, wmftest::ProfileOfFile(path, profile.put()));
    DWORD count = 0;
    profile->GetStreamCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMStreamConfig> config;
        profile->GetStream(i, config.put());
        WORD number = 0;
        config->GetStreamNumber(&number);
        if (number != streamNumber)
            continue;
        auto props = twcom::QueryAs<IWMMediaProps>(config.get(), IID_IWMMediaProps);
        DWORD cb = 0;
        props->GetMediaType(nullptr, &cb);
        std::vector<unsigned long long> buffer((cb + 7) / 8);
        auto *mt = reinterpret_cast<WM_MEDIA_TYPE *>(buffer.data());
        EXPECT_EQ(S_OK, props->GetMediaType(mt, &cb));
        return MediaType(*reinterpret_cast<AM_MEDIA_TYPE *>(mt));
    }
    ADD_FAILURE() << "no stream " << streamNumber;
    return MediaType();
}

std::string FilterName(IPin *pin)
{
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    FILTER_INFO fi{};
    info.pFilter->QueryFilterInfo(&fi);
    info.pFilter->Release();
    if (fi.pGraph)
        fi.pGraph->Release();
    std::u16string name(fi.achName);
    return std::string(name.begin(), name.end());
}

class Decoders : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }

    // Plays one stream of a clip through the graph: source -> (intelligent
    // connect) -> sink. `damage` may change the packets first.
    std::vector<Received> Decode(const std::string &path, bool video, const GUID &outSub,
                                 std::vector<wmftest::ClipPacket> packets, std::string *decoderName = nullptr,
                                 MediaType *outType = nullptr,
                                 std::function<void(IBaseFilter *decoder, RecordingSink *sink)> whileRunning = {})
    {
        wmftest::Clip clip;
        std::string error;
        EXPECT_TRUE(wmftest::ReadClip(path, clip, error)) << error;
        int number = 0;
        for (auto &s : clip.streams)
            if (s.isVideo == video)
                number = s.id;
        ComPtr<IGraphBuilder> gb;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         gb.put_void()));
        auto source = twcom::Make<ClipSource>(StreamType(path, number), std::move(packets));
        auto sink = twcom::Make<RecordingSink>(video ? MEDIATYPE_Video : MEDIATYPE_Audio, outSub);
        EXPECT_EQ(S_OK, gb->AddFilter(source.get(), u"source"));
        EXPECT_EQ(S_OK, gb->AddFilter(sink.get(), u"sink"));
        ComPtr<IPin> out;
        source->FindPin(u"Stream 1", out.put());
        EXPECT_EQ(S_OK, gb->Connect(out.get(), sink->In()));
        ComPtr<IPin> decoderOut;
        if (sink->In()->ConnectedTo(decoderOut.put()) == S_OK && decoderName)
            *decoderName = FilterName(decoderOut.get());
        if (outType)
            *outType = sink->Type();
        auto mc = twcom::QueryAs<IMediaControl>(gb.get(), IID_IMediaControl);
        EXPECT_TRUE(SUCCEEDED(mc->Run()));
        if (whileRunning && decoderOut) {
            PIN_INFO info{};
            decoderOut->QueryPinInfo(&info);
            auto decoder = ComPtr<IBaseFilter>::Attach(info.pFilter);
            whileRunning(decoder.get(), sink.get());
            mc->Stop();
            sink->Forget();
            EXPECT_TRUE(SUCCEEDED(mc->Run()));
        }
        EXPECT_TRUE(sink->WaitForEnd()) << "the stream did not end";
        mc->Stop();
        return sink->Samples();
    }

    std::vector<wmftest::ClipPacket> Packets(const std::string &path, bool video)
    {
        wmftest::Clip clip;
        std::string error;
        EXPECT_TRUE(wmftest::ReadClip(path, clip, error)) << error;
        for (auto &s : clip.streams)
            if (s.isVideo == video)
                return wmftest::StreamPackets(clip, s.id);
        return {};
    }

    twtest::ScratchRegistry registry;
    twtest::TempDir dir;
};

TEST_F(Decoders, VideoIsPickedByNameAndDecodesToFfmpegsFramesWithTheirTimes)
{
    for (const char *codec : {"wmv2", "wmv1"}) {
        SCOPED_TRACE(codec);
        std::string clip = dir.file(std::string(codec) + ".asf");
        ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "2", "--size", "176x144", "--fps", "25", "--gop", "10",
                                               "--codec", codec, "--no-audio"}));
        auto packets = Packets(clip, true);
        std::string name;
        MediaType type;
        auto frames = Decode(clip, true, MEDIASUBTYPE_RGB32, packets, &name, &type);
        EXPECT_EQ("WMVideo Decoder DMO", name);
        ASSERT_TRUE(IsEqualGUID(type->formattype, FORMAT_VideoInfo));
        auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(type->pbFormat);
        EXPECT_EQ(176, vih->bmiHeader.biWidth);
        EXPECT_EQ(144, vih->bmiHeader.biHeight);
        EXPECT_EQ(32, vih->bmiHeader.biBitCount);

        auto reference = wmftest::FfmpegFrameMd5s(clip, dir.file("frames.md5"));
        ASSERT_EQ(packets.size(), reference.size());
        ASSERT_EQ(reference.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(176u * 144 * 4, frames[i].bytes.size());
            EXPECT_EQ(reference[i], wmftest::TopDownMd5(frames[i].bytes, 176, 144)) << "frame " << i;
            EXPECT_TRUE(frames[i].timed);
            EXPECT_EQ(packets[i].ptsMs * kMs, frames[i].start) << "frame " << i;
            EXPECT_GT(frames[i].stop, frames[i].start);
            EXPECT_EQ(i == 0, frames[i].discontinuity) << "frame " << i;
        }
    }
}

TEST_F(Decoders, AudioIsPickedByNameAndDecodesToFfmpegsSamples)
{
    std::string clip = dir.file("audio.asf");
    ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "2", "--no-video", "--tone", "440"}));
    auto packets = Packets(clip, false);
    std::string name;
    MediaType type;
    auto blocks = Decode(clip, false, MEDIASUBTYPE_PCM, packets, &name, &type);
    EXPECT_EQ("WMAudio Decoder DMO", name);
    ASSERT_TRUE(IsEqualGUID(type->formattype, FORMAT_WaveFormatEx));
    auto *wfx = reinterpret_cast<const WAVEFORMATEX *>(type->pbFormat);
    EXPECT_EQ(16, wfx->wBitsPerSample);

    auto r = twtest::RunProcess({"/usr/bin/ffmpeg", "-v", "error", "-nostdin", "-y", "-i", clip, "-map", "0:a", "-c:a",
                                 "pcm_s16le", "-ac", std::to_string(wfx->nChannels), "-f", "s16le",
                                 dir.file("audio.raw")});
    ASSERT_EQ(0, r.exitCode) << r.output;
    std::string reference = twtest::ReadFile(dir.file("audio.raw"));
    std::string ours;
    REFERENCE_TIME expected = blocks.empty() ? 0 : blocks[0].start;
    for (auto &b : blocks) {
        ours += b.bytes;
        // Each block carries the time of the packet it came from (the clip's times
        // are whole milliseconds) and follows on from the one before; what the
        // decoder gives out at the end of the stream goes on from there.
        EXPECT_TRUE(b.start == expected || std::any_of(packets.begin(), packets.end(),
                                [&](const wmftest::ClipPacket &p) { return p.ptsMs * kMs == b.start; }))
            << b.start;
        EXPECT_NEAR(expected, b.start, kMs);
        REFERENCE_TIME length = static_cast<REFERENCE_TIME>(b.bytes.size() / wfx->nBlockAlign) * 10000000 /
                                wfx->nSamplesPerSec;
        EXPECT_NEAR(length, b.stop - b.start, 1);
        expected = b.stop;
    }
    ASSERT_FALSE(blocks.empty());
    EXPECT_TRUE(blocks[0].discontinuity);
    EXPECT_EQ(reference.size(), ours.size());
    EXPECT_TRUE(reference == ours) << "decoded audio differs from FFmpeg's";
}

TEST_F(Decoders, FlushesStopsAndRestartsLeaveTheDecoderWhole)
{
    std::string clip = dir.file("clip.asf");
    ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "2", "--size", "176x144", "--fps", "25", "--gop", "10"}));
    auto reference = wmftest::FfmpegFrameMd5s(clip, dir.file("frames.md5"));
    auto packets = Packets(clip, true);
    auto frames = Decode(clip, true, MEDIASUBTYPE_RGB32, packets, nullptr, nullptr,
                         [](IBaseFilter *decoder, RecordingSink *) {
                             // The first pin is the input; flush it while it streams, as a seek does.
                             ComPtr<IEnumPins> pins;
                             decoder->EnumPins(pins.put());
                             ComPtr<IPin> input;
                             ASSERT_EQ(S_OK, pins->Next(1, input.put(), nullptr));
                             PIN_DIRECTION dir = PINDIR_OUTPUT;
                             input->QueryDirection(&dir);
                             ASSERT_EQ(PINDIR_INPUT, dir);
                             for (int i = 0; i < 20; ++i) {
                                 input->BeginFlush();
                                 input->EndFlush();
                             }
                         });
    // After a stop in mid-stream the next run decodes the whole clip from its start.
    ASSERT_EQ(reference.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(reference[i], wmftest::TopDownMd5(frames[i].bytes, 176, 144)) << "frame " << i;
        EXPECT_EQ(packets[i].ptsMs * kMs, frames[i].start) << "frame " << i;
    }
}

TEST_F(Decoders, DamagedPacketsAreSkippedAndDecodingRecoversAtTheNextKeyFrame)
{
    std::string clip = dir.file("clip.asf");
    ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "2", "--size", "176x144", "--fps", "25", "--gop", "10"}));
    auto reference = wmftest::FfmpegFrameMd5s(clip, dir.file("frames.md5"));
    auto packets = Packets(clip, true);
    ASSERT_EQ(50u, packets.size());
    ASSERT_TRUE(packets[10].key && packets[20].key);
    // Garbage in a delta frame, a key frame cut to a few bytes, an empty packet.
    for (size_t i = 0; i < packets[3].data.size(); ++i)
        packets[3].data[i] = static_cast<uint8_t>(i * 37 + 11);
    packets[10].data.resize(3);
    packets[15].data.clear();
    auto frames = Decode(clip, true, MEDIASUBTYPE_RGB32, packets);
    EXPECT_LT(frames.size(), packets.size());
    // From the next whole key frame on, the pictures are FFmpeg's again.
    size_t matched = 0;
    for (auto &f : frames)
        for (size_t i = 20; i < packets.size(); ++i)
            if (f.start == packets[i].ptsMs * kMs) {
                EXPECT_EQ(reference[i], wmftest::TopDownMd5(f.bytes, 176, 144)) << "frame " << i;
                ++matched;
            }
    EXPECT_EQ(30u, matched);

    auto audio = Packets(clip, false);
    ASSERT_GT(audio.size(), 4u);
    for (auto &b : audio[2].data)
        b = 0xFF;
    audio[3].data.resize(1);
    auto whole = Decode(clip, false, MEDIASUBTYPE_PCM, Packets(clip, false));
    auto blocks = Decode(clip, false, MEDIASUBTYPE_PCM, audio);
    EXPECT_EQ(whole.size() - 2, blocks.size()) << "one block lost for each damaged packet, no more";
}

// A stream joined between key frames (a live broadcast's first packet can end the
// group of pictures before its key frame): the decoder gives no picture until
// the first key frame, whose picture is FFmpeg's, rather than the delta frames
// decoded over nothing.
TEST_F(Decoders, VideoJoinedBetweenKeyFramesStartsAtTheFirstKeyFrame)
{
    std::string clip = dir.file("clip.asf");
    ASSERT_EQ("", wmftest::MakeClip(clip, {"--seconds", "2", "--size", "176x144", "--fps", "25", "--gop", "10",
                                           "--no-audio"}));
    auto reference = wmftest::FfmpegFrameMd5s(clip, dir.file("frames.md5"));
    auto packets = Packets(clip, true);
    ASSERT_EQ(50u, packets.size());
    ASSERT_TRUE(!packets[3].key && packets[10].key);
    std::vector<wmftest::ClipPacket> joined(packets.begin() + 3, packets.end());
    auto frames = Decode(clip, true, MEDIASUBTYPE_RGB32, joined);
    ASSERT_EQ(packets.size() - 10, frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(packets[10 + i].ptsMs * kMs, frames[i].start) << "frame " << i;
        EXPECT_EQ(reference[10 + i], wmftest::TopDownMd5(frames[i].bytes, 176, 144)) << "frame " << i;
    }
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames[0].discontinuity);
}

} // namespace
