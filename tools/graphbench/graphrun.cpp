// The graph way: the playback graph the program builds, measured from inside.
// A windowless VMR9 drawing into an offscreen window and the audio renderer are
// in the graph before RenderFile, which reuses them; each renderer reports every
// presentation to an observer that reads the graph's clock once the picture is
// handed to the window (or the audio consumed).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <control.h>
#include <evcode.h>
#include <objbase.h>
#include <uuids.h>
#include <windows.h>

#include "filters/audrend/audio_renderer.h"
#include "filters/vmr9/vmr9.h"
#include "runs.h"

namespace {

using Clock = std::chrono::steady_clock;
using twcom::ComPtr;

const LONG kWidth = 320, kHeight = 240;

// One presentation: the sample's start and how far after it, on the clock, it
// was shown (or consumed).
struct Shown {
    REFERENCE_TIME start;
    REFERENCE_TIME offset;
};

class Log {
public:
    void Add(REFERENCE_TIME start, REFERENCE_TIME offset)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_shown.empty())
            m_first = Clock::now();
        m_shown.push_back({start, offset});
    }
    std::vector<Shown> Take(Clock::time_point *first)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (first)
            *first = m_first;
        return m_shown;
    }
    bool Any()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return !m_shown.empty();
    }

private:
    std::mutex m_lock;
    std::vector<Shown> m_shown;     // m_lock; the streaming threads add
    Clock::time_point m_first;      // m_lock
};

// Observes a renderer: the offset is read from the graph's clock after the
// renderer has done its work.
void Observe(twds::kit::Renderer *renderer, IReferenceClock *clock, Log &log)
{
    renderer->SetPresentObserver([renderer, clock, &log](REFERENCE_TIME start, REFERENCE_TIME) {
        REFERENCE_TIME now = 0;
        clock->GetTime(&now);
        log.Add(start, now - (renderer->StartTime() + start));
    });
}

