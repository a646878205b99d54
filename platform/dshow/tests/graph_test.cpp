// The filter graph manager with the kit's test filters: intelligent connect by
// merit, membership, the tap rewiring of a rendered graph with Infinite Tees,
// RenderFile, the event queue and its window, and control racing streaming.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <control.h>
#include <evcode.h>
#include <nserror.h>
#include <objbase.h>
#include <vfwmsgs.h>
#include <windows.h>

#include "media/media_types.h"
#include "graph_fixture.h"
#include "test_filters.h"
#include "twtesting.h"

namespace {

using dstest::RecordingRenderer;
using twcom::ComPtr;

const REFERENCE_TIME kMs = 10000;

RecordingRenderer *AsRecorder(IBaseFilter *f)
{
    return static_cast<RecordingRenderer *>(static_cast<twds::kit::Renderer *>(static_cast<twds::kit::Filter *>(f)));
}

ComPtr<IPin> PinOf(IBaseFilter *filter, const char16_t *name)
{
    ComPtr<IPin> pin;
    filter->FindPin(name, pin.put());
    return pin;
}

std::u16string NameOf(IBaseFilter *f)
{
    FILTER_INFO info{};
    f->QueryFilterInfo(&info);
    if (info.pGraph)
        info.pGraph->Release();
    return info.achName;
}

// The filter feeding a pin's peer, or null.
ComPtr<IBaseFilter> Upstream(IPin *in)
{
    ComPtr<IPin> peer;
    if (FAILED(in->ConnectedTo(peer.put())))
        return nullptr;
    PIN_INFO info{};
    peer->QueryPinInfo(&info);
    return ComPtr<IBaseFilter>::Attach(info.pFilter);
}

class Graph : public dstest::GraphFixture {
protected:
    void BeforeGraph() override { dstest::RegisterTestFilters(true); }
    ComPtr<IBaseFilter> AddSource(std::vector<dstest::StreamSpec> streams, const char16_t *name = u"source")
    {
        auto s = twcom::Make<dstest::TimedSource>(std::move(streams));
        ComPtr<IBaseFilter> f = ComPtr<IBaseFilter>::Share(s.get());
        EXPECT_EQ(S_OK, gb->AddFilter(f.get(), name));
        return f;
    }
    ComPtr<IBaseFilter> Find(const char16_t *name)
    {
        ComPtr<IBaseFilter> f;
        gb->FindFilterByName(name, f.put());
        return f;
    }
    std::vector<ComPtr<IBaseFilter>> Filters()
    {
        std::vector<ComPtr<IBaseFilter>> all;
        ComPtr<IEnumFilters> e;
        gb->EnumFilters(e.put());
        IBaseFilter *f = nullptr;
        while (e->Next(1, &f, nullptr) == S_OK)
            all.push_back(ComPtr<IBaseFilter>::Attach(f));
        return all;
    }
    // Reads events until EC_COMPLETE or the time-out; returns the codes read.
    std::vector<LONG> EventsUntilComplete(LONG timeoutMs = 10000)
    {
        std::vector<LONG> codes;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            LONG code;
            LONG_PTR p1, p2;
            if (me->GetEvent(&code, &p1, &p2, 100) != S_OK)
                continue;
            me->FreeEventParams(code, p1, p2);
            codes.push_back(code);
            if (code == EC_COMPLETE)
                break;
        }
        return codes;
    }

    twtest::ScratchRegistry registry;
};

TEST_F(Graph, RenderBuildsSourceDecoderRendererByMerit)
{
    auto src = AddSource(dstest::TwoStreams(3, 40 * kMs));
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    auto dec = Find(u"WMVideo Decoder DMO");
    auto ren = Find(u"Video Renderer");
    ASSERT_TRUE(dec && ren);
    EXPECT_EQ(dec, Upstream(PinOf(ren.get(), u"In").get()));
    EXPECT_EQ(src, Upstream(PinOf(dec.get(), u"XForm In").get()));
    // The renderer below MERIT_DO_NOT_USE is never chosen; nothing else was added.
    EXPECT_FALSE(Find(u"Shy Renderer"));
    EXPECT_EQ(3u, Filters().size());
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, gb->Render(PinOf(src.get(), u"Stream 1").get()));
}

