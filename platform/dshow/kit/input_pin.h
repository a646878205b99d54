// The kit's input pin: accepts a connection its handler agrees to, takes the
// allocator the upstream pin chooses, and hands samples and stream events to the
// handler (the owning filter).
//
// Threads: connection calls come from the graph's thread while stopped (pin lock).
// Receive, EndOfStream and NewSegment come on the upstream streaming thread;
// BeginFlush/EndFlush on the thread that flushes (usually the graph's). The
// flushing flag is atomic; the handler guards its own state.
#pragma once
#include <atomic>
#include <vector>

#include "kit/pin.h"

namespace twds::kit {

class InputPin;

// What the owning filter does for an input pin.
class InputHandler {
public:
    virtual HRESULT CheckInputType(InputPin *pin, const AM_MEDIA_TYPE &mt) = 0;
    // Types to offer in EnumMediaTypes (none by default).
    virtual std::vector<MediaType> InputTypes(InputPin *) { return {}; }
    virtual HRESULT OnInputConnected(InputPin *) { return S_OK; }
    virtual void OnInputDisconnected(InputPin *) {}
    virtual HRESULT Receive(InputPin *pin, IMediaSample *sample) = 0;
    virtual HRESULT EndOfStream(InputPin *pin) = 0;
    virtual HRESULT BeginFlush(InputPin *pin) = 0;
    virtual HRESULT EndFlush(InputPin *pin) = 0;
    virtual HRESULT NewSegment(InputPin *pin, REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
    // Whether Receive may block (renderers waiting for the clock).
    virtual bool ReceiveCanBlock(InputPin *) { return false; }

protected:
    ~InputHandler() = default;
};

class InputPin final : public PinBase<InputPin, IMemInputPin> {
public:
    InputPin(Filter *filter, InputHandler *handler, std::u16string name);

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

    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator **ppAllocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator *pAllocator, BOOL bReadOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample *pSample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample **pSamples, LONG nSamples,
                                              LONG *nSamplesProcessed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    bool Flushing() const { return m_flushing.load(); }

private:
    InputHandler *const m_handler;
    std::atomic<bool> m_flushing{false};
    twcom::ComPtr<IMemAllocator> m_allocator;   // m_lock
};

} // namespace twds::kit
