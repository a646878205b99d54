// The Infinite Tee (CLSID_InfTee): one input, "Input", and outputs "Output1",
// "Output2", ... of which one is always free: connecting the last free output
// adds the next. Outputs connect only after the input and take its media type.
// Each input sample goes to every connected output, in pin order; end of stream,
// flushes and new segments go to all of them. An output whose downstream may
// block in Receive (a renderer, or a chain ending in one) delivers on a thread of
// its own (OutputQueue), the others on the input's streaming thread.
//
// Threads: pins are added on the graph's thread while stopped (the filter lock
// and m_outputsLock); the streaming thread reads the output list under
// m_outputsLock only, never under the filter lock. The queues start and stop
// with the filter's state changes (filter lock).
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "filters/inftee/output_queue.h"
#include "kit/input_pin.h"
#include "kit/output_pin.h"

namespace twds {

class InfTee final : public twcom::Object<InfTee, kit::Filter>, public kit::InputHandler, public kit::OutputHandler {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    InfTee();

protected:
    // Filter
    std::vector<IPin *> Pins() override;
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;

    // InputHandler
    HRESULT CheckInputType(kit::InputPin *, const AM_MEDIA_TYPE &mt) override;
    HRESULT Receive(kit::InputPin *, IMediaSample *sample) override;
    HRESULT EndOfStream(kit::InputPin *) override;
    HRESULT BeginFlush(kit::InputPin *) override;
    HRESULT EndFlush(kit::InputPin *) override;
    HRESULT NewSegment(kit::InputPin *, REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // OutputHandler
    HRESULT CheckOutputType(kit::OutputPin *, const AM_MEDIA_TYPE &mt) override;
    std::vector<kit::MediaType> OutputTypes(kit::OutputPin *) override;
    HRESULT DecideBufferSize(kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override;
    HRESULT CanConnectOutput(kit::OutputPin *) override;
    void OnOutputConnected(kit::OutputPin *) override;

private:
    struct Output {
        std::unique_ptr<kit::OutputPin> pin;
        std::unique_ptr<OutputQueue> queue;
        std::atomic<bool> queued{false};    // set while stopped, before streaming: deliveries go through queue
    };
    // The outputs now (owned by the filter, which outlives the call).
    std::vector<kit::OutputPin *> Outputs();
    std::vector<Output *> OutputRecords();
    void AddOutput();

    kit::InputPin m_input;
    std::mutex m_outputsLock;
    std::vector<std::unique_ptr<Output>> m_outputs;     // m_outputsLock; grows while stopped
};

} // namespace twds