TEST_F(Graph, AFilterAlreadyInTheGraphIsPreferred)
{
    auto src = AddSource(dstest::TwoStreams(3, 40 * kMs));
    ComPtr<IBaseFilter> shy;
    ASSERT_EQ(S_OK, CoCreateInstance(dstest::CLSID_TestShyRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     shy.put_void()));
    ASSERT_EQ(S_OK, gb->AddFilter(shy.get(), u"Shy"));
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    EXPECT_EQ(Find(u"WMVideo Decoder DMO"), Upstream(PinOf(shy.get(), u"In").get()));
    EXPECT_FALSE(Find(u"Video Renderer"));
    // Connect through an intermediate: audio source pin to the audio renderer in the graph.
    ComPtr<IBaseFilter> audio;
    ASSERT_EQ(S_OK, CoCreateInstance(dstest::CLSID_TestAudioRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     audio.put_void()));
    ASSERT_EQ(S_OK, gb->AddFilter(audio.get(), u"Speaker"));
    ASSERT_EQ(S_OK, gb->Connect(PinOf(src.get(), u"Stream 2").get(), PinOf(audio.get(), u"In").get()));
    EXPECT_EQ(Find(u"WMAudio Decoder DMO"), Upstream(PinOf(audio.get(), u"In").get()));
}

TEST_F(Graph, AFailedAttemptLeavesTheGraphAsItWas)
{
    // Without a video renderer the decoder leads nowhere and is taken out again.
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                     mapper.put_void()));
    ASSERT_EQ(S_OK, mapper->UnregisterFilter(nullptr, nullptr, dstest::CLSID_TestVideoRenderer));
    auto src = AddSource(dstest::TwoStreams(3, 40 * kMs));
    EXPECT_EQ(VFW_E_CANNOT_RENDER, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    EXPECT_EQ(1u, Filters().size());
    ComPtr<IPin> peer;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, PinOf(src.get(), u"Stream 1")->ConnectedTo(peer.put()));
    // A stream no decoder takes cannot be rendered either.
    auto other = AddSource({{u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV3, 1, kMs}}, u"other");
    EXPECT_EQ(VFW_E_CANNOT_RENDER, gb->Render(PinOf(other.get(), u"Stream 1").get()));
    EXPECT_EQ(2u, Filters().size());
}

TEST_F(Graph, NamesAreUniqueAndRemovingDisconnects)
{
    auto a = AddSource(dstest::TwoStreams(1, kMs), u"same");
    auto b = twcom::Make<dstest::TimedSource>(dstest::TwoStreams(1, kMs));
    EXPECT_EQ(VFW_S_DUPLICATE_NAME, gb->AddFilter(b.get(), u"same"));
    EXPECT_EQ(u"same 0001", NameOf(b.get()));
    auto c = twcom::Make<dstest::TimedSource>(dstest::TwoStreams(1, kMs));
    EXPECT_EQ(S_OK, gb->AddFilter(c.get(), nullptr));
    EXPECT_FALSE(NameOf(c.get()).empty());
    EXPECT_NE(NameOf(c.get()), NameOf(b.get()));
    ComPtr<IBaseFilter> none;
    EXPECT_EQ(VFW_E_NOT_FOUND, gb->FindFilterByName(u"absent", none.put()));

    ASSERT_EQ(S_OK, gb->Render(PinOf(a.get(), u"Stream 1").get()));
    auto dec = Find(u"WMVideo Decoder DMO");
    ASSERT_EQ(S_OK, gb->RemoveFilter(dec.get()));
    ComPtr<IPin> peer;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, PinOf(a.get(), u"Stream 1")->ConnectedTo(peer.put()));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, PinOf(Find(u"Video Renderer").get(), u"In")->ConnectedTo(peer.put()));
    EXPECT_EQ(u"", NameOf(dec.get()));
}

