// renderbench [--seconds N]: how punctually the kit's renderer presents samples on
// the system clock. A 25 fps video stream and a 44.1 kHz audio stream (441-sample
// buffers, 10 ms) play at once for N seconds (60 by default); for each the program
// prints the median, 99th percentile and largest lateness of presentation and the
// number of samples dropped.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <objbase.h>
#include <vfwmsgs.h>

#include "test_filters.h"

namespace {

const REFERENCE_TIME kMs = 10000;

twcom::ComPtr<IPin> PinOf(IBaseFilter *filter, const char16_t *name)
{
    twcom::ComPtr<IPin> pin;
    filter->FindPin(name, pin.put());
    return pin;
}

void Report(const char *what, dstest::RecordingRenderer *r, int expected)
{
    auto seen = r->Seen();
    std::vector<REFERENCE_TIME> late;
    for (auto &p : seen)
        late.push_back(p.lateness);
    std::sort(late.begin(), late.end());
    auto at = [&](double q) {
        return late.empty() ? 0.0 : late[std::min(late.size() - 1, static_cast<size_t>(q * late.size()))] / 1e4;
    };
    std::printf("%-22s presented %6zu of %6d  dropped %4ld  lateness median %6.3f ms  p99 %6.3f ms  max %7.3f ms\n",
                what, seen.size(), expected, static_cast<long>(r->Dropped()), at(0.5), at(0.99),
                late.empty() ? 0.0 : late.back() / 1e4);
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 60;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: renderbench [--seconds N]\n");
            return 2;
        }
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "renderbench: --seconds wants a positive number\n");
        return 2;
    }
    CoInitialize(nullptr);
    const int frames = seconds * 25, buffers = seconds * 100;
    auto source = twcom::Make<dstest::TimedSource>(std::vector<dstest::StreamSpec>{
        {u"Video", MEDIATYPE_Video, MEDIASUBTYPE_RGB32, frames, 40 * kMs},
        {u"Audio", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, buffers, 10 * kMs}});
    auto video = twcom::Make<dstest::RecordingRenderer>(dstest::CLSID_TestVideoRenderer, MEDIATYPE_Video,
                                                        MEDIASUBTYPE_RGB32, true);
    auto audio = twcom::Make<dstest::RecordingRenderer>(dstest::CLSID_TestAudioRenderer, MEDIATYPE_Audio,
                                                        MEDIASUBTYPE_PCM, false);
    if (FAILED(PinOf(source.get(), u"Video")->Connect(PinOf(video.get(), u"In").get(), nullptr)) ||
        FAILED(PinOf(source.get(), u"Audio")->Connect(PinOf(audio.get(), u"In").get(), nullptr))) {
        std::fprintf(stderr, "renderbench: cannot connect the test filters\n");
        return 1;
    }
    twcom::ComPtr<IReferenceClock> clock;
    if (FAILED(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                clock.put_void()))) {
        std::fprintf(stderr, "renderbench: no system clock\n");
        return 1;
    }
    IBaseFilter *chain[] = {video.get(), audio.get(), source.get()};
    for (IBaseFilter *f : chain)
        f->SetSyncSource(clock.get());
    for (IBaseFilter *f : chain)
        f->Pause();
    REFERENCE_TIME start = 0;
    clock->GetTime(&start);
    start += 50 * kMs;
    for (IBaseFilter *f : chain)
        f->Run(start);
    std::printf("renderbench: 25 fps video and 44.1 kHz audio (10 ms buffers) for %d s\n", seconds);
    for (int s = 0; s < seconds + 2; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (static_cast<int>(video->Presented() + video->Dropped()) >= frames &&
            static_cast<int>(audio->Presented()) >= buffers)
            break;
        if (s % 10 == 9)
            std::printf("  %d s...\n", s + 1), std::fflush(stdout);
    }
    for (IBaseFilter *f : chain)
        f->Stop();
    Report("video 25 fps", video.get(), frames);
    Report("audio 44.1 kHz/10 ms", audio.get(), buffers);
    for (IBaseFilter *f : chain) {
        twcom::ComPtr<IEnumPins> pins;
        f->EnumPins(pins.put());
        IPin *pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            pin->Disconnect();
            pin->Release();
        }
    }
    CoUninitialize();
    return 0;
}
