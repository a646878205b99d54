// The kit's output pin: negotiates a media type with the downstream input pin
// (its own types first, then the peer's), then an allocator (the peer's, else
// a new memory allocator) sized by its handler, and delivers samples and stream
// events downstream.
//
// Threads: connection calls come from the graph's thread while stopped (pin lock).
// Active/Inactive (commit, decommit) come from the filter's state changes under
// the filter lock. Deliver* run on the pin's streaming thread; they read the peer
// under the pin lock and call downstream without it.
#pragma once
#include <vector>

#include "kit/pin.h"

namespace twds::kit {

class OutputPin;

// What the owning filter does for an output pin.
class OutputHandler {
public:
    virtual HRESULT CheckOutputType(OutputPin *pin, const AM_MEDIA_TYPE &mt) = 0;
    // The types the pin proposes, best first.
    virtual std::vector<MediaType> OutputTypes(OutputPin *pin) = 0;
    // Fills in the buffer count and size wanted (the peer's wishes are in props).
    virtual HRESULT DecideBufferSize(OutputPin *pin, ALLOCATOR_PROPERTIES *props) = 0;
    // Whether the pin may connect now (a transform's output needs its input first).
    virtual HRESULT CanConnectOutput(OutputPin *) { return S_OK; }
    virtual void OnOutputConnected(OutputPin *) {}
    virtual void OnOutputDisconnected(OutputPin *) {}

protected:
    ~OutputHandler() = default;
};

class OutputPin final : public PinBase<OutputPin> {
public:
    OutputPin(Filter *filter, OutputHandler *handler, std::u16string name);

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **ppEnum) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // Commits (Active) or decommits (Inactive) the allocator; filter lock held.
    HRESULT Active();
    HRESULT Inactive();

    // Streaming side. GetDeliveryBuffer blocks until a buffer is free and fails
    // once the allocator is decommitted. The rest return S_OK when not connected.
    HRESULT GetDeliveryBuffer(IMediaSample **sample, REFERENCE_TIME *start = nullptr,
                              REFERENCE_TIME *stop = nullptr, DWORD flags = 0);
    HRESULT Deliver(IMediaSample *sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

private:
    // Tries one type with the receiving pin, then the allocator.
    HRESULT TryConnect(IPin *receivePin, const AM_MEDIA_TYPE &mt);
    HRESULT DecideAllocator(IMemInputPin *input);
    void Reset();

    OutputHandler *const m_handler;
    twcom::ComPtr<IMemInputPin> m_input;        // m_lock: the peer's IMemInputPin
    twcom::ComPtr<IMemAllocator> m_allocator;   // m_lock
};

} // namespace twds::kit
