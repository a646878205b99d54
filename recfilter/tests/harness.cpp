#include "harness.h"

#include <cstring>

#include <twtesting.h>

#include "asfclip.h"

namespace kestrintest {

HRESULT CreateKestrin(IUnknown **ppUnknown)
{
    HMODULE module = LoadLibraryA(twtest::BinPath("Kestrin.ax").c_str());
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
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(ppUnknown));
    factory->Release();
    return hr;
}

SampleSource::SampleSource(LONG bufferSize, LONG count)
{
    CoInitialize(nullptr);
    if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                reinterpret_cast<void **>(&m_pAllocator))))
        return;
    ALLOCATOR_PROPERTIES want{count, bufferSize, 1, 0}, got{};
    if (FAILED(m_pAllocator->SetProperties(&want, &got)) || FAILED(m_pAllocator->Commit())) {
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
}

SampleSource::~SampleSource()
{
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
    }
    CoUninitialize();
}

HRESULT SampleSource::Deliver(IMemInputPin *pPin, const uint8_t *data, size_t length, REFERENCE_TIME start,
                              bool syncPoint)
{
    if (!m_pAllocator)
        return E_FAIL;
    IMediaSample *sample = nullptr;
    HRESULT hr = m_pAllocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    BYTE *buffer = nullptr;
    sample->GetPointer(&buffer);
    if (static_cast<long>(length) > sample->GetSize()) {
        sample->Release();
        return E_INVALIDARG;
    }
    if (length)
        memcpy(buffer, data, length);
    sample->SetActualDataLength(static_cast<LONG>(length));
    REFERENCE_TIME stop = start + 1;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(syncPoint);
    hr = pPin->Receive(sample);
    sample->Release();
    return hr;
}

HRESULT SampleSource::DeliverFill(IMemInputPin *pPin, uint8_t fill, size_t length, REFERENCE_TIME start, bool syncPoint)
{
    std::vector<uint8_t> data(length, fill);
    return Deliver(pPin, data.data(), data.size(), start, syncPoint);
}

Rig::Rig()
{
    CoInitialize(nullptr);
    IUnknown *unknown = nullptr;
    if (FAILED(CreateKestrin(&unknown)))
        return;
    unknown->QueryInterface(IID_IBaseFilter, reinterpret_cast<void **>(&filter));
    unknown->QueryInterface(IID_IKestrin, reinterpret_cast<void **>(&kestrin));
    unknown->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void **>(&sink));
    unknown->Release();
    if (!filter || !kestrin || !sink)
        return;
    if (FAILED(filter->JoinFilterGraph(&graph, OLESTR("Kestrin"))))
        return;
    if (FAILED(filter->FindPin(OLESTR("Video in"), &videoPin)) || FAILED(filter->FindPin(OLESTR("Audio in"), &audioPin)))
        return;
    m_videoUp.offered.push_back(fbtest::MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2));
    m_audioUp.offered.push_back(fbtest::MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV8));
    if (FAILED(m_videoUp.Connect(videoPin, nullptr)) || FAILED(m_audioUp.Connect(audioPin, nullptr)))
        return;
    videoPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&videoInput));
    audioPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&audioInput));
    m_ok = videoInput && audioInput;
}

Rig::~Rig()
{
    if (filter)
        filter->Stop();
    if (videoInput)
        videoInput->Release();
    if (audioInput)
        audioInput->Release();
    for (IPin *pin : {videoPin, audioPin}) {
        if (pin) {
            pin->Disconnect();
            pin->Release();
        }
    }
    m_videoUp.Disconnect();
    m_audioUp.Disconnect();
    if (filter)
        filter->JoinFilterGraph(nullptr, nullptr);
    if (sink)
        sink->Release();
    if (kestrin)
        kestrin->Release();
    if (filter)
        filter->Release();
    CoUninitialize();
}

HRESULT Rig::SetFile(const std::string &path)
{
    return sink->SetFileName(Wide(path).c_str(), nullptr);
}

std::vector<fbtest::Event> Rig::TakeEvents()
{
    std::vector<fbtest::Event> all = graph.Events();
    std::vector<fbtest::Event> fresh(all.begin() + static_cast<long>(m_seen), all.end());
    m_seen = all.size();
    return fresh;
}

std::vector<long> Rig::Params(const std::vector<fbtest::Event> &events, long code)
{
    std::vector<long> params;
    for (const fbtest::Event &e : events)
        if (e.code == code)
            params.push_back(static_cast<long>(e.param1));
    return params;
}

std::u16string Wide(const std::string &text)
{
    std::u16string wide(text.size() * 2 + 1, u'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

void ResetReportedTime(Rig &rig, SampleSource &source)
{
    source.DeliverFill(rig.videoInput, 0, 8, 0, false);
    rig.TakeEvents();
}

const std::string &TestClip()
{
    static twtest::TempDir dir;
    static std::string path;
    if (path.empty()) {
        std::string made = wmftest::MakeClip(dir.file("source.asf"), {"--seconds", "6", "--size", "176x144", "--fps",
                                                                        "25", "--gop", "25", "--title", "Kestrin"});
        if (made.empty())
            path = dir.file("source.asf");
    }
    return path;
}

} // namespace kestrintest
