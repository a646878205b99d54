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
    // a failure stops the pin's thread with EC_ERRORABORT.
    virtual HRESULT FillSample(size_t index, IMediaSample *sample) = 0;
    // Called on the pin's thread before its first sample (a NewSegment goes first).
    virtual void OnThreadStart(size_t) {}

    // Filter
    std::vector<IPin *> Pins() override;
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;
    void AfterStop() override;

private:
    void DeliveryThread(size_t index);

    std::vector<std::unique_ptr<OutputPin>> m_pins;     // graph thread, while stopped
    std::vector<std::thread> m_threads;                 // the state changes' (serialised)
};

} // namespace twds::kit

TWCOM_INTERFACE(twds::kit::Source, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
