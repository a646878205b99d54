// The kit's renderer base: one input pin; each sample is presented at its start
// time on the reference clock. Early samples wait; late samples of a renderer
// that drops (video) are dropped and counted. In Pause the first sample is held
// (the pause completes when it arrives) until Run. EndOfStream after the last
// sample sends EC_COMPLETE, once per run, and only while running.
//
// Threads: Receive and EndOfStream come on the upstream streaming thread and wait
// on m_wake under m_renderLock; state changes (filter lock, then m_renderLock)
// and flushes wake them. The streaming thread never takes the filter lock.
// DoRenderSample runs on the streaming thread without any kit lock.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>

#include "kit/input_pin.h"

namespace twds::kit {

class Renderer : public Filter, public InputHandler {
public:
    // Samples presented and dropped since the filter was created.
    LONG Presented();
    LONG Dropped();

    // Called on the streaming thread after each sample is presented, with its
    // start time and how late it was on the clock; for programs that measure
    // playback. Set while the filter is stopped; null removes it.
    using PresentObserver = std::function<void(REFERENCE_TIME start, REFERENCE_TIME lateness)>;
    void SetPresentObserver(PresentObserver observer);

protected:
    Renderer();     // the input pin is "In" unless renamed

    // The subclass's part.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE &mt) = 0;
    // Presents a sample; lateness is how late it is on the clock (0 without one).
    virtual HRESULT DoRenderSample(IMediaSample *sample, REFERENCE_TIME lateness) = 0;
    // Video renderers drop a sample whose end time has already passed.
    virtual bool DropsLateSamples() { return false; }
    // How long before its time a sample is presented (an audio renderer feeding
    // a device buffer ahead of the clock); lateness still counts from its time.
    virtual REFERENCE_TIME PresentAhead() { return 0; }

    InputPin &Input() { return m_pin; }

    // Filter
    std::vector<IPin *> Pins() override { return {&m_pin}; }
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnRun(REFERENCE_TIME start) override;
    HRESULT OnStop() override;
    HRESULT WaitStateComplete(DWORD timeoutMs) override;

    // InputHandler
    HRESULT CheckInputType(InputPin *, const AM_MEDIA_TYPE &mt) override { return CheckMediaType(mt); }
    HRESULT Receive(InputPin *pin, IMediaSample *sample) override;
    HRESULT EndOfStream(InputPin *pin) override;
    HRESULT BeginFlush(InputPin *pin) override;
    HRESULT EndFlush(InputPin *pin) override;
    HRESULT NewSegment(InputPin *, REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
    bool ReceiveCanBlock(InputPin *) override { return true; }

private:
    // Sends EC_COMPLETE unless this run already did; m_renderLock not held.
    void SendComplete();

    InputPin m_pin;
    std::mutex m_renderLock;
    std::condition_variable m_wake;                // state change, flush, first sample
    twcom::ComPtr<IReferenceClock> m_runClock;     // m_renderLock: the clock of this run
    REFERENCE_TIME m_runStart = 0;                 // m_renderLock
    bool m_flushing = false;                       // m_renderLock
    bool m_haveSample = false;                     // m_renderLock: a sample arrived since Pause
    bool m_eos = false;                            // m_renderLock: end of stream reached
    bool m_completeSent = false;                   // m_renderLock: EC_COMPLETE sent this run
    LONG m_presented = 0;                          // m_renderLock
    LONG m_dropped = 0;                            // m_renderLock
    PresentObserver m_observer;                    // m_renderLock; changed only while stopped
};

} // namespace twds::kit

TWCOM_INTERFACE(twds::kit::Renderer, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
