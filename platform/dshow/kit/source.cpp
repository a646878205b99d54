#include "source.h"

#include <evcode.h>

namespace twds::kit {

Source::~Source()
{
    // The graph stops a filter before releasing it; a filter used alone may not be.
    // (A subclass whose FillSample uses its own members stops in its own destructor.)
    Stop();
}

size_t Source::AddPin(std::u16string name)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    m_pins.push_back(std::make_unique<OutputPin>(this, this, std::move(name)));
    return m_pins.size() - 1;
}

std::vector<IPin *> Source::Pins()
{
    std::vector<IPin *> pins;
    for (auto &pin : m_pins)
        pins.push_back(pin.get());
    return pins;
}

void Source::SetSegment(REFERENCE_TIME start, REFERENCE_TIME stop)
{
    m_segmentStart = start;
    m_segmentStop = stop;
}

HRESULT Source::OnPause(FILTER_STATE from)
{
    if (from != State_Stopped)
        return S_OK;
    return StartStreaming();
}

HRESULT Source::StartStreaming()
{
    for (auto &pin : m_pins) {
        if (!pin->IsConnected())
            continue;
        HRESULT hr = pin->Active();
        if (FAILED(hr))
            return hr;
    }
    for (size_t i = 0; i < m_pins.size(); ++i)
        if (m_pins[i]->IsConnected())
            m_threads.emplace_back([this, i] { DeliveryThread(i); });
    return S_OK;
}

HRESULT Source::Restart(const std::function<void()> &interrupt, const std::function<void()> &reposition)
{
    std::lock_guard<std::recursive_mutex> transition(TransitionLock());
    bool streaming = false;
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        streaming = State() != State_Stopped;
        if (streaming) {
            // Downstream lets go of what it holds and refuses more; the threads
            // give up waiting for buffers or for the subclass's data.
            for (auto &pin : m_pins)
                if (pin->IsConnected())
                    pin->DeliverBeginFlush();
            for (auto &pin : m_pins)
                pin->Inactive();
            interrupt();
        }
    }
    for (std::thread &t : m_threads)
        t.join();
    m_threads.clear();
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    reposition();
    if (!streaming)
        return S_OK;
    for (auto &pin : m_pins)
        if (pin->IsConnected())
            pin->DeliverEndFlush();
    return State() == State_Stopped ? S_OK : StartStreaming();
}

HRESULT Source::OnStop()
{
    // Decommitting makes a thread waiting for a buffer give up.
    for (auto &pin : m_pins)
        pin->Inactive();
    return S_OK;
}

void Source::AfterStop()
{
    for (std::thread &t : m_threads)
        t.join();
    m_threads.clear();
}

void Source::DeliveryThread(size_t index)
{
    OutputPin &pin = *m_pins[index];
    OnThreadStart(index);
    pin.DeliverNewSegment(m_segmentStart, m_segmentStop, 1.0);
    while (State() != State_Stopped) {
        twcom::ComPtr<IMediaSample> sample;
        HRESULT hr = pin.GetDeliveryBuffer(sample.put());
        if (FAILED(hr))
            return;                     // decommitted: the filter is stopping
        hr = FillSample(index, sample.get());
        if (hr == E_ABORT)
            return;                     // stopping or restarting
        if (hr == S_FALSE) {
            sample = nullptr;
            pin.DeliverEndOfStream();
            return;
        }
        if (FAILED(hr)) {
            sample = nullptr;
            NotifyEvent(EC_ERRORABORT, hr, 0);
            return;
        }
        hr = pin.Deliver(sample.get());
        if (FAILED(hr) && State() != State_Stopped) {
            // Downstream refuses samples (stopped, end of stream): nothing more to do.
            return;
        }
    }
}

} // namespace twds::kit