// The tap construction: a rendered two-stream graph gets an Infinite Tee in front
// of each decoder, the first output rendered again (a new decoder, the renderer
// left in the graph), the second feeding a recording filter's stand-in.
TEST_F(Graph, TapRewiringWithInfiniteTeesFeedsBothBranches)
{
    ASSERT_EQ(S_OK, gb->RenderFile(u"clip.tws", nullptr));
    auto src = Find(u"clip.tws");
    ASSERT_TRUE(src);
    ComPtr<IBaseFilter> taps[2];
    const char16_t *decoders[2] = {u"WMVideo Decoder DMO", u"WMAudio Decoder DMO"};
    const char16_t *renderers[2] = {u"Video Renderer", u"Audio Renderer"};
    const GUID majors[2] = {MEDIATYPE_Video, MEDIATYPE_Audio};
    const GUID subs[2] = {MEDIASUBTYPE_WMV2, MEDIASUBTYPE_WMAudioV2};
    for (int i = 0; i < 2; ++i) {
        ComPtr<IBaseFilter> tee;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, tee.put_void()));
        ASSERT_EQ(S_OK, gb->AddFilter(tee.get(), nullptr));
        auto dec = Find(decoders[i]);
        ASSERT_TRUE(dec);
        ComPtr<IEnumPins> pins;
        ASSERT_EQ(S_OK, dec->EnumPins(pins.put()));
        pins->Reset();
        ComPtr<IPin> decIn;
        ULONG fetched = 0;
        ASSERT_EQ(S_OK, pins->Next(1, decIn.put(), &fetched));
        ComPtr<IPin> srcOut;
        ASSERT_EQ(S_OK, decIn->ConnectedTo(srcOut.put()));
        ASSERT_EQ(S_OK, decIn->Disconnect());
        ASSERT_EQ(S_OK, srcOut->Disconnect());
        ASSERT_EQ(S_OK, gb->RemoveFilter(dec.get()));
        auto teeIn = PinOf(tee.get(), u"Input");
        auto teeOut1 = PinOf(tee.get(), u"Output1");
        ASSERT_TRUE(teeIn && teeOut1);
        EXPECT_FALSE(PinOf(tee.get(), u"Output2"));
        // Outputs connect only once the input has a type to hand on.
        EXPECT_EQ(VFW_E_NOT_CONNECTED,
                  gb->ConnectDirect(teeOut1.get(), PinOf(Find(renderers[i]).get(), u"In").get(), nullptr));
        ASSERT_EQ(S_OK, gb->ConnectDirect(srcOut.get(), teeIn.get(), nullptr));
        ASSERT_EQ(S_OK, gb->Render(teeOut1.get()));
        // A new decoder, and the renderer that was left in the graph.
        auto ren = Find(renderers[i]);
        ASSERT_TRUE(ren);
        auto newDec = Upstream(PinOf(ren.get(), u"In").get());
        ASSERT_TRUE(newDec);
        EXPECT_NE(dec, newDec);
        EXPECT_EQ(decoders[i], NameOf(newDec.get()));
        EXPECT_EQ(tee, Upstream(PinOf(newDec.get(), u"XForm In").get()));
        auto teeOut2 = PinOf(tee.get(), u"Output2");
        ASSERT_TRUE(teeOut2);
        auto tap = twcom::Make<RecordingRenderer>(dstest::CLSID_TestShyRenderer, majors[i], subs[i], false);
        taps[i] = ComPtr<IBaseFilter>::Share(tap.get());
        ASSERT_EQ(S_OK, gb->AddFilter(taps[i].get(), nullptr));
        ASSERT_EQ(S_OK, gb->ConnectDirect(teeOut2.get(), PinOf(taps[i].get(), u"In").get(), nullptr));
        AM_MEDIA_TYPE mt{};
        ASSERT_EQ(S_OK, teeOut2->ConnectionMediaType(&mt));
        EXPECT_EQ(subs[i], mt.subtype);
        twds::FreeMediaType(&mt);
        EXPECT_TRUE(PinOf(tee.get(), u"Output3"));
    }
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto codes = EventsUntilComplete();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(EC_COMPLETE, codes.back());
    for (int i = 0; i < 2; ++i) {
        auto seen = AsRecorder(taps[i].get())->Seen();
        ASSERT_EQ(10u, seen.size()) << "tap " << i;
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(k, seen[k].index);
        auto *ren = AsRecorder(Find(renderers[i]).get());
        EXPECT_EQ(10, ren->Presented() + ren->Dropped()) << renderers[i];
    }
}

