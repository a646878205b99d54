// The default audio renderer on a real PulseAudio server of the test's own (a
// null sink in a private runtime directory): the sink receives the tone at the
// volume set through IBasicAudio, in real time, and the stream completes.
// Skipped, saying why, where no server can be started.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include <control.h>
#include <evcode.h>
#include <objbase.h>
#include <uuids.h>

#include <twtesting.h>

#include "audrend_tone.h"
#include "filters/audrend/audio_renderer.h"

namespace {

using twcom::ComPtr;

// The program's full path from PATH, or empty.
std::string OnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::string all = path ? path : "";
    size_t at = 0;
    while (at <= all.size()) {
        size_t end = all.find(':', at);
        if (end == std::string::npos)
            end = all.size();
        std::string candidate = all.substr(at, end - at) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        at = end + 1;
    }
    return "";
}

TEST(AudioRendererOnPulse, TheNullSinkReceivesTheToneAtTheVolumeSet)
{
    std::string pulseaudio = OnPath("pulseaudio"), parec = OnPath("parec");
    if (pulseaudio.empty() || parec.empty())
        GTEST_SKIP() << "pulseaudio and parec are not installed (Debian packages pulseaudio, pulseaudio-utils)";
    twtest::ScratchRegistry registry;
    twtest::TempDir dir;
    twtest::ScopedEnv home("HOME", dir.path().c_str());
    twtest::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    std::string socket = dir.file("native");
    twtest::BackgroundProcess server({pulseaudio, "--daemonize=no", "--exit-idle-time=-1", "-n",
                                      "--use-pid-file=no", "--disallow-exit", "--log-target=stderr",
                                      "--load=module-null-sink sink_name=tw_null rate=44100 channels=2",
                                      "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket},
                                     dir.file("server.log"), dir.path());
    for (int i = 0; i < 100 && !twtest::FileExists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!twtest::FileExists(socket))
        GTEST_SKIP() << "the PulseAudio server did not start: " << twtest::ReadFile(dir.file("server.log"));
    std::string address = "unix:" + socket;
    twtest::ScopedEnv server_env("PULSE_SERVER", address.c_str());
    std::string recording = dir.file("sink.raw");
    twtest::BackgroundProcess recorder({parec, "--device=tw_null.monitor", "--raw", "--format=s16le",
                                        "--rate=44100", "--channels=2", "--latency-msec=20", recording},
                                       dir.file("parec.log"), dir.path());
    // The monitor of a running null sink delivers silence at once: data in the
    // file means the recording has started.
    ASSERT_TRUE(twtest::WaitForFile(recording, 5000)) << twtest::ReadFile(dir.file("parec.log"));

    CoInitialize(nullptr);
    {
        ComPtr<IGraphBuilder> gb;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         gb.put_void()));
        auto mc = twcom::QueryAs<IMediaControl>(gb.get(), IID_IMediaControl);
        auto me = twcom::QueryAs<IMediaEventEx>(gb.get(), IID_IMediaEventEx);
        auto ba = twcom::QueryAs<IBasicAudio>(gb.get(), IID_IBasicAudio);
        auto source = twcom::Make<audrendtest::ToneSource>(100);
        ASSERT_EQ(S_OK, gb->AddFilter(source.get(), u"tone"));
        ComPtr<IPin> out;
        source->FindPin(u"Out", out.put());
        ASSERT_EQ(S_OK, gb->Render(out.get()));
        ComPtr<IBaseFilter> renderer;
        ASSERT_EQ(S_OK, gb->FindFilterByName(u"Default DirectSound Device", renderer.put()));
        ba = twcom::QueryAs<IBasicAudio>(gb.get(), IID_IBasicAudio);
        ASSERT_EQ(S_OK, ba->put_Volume(-600));      // half the amplitude

        auto begin = std::chrono::steady_clock::now();
        ASSERT_TRUE(SUCCEEDED(mc->Run()));
        EXPECT_TRUE(audrendtest::AsAudioRenderer(renderer.get())->PlaysToDevice())
            << "the renderer did not reach the test's server";
        LONG code = 0;
        EXPECT_EQ(S_OK, me->WaitForCompletion(30000, &code));
        EXPECT_EQ(EC_COMPLETE, code);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        EXPECT_GE(seconds, 1.8) << "played faster than real time";
        mc->Stop();
    }
    CoUninitialize();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recorder.stop();

    std::string raw = twtest::ReadFile(recording);
    ASSERT_GE(raw.size(), 44100u * 4) << "the null sink's monitor recorded less than a second";
    const auto *pcm = reinterpret_cast<const int16_t *>(raw.data());
    size_t count = raw.size() / 2;
    int peak = 0;
    size_t loud = 0;
    for (size_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
        loud += std::abs(static_cast<int>(pcm[i])) > 1000;
    }
    // The tone's amplitude is 8000; at -6 dB about 4000 reaches the sink.
    EXPECT_NEAR(4000, peak, 400);
    // About 2 s of tone in both channels, of which 60% exceed a quarter of the peak.
    EXPECT_GT(loud, 44100u * 2 * 2 * 6 / 10 * 6 / 10);
}

} // namespace