LRESULT CALLBACK VideoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND CreateVideoWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = VideoProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GraphbenchVideo";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "GraphbenchVideo", "graphbench", WS_OVERLAPPEDWINDOW, 0, 0, kWidth + 16,
                                kHeight + 39, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd)
        ShowWindow(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

void Pump()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int RunGraph(const std::string &url, double seconds, PlayFigures &out)
{
    CoInitialize(nullptr);
    HWND hwnd = CreateVideoWindow();
    if (!hwnd) {
        std::fprintf(stderr, "graphbench: cannot create the video window\n");
        return 1;
    }
    ComPtr<IGraphBuilder> graph;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.put_void()))) {
        std::fprintf(stderr, "graphbench: cannot create the filter graph\n");
        return 1;
    }
    auto vmr = twcom::Make<twds::Vmr9>();
    auto audio = twcom::Make<twds::AudioRenderer>();
    auto config = twcom::QueryAs<IVMRFilterConfig9>(vmr->Identity(), IID_IVMRFilterConfig9);
    auto wc = twcom::QueryAs<IVMRWindowlessControl9>(vmr->Identity(), IID_IVMRWindowlessControl9);
    RECT dest{0, 0, kWidth, kHeight};
    if (!config || !wc || FAILED(config->SetRenderingMode(VMR9Mode_Windowless)) ||
        FAILED(wc->SetVideoClippingWindow(hwnd)) || FAILED(wc->SetVideoPosition(nullptr, &dest)) ||
        FAILED(graph->AddFilter(vmr.get(), u"Video Mixing Renderer")) ||
        FAILED(graph->AddFilter(audio.get(), u"Audio Renderer"))) {
        std::fprintf(stderr, "graphbench: cannot set up the renderers\n");
        return 1;
    }
    // The audio renderer is the graph's clock (the machine's, when silent).
    auto clock = twcom::QueryAs<IReferenceClock>(audio->Identity(), IID_IReferenceClock);
    auto filter = twcom::QueryAs<IMediaFilter>(graph.get(), IID_IMediaFilter);
    if (!clock || !filter || FAILED(filter->SetSyncSource(clock.get()))) {
        std::fprintf(stderr, "graphbench: cannot set the graph's clock\n");
        return 1;
    }
    Log videoLog, audioLog;
    Observe(vmr.get(), clock.get(), videoLog);
    Observe(audio.get(), clock.get(), audioLog);

    std::vector<WCHAR> wide(url.begin(), url.end());
    wide.push_back(0);
    double cpu0 = ProcessCpuSeconds();
    auto opened = Clock::now();
    HRESULT hr = graph->RenderFile(wide.data(), nullptr);
    if (FAILED(hr)) {
        std::fprintf(stderr, "graphbench: RenderFile(%s) failed (hr=0x%08x)\n", url.c_str(), unsigned(hr));
        return 1;
    }
    // RenderFile must have used the renderers given to it.
    ComPtr<IBaseFilter> other;
    if (SUCCEEDED(graph->FindFilterByName(u"Video Renderer", other.put()))) {
        std::fprintf(stderr, "graphbench: RenderFile did not use the VMR9\n");
        return 1;
    }
    auto control = twcom::QueryAs<IMediaControl>(graph.get(), IID_IMediaControl);
    auto events = twcom::QueryAs<IMediaEventEx>(graph.get(), IID_IMediaEventEx);
    hr = control->Run();
    if (FAILED(hr)) {
        std::fprintf(stderr, "graphbench: Run failed (hr=0x%08x)\n", unsigned(hr));
        return 1;
    }
    // An on-demand stream plays to its end (the graph completes); a broadcast
    // for the given time after its first picture.
    bool complete = false;
    bool failed = false;
    Clock::time_point firstSeen{};
    while (!complete && !failed) {
        Pump();
        LONG code;
        LONG_PTR p1, p2;
        if (events->GetEvent(&code, &p1, &p2, 20) == S_OK) {
            events->FreeEventParams(code, p1, p2);
            if (code == EC_COMPLETE)
                complete = true;
            else if (code == EC_ERRORABORT || code == EC_USERABORT) {
                std::fprintf(stderr, "graphbench: the graph aborted (event 0x%lx, 0x%lx)\n", long(code), long(p1));
                failed = true;
            }
        }
        if (firstSeen == Clock::time_point{} && videoLog.Any())
            firstSeen = Clock::now();
        if (firstSeen != Clock::time_point{} && seconds > 0 &&
            std::chrono::duration<double>(Clock::now() - firstSeen).count() >= seconds)
            break;
        if (firstSeen == Clock::time_point{} && Clock::now() - opened > std::chrono::seconds(30)) {
            std::fprintf(stderr, "graphbench: no picture within 30 s\n");
            failed = true;
        }
    }
    control->Stop();
    out.cpuSeconds = ProcessCpuSeconds() - cpu0;
    out.peakKiB = PeakResidentKiB();
    out.audioToDevice = audio->PlaysToDevice();
    Clock::time_point first;
    std::vector<Shown> video = videoLog.Take(&first), sound = audioLog.Take(nullptr);
    out.presented = static_cast<long>(video.size());
    out.dropped = vmr->Dropped();
    if (!video.empty()) {
        out.firstFrameMs = Ms(first - opened);
        out.streamSeconds = (video.back().start - video.front().start) / 1e7 + 0.04;
    }
    // The offset between picture and sound of the same moment: each picture
    // against the audio buffer presented for its time.
    std::sort(sound.begin(), sound.end(), [](const Shown &a, const Shown &b) { return a.start < b.start; });
    std::vector<double> av;
    for (const Shown &v : video) {
        auto it = std::upper_bound(sound.begin(), sound.end(), v.start,
                                   [](REFERENCE_TIME t, const Shown &s) { return t < s.start; });
        if (it == sound.begin())
            continue;
        --it;
        av.push_back(std::abs(v.offset - it->offset) / 1e4);
    }
    if (!av.empty()) {
        std::sort(av.begin(), av.end());
        out.avMedianMs = av[av.size() / 2];
        out.avMaxMs = av.back();
    }
    vmr->SetPresentObserver(nullptr);
    audio->SetPresentObserver(nullptr);
    events = nullptr;
    control = nullptr;
    filter = nullptr;
    graph = nullptr;
    DestroyWindow(hwnd);
    CoUninitialize();
    return failed ? 1 : 0;
}