TEST_F(Graph, CompleteReachesTheApplicationOnceAfterTheLastRenderer)
{
    // Two renderers, the audio one much later than the video one.
    auto src = AddSource({{u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV2, 2, 10 * kMs},
                          {u"Stream 2", MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV2, 6, 50 * kMs}});
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 2").get()));
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto codes = EventsUntilComplete();
    ASSERT_FALSE(codes.empty());
    ASSERT_EQ(EC_COMPLETE, codes.back());
    EXPECT_EQ(6u, AsRecorder(Find(u"Audio Renderer").get())->Seen().size());
    // No second one.
    LONG code;
    LONG_PTR p1, p2;
    EXPECT_EQ(E_ABORT, me->GetEvent(&code, &p1, &p2, 300));
    // Codes the graph does not handle reach the application with their parameters.
    auto sink = twcom::QueryAs<IMediaEventSink>(gb.get(), IID_IMediaEventSink);
    ASSERT_TRUE(sink);
    std::thread streaming([&] {
        sink->Notify(1024, 0, 0);
        sink->Notify(1029, 42, 0);
        sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    });
    streaming.join();
    ASSERT_EQ(S_OK, me->GetEvent(&code, &p1, &p2, 1000));
    EXPECT_EQ(1024, code);
    ASSERT_EQ(S_OK, me->GetEvent(&code, &p1, &p2, 1000));
    EXPECT_EQ(1029, code);
    EXPECT_EQ(42, p1);
    ASSERT_EQ(S_OK, me->GetEvent(&code, &p1, &p2, 1000));
    EXPECT_EQ(EC_ERRORABORT, code);
    EXPECT_EQ(E_FAIL, static_cast<HRESULT>(p1));
    // With default handling cancelled every renderer's own EC_COMPLETE comes through.
    ASSERT_EQ(S_OK, mc->Stop());
    ASSERT_EQ(S_OK, me->CancelDefaultHandling(EC_COMPLETE));
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    int completes = 0;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, me->GetEvent(&code, &p1, &p2, 10000));
        completes += code == EC_COMPLETE && p2 != 0;
    }
    EXPECT_EQ(2, completes);
}

// Events posted to a real window: one message per queued event, read on the
// window's thread.
TEST_F(Graph, NotifyWindowGetsOneMessagePerEvent)
{
    const UINT kGraphNotify = WM_APP + 1;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GraphNotifyTest";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "GraphNotifyTest", "Graph", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(nullptr, hwnd);
    ASSERT_EQ(S_OK, me->SetNotifyWindow(reinterpret_cast<OAHWND>(hwnd), kGraphNotify, 77));
    auto sink = twcom::QueryAs<IMediaEventSink>(gb.get(), IID_IMediaEventSink);
    std::thread streaming([&] {
        for (int i = 0; i < 3; ++i)
            sink->Notify(1029, i, 0);
    });
    streaming.join();
    int messages = 0, events = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (events < 3 && std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (!PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) {
            Sleep(5);
            continue;
        }
        if (msg.message != kGraphNotify)
            continue;
        EXPECT_EQ(77, msg.lParam);
        ++messages;
        LONG code;
        LONG_PTR p1, p2;
        while (me->GetEvent(&code, &p1, &p2, 0) == S_OK) {
            EXPECT_EQ(1029, code);
            EXPECT_EQ(events, p1);
            ++events;
        }
    }
    EXPECT_EQ(3, events);
    // The rest of the three messages are still on their way or already queued.
    MSG msg;
    while (PeekMessageA(&msg, hwnd, kGraphNotify, kGraphNotify, PM_REMOVE))
        ++messages;
    EXPECT_EQ(3, messages);
    // No window, no messages.
    ASSERT_EQ(S_OK, me->SetNotifyWindow(0, 0, 0));
    sink->Notify(1029, 9, 0);
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, kGraphNotify, kGraphNotify, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(Graph, RenderFileReportsWhatItCouldRender)
{
    EXPECT_EQ(S_OK, gb->RenderFile(u"one.tws", nullptr));
    EXPECT_TRUE(Find(u"one.tws"));
    EXPECT_EQ(5u, Filters().size());

    ComPtr<IGraphBuilder> second;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     second.put_void()));
    EXPECT_EQ(VFW_S_AUDIO_NOT_RENDERED, second->RenderFile(u"two.tws?audio=other", nullptr));

    ComPtr<IGraphBuilder> third;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     third.put_void()));
    // The source's own failure, and nothing left behind.
    EXPECT_EQ(dstest::kUnreachable, third->RenderFile(u"http://unreachable.example/x.tws", nullptr));
    ComPtr<IEnumFilters> e;
    third->EnumFilters(e.put());
    IBaseFilter *f = nullptr;
    EXPECT_EQ(S_FALSE, e->Next(1, &f, nullptr));
    // The network source reports its own failure; other URLs have no source at all.
    EXPECT_EQ(NS_E_SERVER_NOT_FOUND, third->RenderFile(u"http://host.invalid/live.asf", nullptr));
    EXPECT_EQ(VFW_E_UNKNOWN_FILE_TYPE, third->RenderFile(u"rtsp://host/clip.mov", nullptr));
}

