// The ASF network source in a filter graph, against the stream server running as
// a real process: every packet reaches its pin with its time and key flag, a live
// broadcast buffers before its first sample, failures reach the graph.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include <control.h>
#include <evcode.h>
#include <nserror.h>
#include <objbase.h>
#include <qnetwork.h>
#include <uuids.h>

#include "asfclip.h"
#include "filters/asfsource/asfsource.h"
#include "kit/renderer.h"
#include "serverprocess.h"
#include "twrawserver.h"
#include "twtesting.h"

#include <wmcodecdsp.h>

// (The source's header declares IFileSourceFilter and IAMNetworkStatus to the COM kit.)

namespace {

using Clock = std::chrono::steady_clock;
using twcom::ComPtr;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Received {
    REFERENCE_TIME start = 0;
    bool sync = false;
    bool discontinuity = false;
    std::vector<uint8_t> data;
};

// Accepts any type and records each sample, the end of stream, and the source's
// buffering progress when the first sample arrives.
class PacketRecorder final : public twcom::Object<PacketRecorder, twds::kit::Renderer> {
public:
    explicit PacketRecorder(ComPtr<IAMNetworkStatus> status) : m_status(std::move(status)) {}

    std::vector<Received> Samples()
    {
        std::lock_guard<std::mutex> hold(m_seenLock);
        return m_samples;
    }
    int EndOfStreams()
    {
        std::lock_guard<std::mutex> hold(m_seenLock);
        return m_eos;
    }
    LONG ProgressAtFirstSample()
    {
        std::lock_guard<std::mutex> hold(m_seenLock);
        return m_progressAtFirst;
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE &) override { return S_OK; }
    HRESULT DoRenderSample(IMediaSample *sample, REFERENCE_TIME) override
    {
        Received r;
        REFERENCE_TIME stop = 0;
        sample->GetTime(&r.start, &stop);
        r.sync = sample->IsSyncPoint() == S_OK;
        r.discontinuity = sample->IsDiscontinuity() == S_OK;
        BYTE *p = nullptr;
        sample->GetPointer(&p);
        r.data.assign(p, p + sample->GetActualDataLength());
        LONG progress = -1;
        if (m_status)
            m_status->get_BufferingProgress(&progress);
        std::lock_guard<std::mutex> hold(m_seenLock);
        if (m_samples.empty())
            m_progressAtFirst = progress;
        m_samples.push_back(std::move(r));
        return S_OK;
    }
    HRESULT EndOfStream(twds::kit::InputPin *pin) override
    {
        {
            std::lock_guard<std::mutex> hold(m_seenLock);
            ++m_eos;
        }
        return Renderer::EndOfStream(pin);
    }

private:
    ComPtr<IAMNetworkStatus> m_status;
    std::mutex m_seenLock;
    std::vector<Received> m_samples;      // m_seenLock
    int m_eos = 0;                        // m_seenLock
    LONG m_progressAtFirst = -1;          // m_seenLock
};

std::u16string W(const std::string &s)
{
    return wmftest::Wide(s);
}

class AsfSourceGraph : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        m_clipPath = m_dir.file("clip.asf");
        ASSERT_EQ("", wmftest::MakeClip(m_clipPath, {"--seconds", "3", "--gop", "10"}));
        std::string error;
        ASSERT_TRUE(wmftest::ReadClip(m_clipPath, m_clip, error)) << error;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         gb.put_void()));
        mc = twcom::QueryAs<IMediaControl>(gb.get(), IID_IMediaControl);
        me = twcom::QueryAs<IMediaEventEx>(gb.get(), IID_IMediaEventEx);
        ASSERT_TRUE(mc && me);
    }
    void TearDown() override
    {
        if (mc)
            mc->Stop();
        m_recorders.clear();
        mc = nullptr;
        me = nullptr;
        source = nullptr;
        status = nullptr;
        gb = nullptr;
        CoUninitialize();
    }

    // Adds the source for the URL (or the one given, loaded with the URL) and a
    // recorder on each of its pins "Stream 1", "Stream 2".
    void Build(const std::string &url, ComPtr<IBaseFilter> made = nullptr)
    {
        if (made) {
            source = made;
            ASSERT_EQ(S_OK, gb->AddFilter(source.get(), W(url).c_str()));
            auto file = twcom::QueryAs<IFileSourceFilter>(source.get(), IID_IFileSourceFilter);
            ASSERT_EQ(S_OK, file->Load(W(url).c_str(), nullptr));
        } else {
            ASSERT_EQ(S_OK, gb->AddSourceFilter(W(url).c_str(), W(url).c_str(), source.put()));
        }
        status = twcom::QueryAs<IAMNetworkStatus>(source.get(), IID_IAMNetworkStatus);
        ASSERT_TRUE(status);
        for (int n : {1, 2}) {
            std::string name = "Stream " + std::to_string(n);
            ComPtr<IPin> out;
            ASSERT_EQ(S_OK, source->FindPin(W(name).c_str(), out.put())) << name;
            auto recorder = twcom::Make<PacketRecorder>(status);
            ComPtr<IBaseFilter> f = ComPtr<IBaseFilter>::Share(recorder.get());
            ASSERT_EQ(S_OK, gb->AddFilter(f.get(), W("recorder " + name).c_str()));
            ComPtr<IPin> in;
            ASSERT_EQ(S_OK, f->FindPin(u"In", in.put()));
            ASSERT_EQ(S_OK, gb->ConnectDirect(out.get(), in.get(), nullptr));
            m_recorders[n] = recorder;
        }
    }

    // Events until EC_COMPLETE or the time-out.
    std::vector<std::pair<LONG, LONG_PTR>> Events(double seconds, LONG until = EC_COMPLETE)
    {
        std::vector<std::pair<LONG, LONG_PTR>> events;
        auto start = Clock::now();
        while (Since(start) < seconds) {
            LONG code;
            LONG_PTR p1, p2;
            if (me->GetEvent(&code, &p1, &p2, 100) != S_OK)
                continue;
            me->FreeEventParams(code, p1, p2);
            events.emplace_back(code, p1);
            if (code == until)
                break;
        }
        return events;
    }

    twtest::TempDir m_dir;
    std::string m_clipPath;
    wmftest::Clip m_clip;
    ComPtr<IGraphBuilder> gb;
    ComPtr<IMediaControl> mc;
    ComPtr<IMediaEventEx> me;
    ComPtr<IBaseFilter> source;
    ComPtr<IAMNetworkStatus> status;
    std::map<int, ComPtr<PacketRecorder>> m_recorders;
};

