// The kit's transform base: one input pin and one output pin; each input sample
// becomes one output sample, made by the subclass, delivered on the input's
// streaming thread. The output connects only after the input. Stream events and
// flushes go downstream.
//
// Threads: as the pins say. The transform keeps no streaming state of its own;
// a subclass that does guards it itself.
#pragma once
#include "kit/input_pin.h"
#include "kit/output_pin.h"

namespace twds::kit {

class Transform : public Filter, public InputHandler, public OutputHandler {
protected:
    Transform();

    // The subclass's part.
    virtual HRESULT CheckInput(const AM_MEDIA_TYPE &mt) = 0;
    virtual HRESULT CheckTransform(const AM_MEDIA_TYPE &in, const AM_MEDIA_TYPE &out) = 0;
    // Output types for a given input type.
    virtual std::vector<MediaType> TypesFor(const AM_MEDIA_TYPE &in) = 0;
    virtual HRESULT DecideBufferSize(OutputPin *, ALLOCATOR_PROPERTIES *props) override = 0;
    virtual HRESULT DoTransform(IMediaSample *in, IMediaSample *out) = 0;

    InputPin &Input() { return m_in; }
    OutputPin &Output() { return m_out; }

    // Filter
    std::vector<IPin *> Pins() override { return {&m_in, &m_out}; }
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;

    // InputHandler
    HRESULT CheckInputType(InputPin *, const AM_MEDIA_TYPE &mt) override { return CheckInput(mt); }
    HRESULT Receive(InputPin *pin, IMediaSample *sample) override;
    HRESULT EndOfStream(InputPin *) override { return m_out.DeliverEndOfStream(); }
    HRESULT BeginFlush(InputPin *) override { return m_out.DeliverBeginFlush(); }
    HRESULT EndFlush(InputPin *) override { return m_out.DeliverEndFlush(); }
    HRESULT NewSegment(InputPin *, REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override
    {
        return m_out.DeliverNewSegment(start, stop, rate);
    }
    // Receive delivers on the same thread, so it blocks when downstream does.
    bool ReceiveCanBlock(InputPin *) override;

    // OutputHandler
    HRESULT CheckOutputType(OutputPin *, const AM_MEDIA_TYPE &mt) override;
    std::vector<MediaType> OutputTypes(OutputPin *) override;
    HRESULT CanConnectOutput(OutputPin *) override;

private:
    InputPin m_in;
    OutputPin m_out;
};

} // namespace twds::kit

TWCOM_INTERFACE(twds::kit::Transform, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