TEST_F(Graph, PassesAudioAndSeekingOnOrSaysNotImplemented)
{
    auto ba = twcom::QueryAs<IBasicAudio>(gb.get(), IID_IBasicAudio);
    auto bv = twcom::QueryAs<IBasicVideo>(gb.get(), IID_IBasicVideo);
    ASSERT_TRUE(ba && bv);
    LONG v = 0;
    EXPECT_EQ(E_NOTIMPL, ba->get_Volume(&v));
    EXPECT_EQ(E_NOTIMPL, ba->put_Volume(-10000));
    EXPECT_EQ(E_INVALIDARG, ba->put_Volume(1));
    EXPECT_EQ(E_NOTIMPL, bv->GetVideoSize(&v, &v));
    auto ms = twcom::QueryAs<IMediaSeeking>(gb.get(), IID_IMediaSeeking);
    auto mp = twcom::QueryAs<IMediaPosition>(gb.get(), IID_IMediaPosition);
    ASSERT_TRUE(ms && mp);
    auto src = AddSource(dstest::TwoStreams(50, 40 * kMs));
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    Sleep(200);
    LONGLONG pos = 0;
    ASSERT_EQ(S_OK, ms->GetCurrentPosition(&pos));
    EXPECT_GT(pos, 100 * kMs);
    REFTIME seconds = 0;
    ASSERT_EQ(S_OK, mp->get_CurrentPosition(&seconds));
    EXPECT_GT(seconds, 0.1);
    ASSERT_EQ(S_OK, mc->Stop());
    LONGLONG zero = 0;
    EXPECT_EQ(S_OK, ms->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
    ASSERT_EQ(S_OK, ms->GetCurrentPosition(&pos));
    EXPECT_EQ(0, pos);
}

TEST_F(Graph, GetStateReportsAPauseWaitingForData)
{
    // A renderer whose source never delivers stays on its way to Paused.
    auto src = AddSource({{u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV2, -1, kMs}});
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    OAFilterState state;
    EXPECT_EQ(S_FALSE, mc->Pause());
    EXPECT_EQ(VFW_S_STATE_INTERMEDIATE, mc->GetState(50, &state));
    EXPECT_EQ(State_Paused, state);
    EXPECT_EQ(S_FALSE, mc->Run());
    EXPECT_EQ(S_OK, mc->Stop());
    EXPECT_EQ(S_OK, mc->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
}

// A source that fills a buffer before its first sample (a network stream): Run
// returns at once, the graph reports a run in progress, and the clock starts only
// once the renderers hold their first samples, so that none of them is late.
// Behind an Infinite Tee, a renderer holding its first sample does not keep the
// sample from the tee's other outputs.
TEST_F(Graph, RunWaitsForTheRenderersFirstSamplesBeforeTheClockStarts)
{
    auto src = AddSource({{u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV2, 5, 40 * kMs, 400},
                          {u"Stream 2", MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV2, 5, 40 * kMs, 400}});
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 2").get()));
    ComPtr<IBaseFilter> tee;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, tee.put_void()));
    ASSERT_EQ(S_OK, gb->AddFilter(tee.get(), nullptr));
    ASSERT_EQ(S_OK, gb->ConnectDirect(PinOf(src.get(), u"Stream 1").get(), PinOf(tee.get(), u"Input").get(), nullptr));
    ASSERT_EQ(S_OK, gb->Render(PinOf(tee.get(), u"Output1").get()));
    auto tap = twcom::Make<RecordingRenderer>(dstest::CLSID_TestShyRenderer, MEDIATYPE_Video, MEDIASUBTYPE_WMV2, false);
    ComPtr<IBaseFilter> tapFilter = ComPtr<IBaseFilter>::Share(tap.get());
    ASSERT_EQ(S_OK, gb->AddFilter(tapFilter.get(), nullptr));
    ASSERT_EQ(S_OK,
              gb->ConnectDirect(PinOf(tee.get(), u"Output2").get(), PinOf(tapFilter.get(), u"In").get(), nullptr));

    EXPECT_EQ(S_FALSE, mc->Run());
    OAFilterState state;
    EXPECT_EQ(VFW_S_STATE_INTERMEDIATE, mc->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(S_FALSE, mc->Run());
    auto codes = EventsUntilComplete();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(EC_COMPLETE, codes.back());
    EXPECT_EQ(S_OK, mc->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    for (const char16_t *name : {u"Video Renderer", u"Audio Renderer"}) {
        auto *ren = AsRecorder(Find(name).get());
        EXPECT_EQ(5, ren->Presented()) << "renderer " << (name[0] == u'V' ? "video" : "audio");
        EXPECT_EQ(0, ren->Dropped()) << "renderer " << (name[0] == u'V' ? "video" : "audio");
    }
    EXPECT_EQ(5u, tap->Seen().size());
}

// A run still waiting for data ends with Stop and with the graph's release.
TEST_F(Graph, RunWaitingForDataEndsWithStopAndRelease)
{
    auto src = AddSource({{u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV2, -1, kMs}});
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    EXPECT_EQ(S_FALSE, mc->Run());
    EXPECT_EQ(S_OK, mc->Stop());
    OAFilterState state;
    Sleep(100);
    EXPECT_EQ(S_OK, mc->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(S_FALSE, mc->Run());
    // TearDown releases the graph with the run still waiting.
}

// The recorder's registration in the running object table: once revoked, the
// last release of the graph takes it down, with its filters leaving it.
TEST_F(Graph, RunningObjectTableEntryDoesNotOutliveItsRevocation)
{
    auto src = AddSource(dstest::TwoStreams(1, kMs));
    ComPtr<IRunningObjectTable> rot;
    ASSERT_EQ(S_OK, GetRunningObjectTable(0, rot.put()));
    ComPtr<IMoniker> moniker;
    ASSERT_EQ(S_OK, CreateItemMoniker(u"!", u"FilterGraph 00000001 pid 00000001", moniker.put()));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, rot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, gb.get(), moniker.get(), &cookie));
    mc = nullptr;
    me = nullptr;
    gb = nullptr;
    EXPECT_NE(u"", NameOf(src.get())) << "the table keeps the graph alive while registered";
    ASSERT_EQ(S_OK, rot->Revoke(cookie));
    EXPECT_EQ(u"", NameOf(src.get()));
    FILTER_INFO info{};
    ASSERT_EQ(S_OK, src->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
}

// Run, Pause, Stop, StopWhenReady and state queries race the streaming threads.
TEST_F(Graph, ControlRacesStreamingWithoutDeadlock)
{
    auto src = AddSource(dstest::TwoStreams(1000000, kMs));
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 1").get()));
    ASSERT_EQ(S_OK, gb->Render(PinOf(src.get(), u"Stream 2").get()));
    std::atomic<bool> done{false};
    std::thread window([&] {
        CoInitialize(nullptr);
        for (int i = 0; i < 1000; ++i) {
            OAFilterState state;
            switch (i % 5) {
            case 0: { HRESULT hr = mc->Run(); EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr; break; }
            case 1: { HRESULT hr = mc->Pause(); EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr; break; }
            case 2: EXPECT_TRUE(SUCCEEDED(mc->GetState(1, &state))); break;
            case 3: EXPECT_TRUE(SUCCEEDED(mc->Stop())); break;
            case 4: EXPECT_TRUE(SUCCEEDED(mc->StopWhenReady())); break;
            }
        }
        done = true;
        CoUninitialize();
    });
    window.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(S_OK, mc->Stop());
}

} // namespace
