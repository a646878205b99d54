// The filter kit with its test filters: connection and allocator negotiation,
// presentation on the clock, pause and flush, late samples, restart.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <objbase.h>
#include <vfwmsgs.h>

#include "media/media_types.h"
#include "test_filters.h"

namespace {

using dstest::RecordingRenderer;
using dstest::TimedSource;

const REFERENCE_TIME kMs = 10000;

// Waits for a condition. The limit only ends a test that hangs: what the tests
// wait for takes well under a second, but a loaded machine (the suite in
// parallel, a sanitizer build, other builds) can starve the streaming threads
// for seconds, which is no failure of theirs.
template <class F>
bool WaitFor(F done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < limit) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

twcom::ComPtr<IPin> PinOf(IBaseFilter *filter, const char16_t *name)
{
    twcom::ComPtr<IPin> pin;
    filter->FindPin(name, pin.put());
    return pin;
}

class Kit : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        dstest::RegisterTestFilters(false);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                         clock.put_void()));
    }
    void TearDown() override
    {
        for (auto &f : chain)
            f->Stop();
        for (auto &f : chain) {
            twcom::ComPtr<IEnumPins> pins;
            f->EnumPins(pins.put());
            IPin *pin = nullptr;
            while (pins->Next(1, &pin, nullptr) == S_OK) {
                pin->Disconnect();
                pin->Release();
            }
        }
        chain.clear();
        clock = nullptr;
        CoUninitialize();
    }
    twcom::ComPtr<IBaseFilter> Create(REFCLSID clsid)
    {
        twcom::ComPtr<IBaseFilter> f;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.put_void()));
        return f;
    }
    // source "Stream 1" -> video decoder -> video renderer (dropping late samples or not).
    void BuildVideoChain(int samples, REFERENCE_TIME period, REFCLSID renderer = dstest::CLSID_TestVideoRenderer)
    {
        auto source = twcom::Make<TimedSource>(std::vector<dstest::StreamSpec>{
            {u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV2, samples, period}});
        src = twcom::ComPtr<IBaseFilter>::Share(source.get());
        dec = Create(dstest::CLSID_TestVideoDecoder);
        ren = Create(renderer);
        ASSERT_EQ(S_OK, PinOf(src.get(), u"Stream 1")->Connect(PinOf(dec.get(), u"XForm In").get(), nullptr));
        ASSERT_EQ(S_OK, PinOf(dec.get(), u"XForm Out")->Connect(PinOf(ren.get(), u"In").get(), nullptr));
        chain = {ren, dec, src};     // downstream first, as the graph orders them
        for (auto &f : chain)
            f->SetSyncSource(clock.get());
    }
    RecordingRenderer *Rec() { return static_cast<RecordingRenderer *>(static_cast<twds::kit::Renderer *>(
                                   static_cast<twds::kit::Filter *>(ren.get()))); }
    void PauseAll()
    {
        for (auto &f : chain)
            ASSERT_TRUE(SUCCEEDED(f->Pause()));
    }
    void RunAll(REFERENCE_TIME start)
    {
        for (auto &f : chain)
            ASSERT_TRUE(SUCCEEDED(f->Run(start)));
    }
    void StopAll()
    {
        for (auto &f : chain)
            ASSERT_EQ(S_OK, f->Stop());
    }
    REFERENCE_TIME Now()
    {
        REFERENCE_TIME t;
        clock->GetTime(&t);
        return t;
    }

    twcom::ComPtr<IReferenceClock> clock;
    twcom::ComPtr<IBaseFilter> src, dec, ren;
    std::vector<twcom::ComPtr<IBaseFilter>> chain;
};

TEST_F(Kit, PinsNegotiateTypeAndBelongToTheirFilter)
{
    BuildVideoChain(1, 10 * kMs);
    auto decOut = PinOf(dec.get(), u"XForm Out");
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, decOut->ConnectionMediaType(&mt));
    EXPECT_EQ(MEDIATYPE_Video, mt.majortype);
    EXPECT_EQ(MEDIASUBTYPE_RGB32, mt.subtype);
    twds::FreeMediaType(&mt);
    twcom::ComPtr<IPin> peer;
    ASSERT_EQ(S_OK, decOut->ConnectedTo(peer.put()));
    EXPECT_EQ(PinOf(ren.get(), u"In"), peer);
    // A pin answers for its filter and counts on it.
    PIN_INFO info{};
    ASSERT_EQ(S_OK, peer->QueryPinInfo(&info));
    EXPECT_EQ(ren.get(), info.pFilter);
    EXPECT_EQ(PINDIR_INPUT, info.dir);
    EXPECT_EQ(std::u16string(u"In"), std::u16string(info.achName));
    info.pFilter->Release();
    auto viaPin = twcom::QueryAs<IBaseFilter>(peer.get(), IID_IBaseFilter);
    EXPECT_EQ(ren, viaPin);
    auto identity = twcom::QueryAs<IUnknown>(peer.get(), IID_IUnknown);
    EXPECT_EQ(static_cast<IUnknown *>(ren.get()), identity.get());
    // Connected pins refuse a second connection, and changes while running.
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, decOut->Connect(peer.get(), nullptr));
    PauseAll();
    EXPECT_EQ(VFW_E_NOT_STOPPED, decOut->Disconnect());
    StopAll();
}