TEST_F(AsfSourceGraph, OnDemandClipArrivesWholeAtItsPinsAndRunsAgainAfterStop)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    std::string url = server.Base() + "/clip.asf";
    Build(url);
    LPOLESTR name = nullptr;
    ASSERT_EQ(S_OK, twcom::QueryAs<IFileSourceFilter>(source.get(), IID_IFileSourceFilter)->GetCurFile(&name, nullptr));
    EXPECT_EQ(W(url), std::u16string(name));
    CoTaskMemFree(name);
    VARIANT_BOOL broadcast = VARIANT_TRUE;
    EXPECT_EQ(S_OK, status->get_IsBroadcast(&broadcast));
    EXPECT_EQ(VARIANT_FALSE, broadcast);

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        size_t before1 = m_recorders[1]->Samples().size(), before2 = m_recorders[2]->Samples().size();
        ASSERT_TRUE(SUCCEEDED(mc->Run()));
        auto events = Events(15);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(EC_COMPLETE, events.back().first);
        for (auto &e : events)
            EXPECT_NE(EC_ERRORABORT, e.first) << std::hex << e.second;
        EXPECT_EQ(run + 1, m_recorders[1]->EndOfStreams());
        EXPECT_EQ(run + 1, m_recorders[2]->EndOfStreams());
        for (int n : {1, 2}) {
            std::vector<wmftest::ClipPacket> want = wmftest::StreamPackets(m_clip, n);
            std::vector<Received> got = m_recorders[n]->Samples();
            got.erase(got.begin(), got.begin() + (n == 1 ? before1 : before2));
            ASSERT_EQ(want.size(), got.size()) << "stream " << n;
            for (size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(want[i].ptsMs * 10000, got[i].start) << n << ":" << i;
                EXPECT_EQ(want[i].key, got[i].sync) << n << ":" << i;
                EXPECT_EQ(want[i].data, got[i].data) << n << ":" << i;
            }
            EXPECT_TRUE(got[0].discontinuity);
        }
        LONG received = 0;
        EXPECT_EQ(S_OK, status->get_ReceivedPackets(&received));
        EXPECT_GT(received, 0);
        mc->Stop();
    }
}

