// The kit's source base: output pins, each with a delivery thread of its own
// that runs from Pause (out of Stopped) to Stop: it takes a buffer, asks the
// subclass to fill it and delivers it, until the subclass says the stream ended
// (then EndOfStream goes downstream) or the filter stops.
//
// Threads: pins are added by the subclass before the filter joins a graph (or on
// the graph's thread while stopped). The threads are started under the filter
// lock and joined in AfterStop (outside it); m_threads belongs to the state
// changes, which the base filter serialises. FillSample runs on the pin's thread.
#pragma once
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "kit/output_pin.h"

namespace twds::kit {

class Source : public Filter, public OutputHandler {
protected:
    Source() = default;
    ~Source() override;

    // Adds an output pin; returns its index.
    size_t AddPin(std::u16string name);
    OutputPin &Pin(size_t index) { return *m_pins[index]; }
    size_t PinCount() const { return m_pins.size(); }

    // Fills a sample for pin `index`: S_OK delivers it, S_FALSE ends the stream,
    // E_ABORT ends the pin's thread quietly (stopping, restarting), another
    // failure stops it with EC_ERRORABORT.
    virtual HRESULT FillSample(size_t index, IMediaSample *sample) = 0;
    // Called on the pin's thread before its first sample (a NewSegment goes first).
    virtual void OnThreadStart(size_t) {}

    // The segment each delivery thread announces (NewSegment) before its first
    // sample. Set while no delivery thread runs (stopped, or within Restart).
    void SetSegment(REFERENCE_TIME start, REFERENCE_TIME stop);

    // Starts streaming over at a new segment (a seek) without a state change:
    // flushes downstream, decommits the buffers and calls `interrupt` (which must
    // make a FillSample that waits return E_ABORT), joins the delivery threads,
    // calls `reposition`, ends the flush and, unless stopped, commits the buffers
    // and starts the threads again. Serialised with state changes.
    HRESULT Restart(const std::function<void()> &interrupt, const std::function<void()> &reposition);

    // Filter
    std::vector<IPin *> Pins() override;
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;
    void AfterStop() override;

private:
    // Commits the connected pins' buffers and starts their threads; m_lock held.
    HRESULT StartStreaming();
    void DeliveryThread(size_t index);

    std::vector<std::unique_ptr<OutputPin>> m_pins;     // graph thread, while stopped
    std::vector<std::thread> m_threads;                 // the state changes' (serialised)
    // Written while no delivery thread runs; read by each as it starts.
    REFERENCE_TIME m_segmentStart = 0;
    REFERENCE_TIME m_segmentStop = 0x7fffffffffffffffLL;
};

} // namespace twds::kit

TWCOM_INTERFACE(twds::kit::Source, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
