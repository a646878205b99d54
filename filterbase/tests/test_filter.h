// A renderer built on the framework for the unit tests: input pins that accept
// compressed video (WMV3; WMV2 is answered S_FALSE), count their framework calls
// and can be told to fail.
#pragma once
#include <memory>
#include <vector>

#include "streams.h"
#include "test_doubles.h"

namespace fbtest {

DEFINE_GUID(CLSID_FbTestFilter, 0x6a1c2f10, 0x3b7d, 0x4e55, 0x9a, 0x11, 0x52, 0x0c, 0x7e, 0x41, 0x90, 0x01);

class TestPin : public CRenderedInputPin {
public:
    TestPin(CBaseFilter *filter, CCritSec *lock, LPCWSTR name)
        : CRenderedInputPin("test pin", filter, lock, &m_hr, name)
    {
    }

    HRESULT VerifyMediaType(const AM_MEDIA_TYPE *pmt) override
    {
        verifyCalls++;
        if (!pmt)
            return E_POINTER;
        if (pmt->majortype != MEDIATYPE_Video)
            return E_INVALIDARG;
        if (pmt->subtype == MEDIASUBTYPE_WMV3)
            return S_OK;
        if (pmt->subtype == MEDIASUBTYPE_WMV2)
            return S_FALSE;
        return E_INVALIDARG;
    }
    HRESULT PreferredMediaType(int position, MediaTypeValue *mt) override
    {
        if (position < 0 || position >= static_cast<int>(preferred.size()))
            return CRenderedInputPin::PreferredMediaType(position, mt);
        return mt->Assign(preferred[position]);
    }
    HRESULT Activate() override
    {
        activateCalls++;
        return failActivate ? E_FAIL : CRenderedInputPin::Activate();
    }
    HRESULT Deactivate() override
    {
        deactivateCalls++;
        return CRenderedInputPin::Deactivate();
    }
    HRESULT OnRun(REFERENCE_TIME t) override
    {
        onRunCalls++;
        return CRenderedInputPin::OnRun(t);
    }
    STDMETHODIMP Receive(IMediaSample *sample) override
    {
        receiveCalls++;
        if (!scriptedReceive.empty()) {
            HRESULT hr = scriptedReceive.front();
            scriptedReceive.erase(scriptedReceive.begin());
            return hr;
        }
        return CRenderedInputPin::Receive(sample);
    }

    void ChangeTypeList() { m_TypeVersion++; }
    const AM_SAMPLE2_PROPERTIES &LastProperties() const { return SampleProperties; }

    std::vector<AM_MEDIA_TYPE> preferred;
    std::vector<HRESULT> scriptedReceive;
    bool failActivate = false;
    int verifyCalls = 0, activateCalls = 0, deactivateCalls = 0, onRunCalls = 0;
    std::atomic<int> receiveCalls{0};

private:
    HRESULT m_hr = S_OK;
};

class TestFilter : public CBaseFilter {
public:
    explicit TestFilter(LPUNKNOWN outer = nullptr, int pins = 2)
        : CBaseFilter("test filter", outer, &m_lock, CLSID_FbTestFilter)
    {
        for (int i = 0; i < pins; i++)
            AddPin(i == 0 ? OLESTR("Video in") : i == 1 ? OLESTR("Audio in") : OLESTR("Extra"));
    }

    int PinCount() override { return static_cast<int>(m_pins.size()); }
    CBasePin *PinAt(int n) override
    {
        return n >= 0 && n < PinCount() ? m_pins[static_cast<size_t>(n)].get() : nullptr;
    }
    const FilterSetupRecord *FilterSetupData() override { return setup; }

    TestPin *Pin(int n) { return m_pins.at(static_cast<size_t>(n)).get(); }
    void AddPin(LPCWSTR name)
    {
        m_pins.push_back(std::make_unique<TestPin>(this, &m_lock, name));
        IncrementPinVersion();
    }
    void RemoveLastPin()
    {
        m_pins.pop_back();
        IncrementPinVersion();
    }
    IBaseFilter *Base() { return static_cast<IBaseFilter *>(this); }
    FILTER_STATE State() const { return m_State; }

    const FilterSetupRecord *setup = nullptr;

private:
    CCritSec m_lock;
    std::vector<std::unique_ptr<TestPin>> m_pins;
};

// A filter with one reference, released at the end of the scope.
struct FilterRef {
    FilterRef(int pins = 2) : filter(new TestFilter(nullptr, pins)) { filter->Base()->AddRef(); }
    ~FilterRef() { filter->Base()->Release(); }
    TestFilter *operator->() const { return filter; }
    TestFilter *filter;
};

class CoScope {
public:
    CoScope() { CoInitialize(nullptr); }
    ~CoScope() { CoUninitialize(); }
};

// A filter in a recording graph with its first pin fed by an upstream pin over the
// real allocator.
struct ConnectedFilter {
    CoScope com;
    RecordingGraph graph;
    FilterRef filter;
    UpstreamPin upstream;

    ConnectedFilter()
    {
        upstream.offered.push_back(MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3));
        EXPECT_EQ(S_OK, filter->JoinFilterGraph(&graph, OLESTR("Renderer")));
        EXPECT_EQ(S_OK, upstream.Connect(filter->Pin(0), nullptr));
    }
    ~ConnectedFilter()
    {
        filter->Stop();
        filter->Pin(0)->Disconnect();
        upstream.Disconnect();
        filter->JoinFilterGraph(nullptr, nullptr);
    }
    TestPin *pin() { return filter->Pin(0); }
    LONG_PTR FilterParam() { return reinterpret_cast<LONG_PTR>(filter->Base()); }
};

} // namespace fbtest