TEST_F(AsfSourceGraph, BroadcastBuffersBeforeItsFirstSampleAndStopsPromptly)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--all-key"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    Build(server.Base() + "/live");
    VARIANT_BOOL broadcast = VARIANT_FALSE;
    EXPECT_EQ(S_OK, status->get_IsBroadcast(&broadcast));
    EXPECT_EQ(VARIANT_TRUE, broadcast);
    mc->Run();
    auto start = Clock::now();
    while (Since(start) < 10 && m_recorders[1]->Samples().size() < 40)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<Received> video = m_recorders[1]->Samples();
    ASSERT_GE(video.size(), 40u);
    EXPECT_EQ(100, m_recorders[1]->ProgressAtFirstSample());
    // The server flags every video packet as a key frame; the source marks only the
    // clip's own key frames (one in ten here).
    std::map<std::vector<uint8_t>, bool> trueKey;
    for (const auto &p : wmftest::StreamPackets(m_clip, 1))
        trueKey[p.data] = p.key;
    int keys = 0;
    for (const Received &r : video) {
        ASSERT_TRUE(trueKey.count(r.data));
        EXPECT_EQ(trueKey[r.data], r.sync);
        keys += r.sync;
    }
    EXPECT_LT(keys, static_cast<int>(video.size()) / 2);
    LONG quality = 0;
    EXPECT_EQ(S_OK, status->get_ReceptionQuality(&quality));
    EXPECT_EQ(100, quality);

    auto stopping = Clock::now();
    EXPECT_EQ(S_OK, mc->Stop());
    EXPECT_LT(Since(stopping), 1.5);
}

TEST_F(AsfSourceGraph, StopWhilePausedOnAHeldSampleReturnsPromptly)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    Build(server.Base() + "/clip.asf");
    mc->Pause();
    // The pause completes once each renderer holds its first sample.
    auto start = Clock::now();
    OAFilterState state;
    HRESULT hr = E_FAIL;
    while (Since(start) < 5 && (hr = mc->GetState(100, &state)) != S_OK) {
    }
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(State_Paused, state);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Paused, each renderer holds one sample; the delivery threads wait on them.
    EXPECT_EQ(0, m_recorders[1]->EndOfStreams());
    auto stopping = Clock::now();
    EXPECT_EQ(S_OK, mc->Stop());
    EXPECT_LT(Since(stopping), 1.5);
    // And it runs from the start after that.
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto events = Events(15);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(EC_COMPLETE, events.back().first);
    EXPECT_EQ(1, m_recorders[1]->EndOfStreams());
}

TEST_F(AsfSourceGraph, DroppedBroadcastEndsEveryPinWithErrorAbortAfterReconnects)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--drop-after", "1"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    Build(server.Base() + "/live");
    mc->Run();
    auto start = Clock::now();
    auto events = Events(30, EC_ERRORABORT);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(EC_ERRORABORT, events.back().first);
    EXPECT_EQ(NS_E_CONNECTION_FAILURE, static_cast<HRESULT>(events.back().second));
    EXPECT_GT(Since(start), 3.0);       // three reconnects came first
    start = Clock::now();
    while (Since(start) < 5 && (m_recorders[1]->EndOfStreams() < 1 || m_recorders[2]->EndOfStreams() < 1))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(1, m_recorders[1]->EndOfStreams());
    EXPECT_EQ(1, m_recorders[2]->EndOfStreams());
    LONG lost = 0;
    EXPECT_EQ(S_OK, status->get_LostPackets(&lost));
    EXPECT_GT(lost, 0);
}