TEST_F(Kit, TransformOutputWaitsForItsInputAndWrongTypesAreRefused)
{
    auto dec2 = Create(dstest::CLSID_TestVideoDecoder);
    auto ren2 = Create(dstest::CLSID_TestVideoRenderer);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, PinOf(dec2.get(), u"XForm Out")->Connect(PinOf(ren2.get(), u"In").get(), nullptr));
    auto audio = Create(dstest::CLSID_TestAudioDecoder);
    auto source = twcom::Make<TimedSource>(dstest::TwoStreams(1, kMs));
    // The video stream does not fit the audio decoder.
    EXPECT_TRUE(FAILED(PinOf(source.get(), u"Stream 1")->Connect(PinOf(audio.get(), u"XForm In").get(), nullptr)));
    EXPECT_FALSE(twcom::ComPtr<IPin>());
    twcom::ComPtr<IPin> none;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, PinOf(source.get(), u"Stream 1")->ConnectedTo(none.put()));
    EXPECT_EQ(VFW_E_NOT_FOUND, source->FindPin(u"Stream 3", none.put()));
}

TEST_F(Kit, RendererPresentsEverySampleInOrderAtItsTime)
{
    const int n = 20;
    BuildVideoChain(n, 10 * kMs, dstest::CLSID_TestShyRenderer);
    PauseAll();
    REFERENCE_TIME start = Now() + 20 * kMs;
    RunAll(start);
    ASSERT_TRUE(WaitFor([&] { return Rec()->Seen().size() == n; }))
        << Rec()->Seen().size() << " of " << n << " presented, " << Rec()->Dropped() << " dropped";
    REFERENCE_TIME end = Now();
    auto seen = Rec()->Seen();
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(i, seen[i].index);
        EXPECT_EQ(i * 10 * kMs, seen[i].start);
        EXPECT_GE(seen[i].lateness, 0);
    }
    // The last sample is not presented before its start time.
    EXPECT_GE(end, start + (n - 1) * 10 * kMs);
    EXPECT_EQ(0, Rec()->Dropped());
    StopAll();
}

TEST_F(Kit, PauseCompletesWithTheFirstSampleAndHoldsIt)
{
    BuildVideoChain(5, 10 * kMs, dstest::CLSID_TestShyRenderer);
    // A connected renderer without a sample is still on its way to Paused.
    ASSERT_EQ(S_OK, ren->Pause());
    FILTER_STATE state;
    EXPECT_EQ(VFW_S_STATE_INTERMEDIATE, ren->GetState(0, &state));
    EXPECT_EQ(State_Paused, state);
    ASSERT_EQ(S_OK, dec->Pause());
    ASSERT_EQ(S_OK, src->Pause());
    EXPECT_EQ(S_OK, ren->GetState(5000, &state));
    // Paused: the first sample is held, nothing presented.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(0u, Rec()->Seen().size());
    RunAll(Now());
    EXPECT_TRUE(WaitFor([&] { return Rec()->Seen().size() == 5; })) << Rec()->Presented() << " presented, " << Rec()->Dropped() << " dropped";
    StopAll();
}

TEST_F(Kit, FlushReleasesAHeldSampleAndStopRestartsFromTheBeginning)
{
    BuildVideoChain(50, 10 * kMs, dstest::CLSID_TestShyRenderer);
    PauseAll();
    FILTER_STATE state;
    ASSERT_EQ(S_OK, ren->GetState(5000, &state));
    auto in = PinOf(ren.get(), u"In");
    EXPECT_EQ(S_OK, in->BeginFlush());
    EXPECT_EQ(S_OK, in->EndFlush());
    StopAll();
    EXPECT_EQ(0u, Rec()->Seen().size());
    // A second run from Stopped starts the stream again and plays it to its end.
    PauseAll();
    RunAll(Now());
    ASSERT_TRUE(WaitFor([&] { return Rec()->Seen().size() >= 50; }));
    auto seen = Rec()->Seen();
    EXPECT_EQ(0, seen.front().index);
    EXPECT_EQ(49, seen.back().index);
    StopAll();
}

TEST_F(Kit, LateVideoSamplesAreDroppedAndCounted)
{
    BuildVideoChain(100, 10 * kMs);
    PauseAll();
    // Started half a second ago: the first fifty samples have ended already.
    RunAll(Now() - 500 * kMs);
    ASSERT_TRUE(WaitFor([&] { return Rec()->Presented() + Rec()->Dropped() == 100; }));
    EXPECT_GE(Rec()->Dropped(), 45);
    // Whatever was presented was presented before its end time.
    for (auto &p : Rec()->Seen())
        EXPECT_LE(p.lateness, 10 * kMs) << "sample " << p.index;
    StopAll();
}

TEST_F(Kit, StopWhileSamplesWaitForTheClockDoesNotHang)
{
    BuildVideoChain(1000, 1000 * kMs);     // one sample a second
    PauseAll();
    RunAll(Now());
    ASSERT_TRUE(WaitFor([&] { return Rec()->Seen().size() >= 1; }));
    auto before = std::chrono::steady_clock::now();
    StopAll();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
}

} // namespace
