#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include <initguid.h>

#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <evcode.h>

#include "clipsample.h"
#include "kestrin.h"
#include "runs.h"
#include <twwmf/avprofile.h>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

// The graph as the filter sees it: an event sink that counts what it is told.
class CountingGraph : public IFilterGraph, public IMediaEventSink {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IFilterGraph)
            *ppv = static_cast<IFilterGraph *>(this);
        else if (riid == IID_IMediaEventSink)
            *ppv = static_cast<IMediaEventSink *>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP AddFilter(IBaseFilter *, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter *) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters **) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter **) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin *, IPin *, const AM_MEDIA_TYPE *) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }
    STDMETHODIMP Notify(LONG code, LONG_PTR param1, LONG_PTR) override
    {
        if (code == EC_KESTRIN_VIDEO_WRITTEN)
            videoWritten = static_cast<long>(param1);
        events++;
        return S_OK;
    }
    std::atomic<long> events{0};
    std::atomic<long> videoWritten{0};
};

template <class T>
void Release(T *&p)
{
    if (p)
        p->Release();
    p = nullptr;
}

// Hands the packets to the two streaming threads in file order.
class Turns {
public:
    explicit Turns(const BenchClip &clip) : m_clip(clip) {}
    // The next packet of any kind, or -1 at the end.
    long Next()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_next < m_clip.packets.size() ? static_cast<long>(m_next) : -1;
    }
    // The next packet of the kind, or -1 at the end.
    long Wait(bool video)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_cv.wait(hold, [&] { return m_next >= m_clip.packets.size() || m_clip.packets[m_next].video == video; });
        return m_next < m_clip.packets.size() ? static_cast<long>(m_next) : -1;
    }
    void Done()
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_next++;
        }
        m_cv.notify_all();
    }

private:
    const BenchClip &m_clip;
    std::mutex m_lock;
    std::condition_variable m_cv;
    size_t m_next = 0;
};

HRESULT CreateKestrin(IBaseFilter **ppFilter)
{
    HMODULE module = LoadLibraryA("Kestrin.ax");
    if (!module)
        return E_FAIL;
    using GetClassObject = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void *>(GetProcAddress(module, "DllGetClassObject")));
    if (!get)
        return E_FAIL;
    IClassFactory *factory = nullptr;
    HRESULT hr = get(CLSID_Kestrin, IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void **>(ppFilter));
    factory->Release();
    return hr;
}

HRESULT ProfileOf(const std::string &path, IWMProfile **ppProfile)
{
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return E_FAIL;
    HRESULT hr = avformat_find_stream_info(fmt, nullptr) < 0 ? E_FAIL : twwmf::CreateProfileFromFormat(fmt, ppProfile);
    avformat_close_input(&fmt);
    return hr;
}

std::u16string Wide(const std::string &text)
{
    std::u16string wide(text.size() + 1, u'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

// Delivers packets through their pins, in a sample of this thread's: those of
// one kind, taking turns with the other thread, or (kind -1) all of them from
// this thread alone.
void Stream(const BenchClip &clip, Turns &turns, IMemInputPin *videoPin, IMemInputPin *audioPin, int kind,
            std::atomic<int> &failures)
{
    CoInitialize(nullptr);
    // One sample, pointed at each packet in turn, as a source reuses its samples.
    twcom::ComPtr<ClipSample> sample = twcom::Make<ClipSample>(nullptr);
    if (!sample) {
        failures++;
        CoUninitialize();
        return;
    }
    const bool alone = kind < 0;
    for (long i; (i = alone ? turns.Next() : turns.Wait(kind == 1)) >= 0; turns.Done()) {
        const BenchPacket &p = clip.packets[static_cast<size_t>(i)];
        sample->Show(&p);
        HRESULT hr = (p.video ? videoPin : audioPin)->Receive(sample.get());
        if (hr != S_OK) {
            fprintf(stderr, "recbench: %s sample %ld refused (hr=0x%08x)\n", p.video ? "video" : "audio", i,
                    static_cast<unsigned>(hr));
            failures++;
        }
    }
    CoUninitialize();
}

} // namespace

RunTimes RunKestrin(const BenchClip &clip, const std::string &outPath, int repeat, bool twoThreads,
                    std::string &error)
{
    CoInitialize(nullptr);
    IBaseFilter *filter = nullptr;
    IKestrin *kestrin = nullptr;
    IFileSinkFilter *sink = nullptr;
    IPin *videoPin = nullptr, *audioPin = nullptr;
    IMemInputPin *videoInput = nullptr, *audioInput = nullptr;
    IWMProfile *profile = nullptr;
    CountingGraph graph;
    RunTimes times;

    if (FAILED(CreateKestrin(&filter)))
        error = "cannot create the Kestrin filter from Kestrin.ax";
    else if (FAILED(filter->QueryInterface(IID_IKestrin, reinterpret_cast<void **>(&kestrin))) ||
             FAILED(filter->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void **>(&sink))))
        error = "the filter lacks IKestrin or IFileSinkFilter";
    else if (FAILED(filter->JoinFilterGraph(&graph, OLESTR("Kestrin"))) ||
             FAILED(filter->FindPin(OLESTR("Video in"), &videoPin)) ||
             FAILED(filter->FindPin(OLESTR("Audio in"), &audioPin)) ||
             FAILED(videoPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&videoInput))) ||
             FAILED(audioPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&audioInput))))
        error = "cannot reach the filter's pins";
    else if (FAILED(ProfileOf(clip.path, &profile)))
        error = "cannot build a profile of " + clip.path;
    else if (FAILED(kestrin->set_Profile(profile)) || FAILED(filter->Run(0)))
        error = "the filter refused the profile or the run";
    else {
        std::atomic<int> failures{0};
        for (int r = 0; r < repeat && !failures; r++) {
            RemoveEarlierRecording(outPath);
            RunClock clock;
            std::u16string name = Wide(outPath);
            sink->SetFileName(name.c_str(), nullptr);
            Turns turns(clip);
            if (twoThreads) {
                std::thread video(Stream, std::cref(clip), std::ref(turns), videoInput, audioInput, 1,
                                  std::ref(failures));
                std::thread audio(Stream, std::cref(clip), std::ref(turns), videoInput, audioInput, 0,
                                  std::ref(failures));
                video.join();
                audio.join();
            } else {
                Stream(clip, turns, videoInput, audioInput, -1, failures);
            }
            sink->SetFileName(nullptr, nullptr);
            // The next pass starts its stream time afresh, as a newly opened stream does.
            filter->Stop();
            filter->Run(0);
            times.Add(clock.Stop());
        }
        filter->Stop();
        if (failures)
            error = std::to_string(failures.load()) + " samples were not accepted", times.wall = -1;
        else if (graph.videoWritten <= 0)
            error = "no video sample was written", times.wall = -1;
    }
    Release(profile);
    Release(videoInput);
    Release(audioInput);
    Release(videoPin);
    Release(audioPin);
    if (filter)
        filter->JoinFilterGraph(nullptr, nullptr);
    Release(sink);
    Release(kestrin);
    Release(filter);
    CoUninitialize();
    return times;
}