// The n-th pin a filter enumerates.
ComPtr<IPin> NthPin(IBaseFilter *filter, int n)
{
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.put());
    ComPtr<IPin> pin;
    for (int i = 0; i <= n; ++i) {
        pin = nullptr;
        if (!pins || pins->Next(1, pin.put(), nullptr) != S_OK)
            return nullptr;
    }
    return pin;
}

TEST_F(AsfSourceGraph, OnDemandClipSeeksToTheMiddleAndDecodesFromThere)
{
    std::string path = m_dir.file("long.asf");
    ASSERT_EQ("", wmftest::MakeClip(path, {"--seconds", "6", "--size", "160x120", "--fps", "25", "--gop", "25"}));
    std::vector<std::string> reference = wmftest::FfmpegFrameMd5s(path, m_dir.file("long.md5"));
    ASSERT_EQ(150u, reference.size());
    wmftest::Clip clip;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(path, clip, error)) << error;
    std::vector<wmftest::ClipPacket> videoPackets = wmftest::StreamPackets(clip, 1);
    ASSERT_EQ(reference.size(), videoPackets.size());
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--plain"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    std::string url = server.Base() + "/long.asf";
    ASSERT_EQ(S_OK, gb->AddSourceFilter(W(url).c_str(), W(url).c_str(), source.put()));
    // Video through the decoder to a recorder of pictures, audio to a recorder of packets.
    ComPtr<IBaseFilter> decoder;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CWMVDecMediaObject, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     decoder.put_void()));
    ASSERT_EQ(S_OK, gb->AddFilter(decoder.get(), u"WMVideo Decoder DMO"));
    auto pictures = twcom::Make<PacketRecorder>(nullptr);
    auto sound = twcom::Make<PacketRecorder>(nullptr);
    ASSERT_EQ(S_OK, gb->AddFilter(pictures.get(), u"pictures"));
    ASSERT_EQ(S_OK, gb->AddFilter(sound.get(), u"sound"));
    ComPtr<IPin> video, audio;
    ASSERT_EQ(S_OK, source->FindPin(u"Stream 1", video.put()));
    ASSERT_EQ(S_OK, source->FindPin(u"Stream 2", audio.put()));
    ASSERT_EQ(S_OK, gb->ConnectDirect(video.get(), NthPin(decoder.get(), 0).get(), nullptr));
    ASSERT_EQ(S_OK, gb->ConnectDirect(NthPin(decoder.get(), 1).get(), NthPin(pictures.get(), 0).get(), nullptr));
    ASSERT_EQ(S_OK, gb->ConnectDirect(audio.get(), NthPin(sound.get(), 0).get(), nullptr));

    auto seeking = twcom::QueryAs<IMediaSeeking>(gb.get(), IID_IMediaSeeking);
    ASSERT_TRUE(seeking);
    DWORD caps = 0;
    ASSERT_EQ(S_OK, seeking->GetCapabilities(&caps));
    EXPECT_TRUE(caps & AM_SEEKING_CanSeekAbsolute);
    EXPECT_TRUE(caps & AM_SEEKING_CanGetDuration);
    LONGLONG duration = 0;
    ASSERT_EQ(S_OK, seeking->GetDuration(&duration));
    EXPECT_NEAR(6.0, duration / 1e7, 0.1);

    // Paused on the first pictures, then to the middle: the renderers are flushed
    // and the pictures go on from the first frame at or after 3 s, with times from
    // the new segment's start; the frames from the key frame before it are
    // decoded, not shown.
    mc->Pause();
    OAFilterState state;
    auto start = Clock::now();
    while (Since(start) < 5 && mc->GetState(100, &state) != S_OK) {
    }
    LONGLONG target = 30000000;
    ASSERT_EQ(S_OK, seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto events = Events(15);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(EC_COMPLETE, events.back().first);
    size_t first = 0;
    while (first < videoPackets.size() && videoPackets[first].ptsMs * 10000 < target)
        ++first;
    ASSERT_GT(first, 50u);
    ASSERT_LT(first, 100u);
    EXPECT_FALSE(videoPackets[first].key);     // the seek went back to a key frame
    std::vector<Received> frames = pictures->Samples();
    ASSERT_EQ(reference.size() - first, frames.size());
    EXPECT_TRUE(frames[0].discontinuity);
    for (size_t i = 0; i < frames.size(); ++i) {
        size_t n = first + i;
        EXPECT_EQ(reference[n], wmftest::TopDownMd5(std::string(frames[i].data.begin(), frames[i].data.end()), 160, 120))
            << "frame " << n;
        EXPECT_EQ(videoPackets[n].ptsMs * 10000 - target, frames[i].start) << "frame " << n;
    }
    // Sound from the position on: the first packet holds the moment of the seek.
    std::vector<Received> packets = sound->Samples();
    ASSERT_FALSE(packets.empty());
    EXPECT_LE(packets[0].start, 0);
    EXPECT_GT(packets[0].start, -1000000);
    EXPECT_TRUE(packets[0].discontinuity);
    LONGLONG stop = 0;
    EXPECT_EQ(S_OK, seeking->GetStopPosition(&stop));
    EXPECT_EQ(duration, stop);
}

