// Test doubles for the filter framework tests: an upstream output pin that connects,
// negotiates an allocator and delivers samples; a graph that records its events.
#pragma once
#include <atomic>
#include <mutex>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <evcode.h>
#include <vfwmsgs.h>

namespace fbtest {

inline AM_MEDIA_TYPE MakeType(const GUID &major, const GUID &sub, const GUID &format = FORMAT_None)
{
    AM_MEDIA_TYPE mt{};
    mt.majortype = major;
    mt.subtype = sub;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = 1;
    mt.formattype = format;
    return mt;
}

// A fixed list of types without format blocks.
class TypeListEnumerator : public IEnumMediaTypes {
public:
    TypeListEnumerator(std::vector<AM_MEDIA_TYPE> types, size_t position = 0) : m_types(std::move(types)), m_pos(position) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
            *ppv = static_cast<IEnumMediaTypes *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG c, AM_MEDIA_TYPE **out, ULONG *fetched) override
    {
        ULONG n = 0;
        while (n < c && m_pos < m_types.size()) {
            auto *mt = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            *mt = m_types[m_pos++];
            out[n++] = mt;
        }
        if (fetched)
            *fetched = n;
        return n == c ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG c) override
    {
        m_pos += c;
        return m_pos <= m_types.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes **pp) override
    {
        *pp = new TypeListEnumerator(m_types, m_pos);
        return S_OK;
    }

private:
    virtual ~TypeListEnumerator() = default;
    std::atomic<ULONG> m_refs{1};
    std::vector<AM_MEDIA_TYPE> m_types;
    size_t m_pos;
};

// An upstream pin. Lives on the test's stack; its count must come back to 1.
class UpstreamPin : public IPin {
public:
    explicit UpstreamPin(PIN_DIRECTION dir = PINDIR_OUTPUT) : m_dir(dir) {}
    ~UpstreamPin()
    {
        if (m_alloc)
            m_alloc->Release();
        if (m_input)
            m_input->Release();
        if (m_peer)
            m_peer->Release();
    }

    std::vector<AM_MEDIA_TYPE> offered;   // what EnumMediaTypes lists
    std::vector<GUID> acceptedSubtypes;   // what ReceiveConnection takes (empty: anything)
    std::atomic<ULONG> refs{1};

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IPin) {
            *ppv = static_cast<IPin *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    // Connects to an input pin with the given type, then agrees an allocator as an
    // output pin does: the input pin's own, committed on demand.
    STDMETHODIMP Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt) override
    {
        AM_MEDIA_TYPE type = pmt ? *pmt : offered.at(0);
        HRESULT hr = pReceivePin->ReceiveConnection(this, &type);
        if (FAILED(hr))
            return hr;
        m_peer = pReceivePin;
        m_peer->AddRef();
        hr = m_peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&m_input));
        if (FAILED(hr))
            return hr;
        hr = m_input->GetAllocator(&m_alloc);
        if (FAILED(hr))
            return hr;
        ALLOCATOR_PROPERTIES want{4, 256, 1, 0}, got{};
        hr = m_alloc->SetProperties(&want, &got);
        if (FAILED(hr))
            return hr;
        return m_input->NotifyAllocator(m_alloc, FALSE);
    }
    STDMETHODIMP ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt) override
    {
        if (m_peer)
            return VFW_E_ALREADY_CONNECTED;
        bool ok = acceptedSubtypes.empty();
        for (const GUID &g : acceptedSubtypes)
            ok = ok || g == pmt->subtype;
        if (!ok)
            return VFW_E_TYPE_NOT_ACCEPTED;
        m_peer = pConnector;
        m_peer->AddRef();
        receivedSubtype = pmt->subtype;
        return S_OK;
    }
    STDMETHODIMP Disconnect() override
    {
        if (!m_peer)
            return S_FALSE;
        m_peer->Release();
        m_peer = nullptr;
        return S_OK;
    }
    STDMETHODIMP ConnectedTo(IPin **pPin) override
    {
        *pPin = m_peer;
        if (!m_peer)
            return VFW_E_NOT_CONNECTED;
        m_peer->AddRef();
        return S_OK;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE *) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPinInfo(PIN_INFO *pInfo) override
    {
        pInfo->pFilter = nullptr;
        pInfo->dir = m_dir;
        pInfo->achName[0] = 0;
        return S_OK;
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION *pPinDir) override
    {
        *pPinDir = m_dir;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR *) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE *) override { return S_OK; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes **ppEnum) override
    {
        *ppEnum = new TypeListEnumerator(offered);
        return S_OK;
    }
    STDMETHODIMP QueryInternalConnections(IPin **, ULONG *) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    IMemInputPin *Input() const { return m_input; }
    IMemAllocator *Allocator() const { return m_alloc; }
    IPin *Peer() const { return m_peer; }

    // Fills one buffer of the agreed allocator and hands it downstream.
    HRESULT Deliver(BYTE fill, REFERENCE_TIME start, bool syncPoint = true)
    {
        IMediaSample *sample = nullptr;
        HRESULT hr = m_alloc->GetBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        BYTE *data = nullptr;
        sample->GetPointer(&data);
        for (LONG i = 0; i < 16; i++)
            data[i] = fill;
        sample->SetActualDataLength(16);
        REFERENCE_TIME stop = start + 1000;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(syncPoint);
        hr = m_input->Receive(sample);
        sample->Release();
        return hr;
    }

    GUID receivedSubtype = GUID_NULL;

private:
    PIN_DIRECTION m_dir;
    IPin *m_peer = nullptr;
    IMemInputPin *m_input = nullptr;
    IMemAllocator *m_alloc = nullptr;
};

struct Event {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
};

// A graph as far as a filter sees it: a place to post events. Lives on the stack.
class RecordingGraph : public IFilterGraph, public IMediaEventSink {
public:
    std::atomic<ULONG> refs{1};

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
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    STDMETHODIMP AddFilter(IBaseFilter *, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter *) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters **) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter **) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin *, IPin *, const AM_MEDIA_TYPE *) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }

    STDMETHODIMP Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_events.push_back({code, p1, p2});
        return S_OK;
    }

    std::vector<Event> Events()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_events;
    }
    int Count(LONG code)
    {
        int n = 0;
        for (const Event &e : Events())
            n += e.code == code;
        return n;
    }

private:
    std::mutex m_lock;
    std::vector<Event> m_events;
};

} // namespace fbtest
