// The default audio renderer without a sound server: it takes PCM at real time
// on the graph's clock, holds in Pause, completes once; its volume and balance
// ranges; Render of a PCM pin picks it; the gain it applies before a server.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <control.h>
#include <evcode.h>
#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <windows.h>

#include <twtesting.h>

#include "filters/audrend/audio_renderer.h"
#include "audrend_tone.h"
#include "graph_fixture.h"
#include "filters/audrend/pcm_gain.h"
#include "filters/audrend/slaved_time.h"
#include "kit/source.h"

namespace {

using audrendtest::AsAudioRenderer;
using audrendtest::ToneSource;
using twcom::ComPtr;
const REFERENCE_TIME kMs = 10000;

class AudioRendererTest : public dstest::GraphFixture {
protected:
    // Adds a tone source and renders its pin; returns the renderer Render chose.
    ComPtr<IBaseFilter> RenderTone(int samples)
    {
        auto source = twcom::Make<ToneSource>(samples);
        EXPECT_EQ(S_OK, gb->AddFilter(source.get(), u"tone"));
        ComPtr<IPin> out;
        source->FindPin(u"Out", out.put());
        EXPECT_EQ(S_OK, gb->Render(out.get()));
        ComPtr<IBaseFilter> renderer;
        gb->FindFilterByName(u"Default DirectSound Device", renderer.put());
        return renderer;
    }
    // Events until EC_COMPLETE or the time-out.
    std::vector<LONG> EventsUntilComplete(LONG timeoutMs)
    {
        std::vector<LONG> codes;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            LONG code;
            LONG_PTR p1, p2;
            if (me->GetEvent(&code, &p1, &p2, 20) != S_OK)
                continue;
            me->FreeEventParams(code, p1, p2);
            codes.push_back(code);
            if (code == EC_COMPLETE)
                break;
        }
        return codes;
    }
    int CountAfterwards(LONG code, LONG waitMs)
    {
        int n = 0;
        LONG c;
        LONG_PTR p1, p2;
        while (me->GetEvent(&c, &p1, &p2, waitMs) == S_OK) {
            me->FreeEventParams(c, p1, p2);
            n += c == code;
        }
        return n;
    }

    twtest::ScratchRegistry registry;
    twtest::ScopedEnv noServer{"PULSE_SERVER", "unix:/nonexistent/tarnwick-test-no-sound-server"};
};

TEST_F(AudioRendererTest, RenderOfAPcmPinPicksItAndItTakesTwoSecondsInRealTimeSilently)
{
    auto renderer = RenderTone(100);
    ASSERT_TRUE(renderer) << "Render did not add the default audio renderer";
    CLSID clsid{};
    renderer->GetClassID(&clsid);
    EXPECT_TRUE(IsEqualGUID(CLSID_DSoundRender, clsid));
    ComPtr<IPin> in;
    EXPECT_EQ(S_OK, renderer->FindPin(u"Audio Input pin (rendered)", in.put()));

    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto codes = EventsUntilComplete(10000);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(EC_COMPLETE, codes.back());
    EXPECT_FALSE(AsAudioRenderer(renderer.get())->PlaysToDevice());
    // The last sample starts at 1.98 s and is presented at its time, not before (no
    // upper bound: a loaded machine may only make it later).
    EXPECT_GE(seconds, 1.9);
    EXPECT_EQ(100, AsAudioRenderer(renderer.get())->Presented());
    EXPECT_EQ(0, CountAfterwards(EC_COMPLETE, 200)) << "EC_COMPLETE came more than once";
}

TEST_F(AudioRendererTest, TheGraphRunsOnTheRenderersClockWhichKeepsTheMachinesTimeWithoutAServer)
{
    auto renderer = RenderTone(20);
    ASSERT_TRUE(renderer);
    auto mf = twcom::QueryAs<IMediaFilter>(gb.get(), IID_IMediaFilter);
    ASSERT_TRUE(mf);
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(S_OK, mf->GetSyncSource(clock.put()));
    auto own = twcom::QueryAs<IReferenceClock>(renderer.get(), IID_IReferenceClock);
    EXPECT_EQ(own.get(), clock.get()) << "the graph did not take the renderer's clock";
    REFERENCE_TIME a = 0, b = 0;
    auto begin = std::chrono::steady_clock::now();
    clock->GetTime(&a);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    clock->GetTime(&b);
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_NEAR(elapsed, (b - a) / 1e7, 0.01);
    // Advises go through it too.
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR cookie = 0;
    clock->GetTime(&a);
    ASSERT_EQ(S_OK, clock->AdviseTime(a, 50 * kMs, reinterpret_cast<HEVENT>(event), &cookie));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 5000));
    clock->GetTime(&b);
    EXPECT_GE(b - a, 50 * kMs);
    CloseHandle(event);
    EventsUntilComplete(5000);
}

TEST(SlavedTime, FollowsASlightlyFastDeviceAndIgnoresJumps)
{
    twds::SlavedTime t;
    const REFERENCE_TIME base = 1000000000;
    // A device 0.5% fast, reporting every 20 ms for 20 s.
    REFERENCE_TIME last = 0;
    for (int i = 1; i <= 1000; ++i) {
        REFERENCE_TIME now = base + i * 20 * kMs;
        t.Observe(now, base + (i * 20 * kMs) * 1005 / 1000);
        REFERENCE_TIME r = t.At(now);
        EXPECT_GE(r, last);
        last = r;
    }
    REFERENCE_TIME now = base + 1000 * 20 * kMs;
    EXPECT_NEAR(static_cast<double>(base + (1000 * 20 * kMs) * 1005 / 1000), static_cast<double>(t.At(now)),
                5.0 * kMs);
    // A 300 ms jump (an underrun) is not followed.
    REFERENCE_TIME before = t.Offset();
    t.Observe(now + 20 * kMs, t.At(now + 20 * kMs) + 300 * kMs);
    EXPECT_EQ(before, t.Offset());
    // Pulled back, the reading slows down but never goes backwards.
    REFERENCE_TIME r1 = t.At(now + 40 * kMs);
    t.Observe(now + 40 * kMs, r1 - 40 * kMs);
    EXPECT_GE(t.At(now + 40 * kMs), r1);
}