TEST_F(AsfSourceGraph, BroadcastHasNoDurationAndRefusesToSeek)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    Build(server.Base() + "/live");
    auto own = twcom::QueryAs<IMediaSeeking>(source.get(), IID_IMediaSeeking);
    ASSERT_TRUE(own);
    LONGLONG duration = -1;
    EXPECT_EQ(S_OK, own->GetDuration(&duration));
    EXPECT_EQ(0, duration);
    DWORD caps = 0;
    EXPECT_EQ(S_OK, own->GetCapabilities(&caps));
    EXPECT_EQ(0u, caps & (AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards));
    EXPECT_EQ(0u, caps & AM_SEEKING_CanGetDuration);

    mc->Run();
    auto start = Clock::now();
    while (Since(start) < 10 && m_recorders[1]->Samples().size() < 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GE(m_recorders[1]->Samples().size(), 20u);
    auto seeking = twcom::QueryAs<IMediaSeeking>(gb.get(), IID_IMediaSeeking);
    LONGLONG target = 10000000;
    EXPECT_TRUE(FAILED(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0)));
    // The broadcast plays on where it was: later samples, no new start.
    size_t seen = m_recorders[1]->Samples().size();
    REFERENCE_TIME last = m_recorders[1]->Samples().back().start;
    start = Clock::now();
    while (Since(start) < 10 && m_recorders[1]->Samples().size() < seen + 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<Received> after = m_recorders[1]->Samples();
    ASSERT_GE(after.size(), seen + 10);
    for (size_t i = seen; i < after.size(); ++i)
        EXPECT_GT(after[i].start, last);
}

TEST_F(AsfSourceGraph, StalledBroadcastEndsEveryPinWithErrorAbortAfterTheSilenceTimeout)
{
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--live", "clip.asf", "--stall-after", "1"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    // Short time-outs, so that the test waits seconds rather than the default ten.
    auto made = twcom::Make<twds::AsfSource>();
    twwmf::AsfInputSettings settings;
    settings.connectTimeout = std::chrono::milliseconds(3000);
    settings.silenceTimeout = std::chrono::milliseconds(1000);
    settings.reconnectTries = 1;
    settings.reconnectDelay = std::chrono::milliseconds(200);
    made->SetInputSettings(settings);
    Build(server.Base() + "/live", ComPtr<IBaseFilter>::Share(made.get()));
    mc->Run();
    auto start = Clock::now();
    auto events = Events(20, EC_ERRORABORT);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(EC_ERRORABORT, events.back().first);
    EXPECT_EQ(NS_E_TIMEOUT, static_cast<HRESULT>(events.back().second));
    // A second of data, a second of silence, a reconnect that stalls the same way.
    double took = Since(start);
    EXPECT_GT(took, 3.0);
    EXPECT_LT(took, 10.0);
    start = Clock::now();
    while (Since(start) < 5 && (m_recorders[1]->EndOfStreams() < 1 || m_recorders[2]->EndOfStreams() < 1))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(1, m_recorders[1]->EndOfStreams());
    EXPECT_EQ(1, m_recorders[2]->EndOfStreams());
    EXPECT_GT(m_recorders[1]->Samples().size(), 10u);
    LONG reconnectsAndStart = 0;
    EXPECT_EQ(S_OK, status->get_BufferingCount(&reconnectsAndStart));
    EXPECT_EQ(2, reconnectsAndStart);
    auto stopping = Clock::now();
    EXPECT_EQ(S_OK, mc->Stop());
    EXPECT_LT(Since(stopping), 1.5);
}