TEST_F(AudioRendererTest, PauseHoldsAndStopFlushesForAFreshRun)
{
    auto renderer = RenderTone(100);
    ASSERT_TRUE(renderer);
    auto *audio = AsAudioRenderer(renderer.get());
    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(SUCCEEDED(mc->Pause()));
    LONG held = audio->Presented();
    EXPECT_GT(held, 10);
    EXPECT_LT(held, 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_LE(audio->Presented(), held + 1) << "samples were presented while paused";
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto codes = EventsUntilComplete(10000);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(EC_COMPLETE, codes.back());
    EXPECT_GE(seconds, 2.4) << "the pause did not hold the stream";
    EXPECT_EQ(100, audio->Presented());

    // Stopped in the middle of a run, the next run starts again from the start.
    ASSERT_EQ(S_OK, mc->Stop());
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto stopAt = std::chrono::steady_clock::now();
    ASSERT_EQ(S_OK, mc->Stop());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - stopAt).count(), 1.0);
    LONG afterStop = audio->Presented();
    EXPECT_GT(afterStop, 100);
    EXPECT_LT(afterStop, 150);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(afterStop, audio->Presented());
}

TEST_F(AudioRendererTest, VolumeAndBalanceRangesDirectAndThroughTheGraph)
{
    auto renderer = RenderTone(10);
    ASSERT_TRUE(renderer);
    auto direct = twcom::QueryAs<IBasicAudio>(renderer.get(), IID_IBasicAudio);
    auto graph = twcom::QueryAs<IBasicAudio>(gb.get(), IID_IBasicAudio);
    ASSERT_TRUE(direct && graph);
    LONG v = 1;
    EXPECT_EQ(S_OK, direct->get_Volume(&v));
    EXPECT_EQ(0, v);
    for (IBasicAudio *ba : {direct.get(), graph.get()}) {
        EXPECT_EQ(E_INVALIDARG, ba->put_Volume(-10001));
        EXPECT_EQ(E_INVALIDARG, ba->put_Volume(1));
        EXPECT_EQ(E_INVALIDARG, ba->put_Balance(-10001));
        EXPECT_EQ(E_INVALIDARG, ba->put_Balance(10001));
        EXPECT_EQ(E_POINTER, ba->get_Volume(nullptr));
    }
    EXPECT_EQ(S_OK, graph->put_Volume(-10000));
    EXPECT_EQ(S_OK, direct->get_Volume(&v));
    EXPECT_EQ(-10000, v);
    EXPECT_EQ(S_OK, graph->put_Volume(0));
    EXPECT_EQ(S_OK, graph->get_Volume(&v));
    EXPECT_EQ(0, v);
    EXPECT_EQ(S_OK, direct->put_Balance(-2500));
    EXPECT_EQ(S_OK, graph->get_Balance(&v));
    EXPECT_EQ(-2500, v);
}

TEST_F(AudioRendererTest, TakesSixteenBitPcmWithAWaveFormatOnly)
{
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     renderer.put_void()));
    ASSERT_EQ(S_OK, gb->AddFilter(renderer.get(), u"renderer"));
    auto source = twcom::Make<ToneSource>(10, 8);
    ASSERT_EQ(S_OK, gb->AddFilter(source.get(), u"8-bit"));
    ComPtr<IPin> out, in;
    source->FindPin(u"Out", out.put());
    renderer->FindPin(u"Audio Input pin (rendered)", in.put());
    EXPECT_TRUE(FAILED(gb->ConnectDirect(out.get(), in.get(), nullptr)));
    AM_MEDIA_TYPE bare{};
    bare.majortype = MEDIATYPE_Audio;
    bare.subtype = MEDIASUBTYPE_PCM;
    EXPECT_EQ(S_FALSE, in->QueryAccept(&bare)) << "a type without a wave format";
}

TEST(PcmGain, VolumeAndBalanceScaleTheChannels)
{
    EXPECT_DOUBLE_EQ(1.0, twds::GainOf(0));
    EXPECT_DOUBLE_EQ(0.0, twds::GainOf(-10000));
    EXPECT_NEAR(0.5012, twds::GainOf(-600), 1e-4);
    int16_t stereo[] = {10000, 10000, -20000, -20000};
    twds::ApplyGain(stereo, 4, 2, -600, 0);
    EXPECT_NEAR(5012, stereo[0], 1);
    EXPECT_NEAR(-10024, stereo[2], 1);
    int16_t balanced[] = {10000, 10000};
    twds::ApplyGain(balanced, 2, 2, 0, 10000);
    EXPECT_EQ(0, balanced[0]) << "full right balance silences the left";
    EXPECT_EQ(10000, balanced[1]);
    int16_t muted[] = {32767, -32768, 123};
    twds::ApplyGain(muted, 3, 1, -10000, 0);
    EXPECT_EQ(0, muted[0]);
    EXPECT_EQ(0, muted[1]);
    EXPECT_EQ(0, muted[2]);
    int16_t mono[] = {10000};
    twds::ApplyGain(mono, 1, 1, 0, -10000);
    EXPECT_EQ(10000, mono[0]) << "a mono stream takes no balance";
}

} // namespace