TEST_F(AsfSourceGraph, BlockedDownstreamHoldsTheReadingBackAndLosesNothing)
{
    std::string path = m_dir.file("long.asf");
    ASSERT_EQ("", wmftest::MakeClip(path, {"--seconds", "40", "--size", "160x120", "--fps", "25", "--gop", "25"}));
    wmftest::Clip clip;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(path, clip, error)) << error;
    ASSERT_GT(wmftest::StreamPackets(clip, 1).size(), 900u);
    strsrvtest::StreamServerProcess server(m_dir.path(), {"--plain"});
    ASSERT_TRUE(server.Ok()) << server.Log();
    auto made = twcom::Make<twds::AsfSource>();
    Build(server.Base() + "/long.asf", ComPtr<IBaseFilter>::Share(made.get()));
    // Without a clock the recorders take samples as fast as they come once running.
    auto filter = twcom::QueryAs<IMediaFilter>(gb.get(), IID_IMediaFilter);
    ASSERT_EQ(S_OK, filter->SetSyncSource(nullptr));

    // Paused, each recorder holds its first sample and takes no more: the queues
    // fill, then the source stops reading from the network.
    mc->Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    LONG received = 0, later = 0;
    ASSERT_EQ(S_OK, status->get_ReceivedPackets(&received));
    size_t queued = made->QueuedPackets();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_EQ(S_OK, status->get_ReceivedPackets(&later));
    EXPECT_EQ(received, later);
    EXPECT_EQ(queued, made->QueuedPackets());
    EXPECT_GT(queued, 200u);
    EXPECT_LE(queued, 2 * 256u);
    EXPECT_LT(queued + 2, clip.packets.size());

    // Running, every packet of the clip arrives, in order and whole.
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto events = Events(30);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(EC_COMPLETE, events.back().first);
    for (int n : {1, 2}) {
        std::vector<wmftest::ClipPacket> want = wmftest::StreamPackets(clip, n);
        std::vector<Received> got = m_recorders[n]->Samples();
        ASSERT_EQ(want.size(), got.size()) << "stream " << n;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(want[i].ptsMs * 10000, got[i].start) << n << ":" << i;
            EXPECT_EQ(want[i].data, got[i].data) << n << ":" << i;
        }
    }
}

TEST_F(AsfSourceGraph, RenderFileOfAnUnreachableStreamFailsQuicklyWithTheReason)
{
    twtest::CRefusingPort port;
    auto start = Clock::now();
    EXPECT_EQ(NS_E_CANNOTCONNECT, gb->RenderFile(W("http://" + port.Address() + "/clip.asf").c_str(), nullptr));
    EXPECT_LT(Since(start), 2.0);
    strsrvtest::StreamServerProcess server(m_dir.path(), {});
    ASSERT_TRUE(server.Ok()) << server.Log();
    twtest::WriteFile(m_dir.file("page.html"), "<html><body>not a stream</body></html>");
    EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT, gb->RenderFile(W(server.Base() + "/page.html").c_str(), nullptr));
    EXPECT_EQ(HRESULT(0x80190194), gb->RenderFile(W(server.Base() + "/missing.asf").c_str(), nullptr));
}

} // namespace
