#include "inftee.h"

#include <string>

#include <uuids.h>

#include <twcom/builtin_classes.h>

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_registration(CLSID_InfTee, InfTee::Create);

} // namespace

HRESULT InfTee::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<InfTee>(), riid, ppv);
}

InfTee::InfTee() : m_input(this, this, u"Input")
{
    SetClassId(CLSID_InfTee);
    AddOutput();
}

void InfTee::AddOutput()
{
    std::lock_guard<std::mutex> hold(m_outputsLock);
    std::string name = "Output" + std::to_string(m_outputs.size() + 1);
    auto output = std::make_unique<Output>();
    output->pin = std::make_unique<kit::OutputPin>(this, this, std::u16string(name.begin(), name.end()));
    output->queue = std::make_unique<OutputQueue>(output->pin.get());
    m_outputs.push_back(std::move(output));
}

std::vector<kit::OutputPin *> InfTee::Outputs()
{
    std::lock_guard<std::mutex> hold(m_outputsLock);
    std::vector<kit::OutputPin *> pins;
    for (auto &o : m_outputs)
        pins.push_back(o->pin.get());
    return pins;
}

std::vector<InfTee::Output *> InfTee::OutputRecords()
{
    std::lock_guard<std::mutex> hold(m_outputsLock);
    std::vector<Output *> outputs;
    for (auto &o : m_outputs)
        outputs.push_back(o.get());
    return outputs;
}

std::vector<IPin *> InfTee::Pins()
{
    std::vector<IPin *> pins{&m_input};
    for (kit::OutputPin *p : Outputs())
        pins.push_back(p);
    return pins;
}

HRESULT InfTee::OnPause(FILTER_STATE from)
{
    if (from != State_Stopped)
        return S_OK;
    for (Output *o : OutputRecords()) {
        if (!o->pin->IsConnected())
            continue;
        HRESULT hr = o->pin->Active();
        if (FAILED(hr))
            return hr;
        auto peer = twcom::QueryAs<IMemInputPin>(o->pin->Peer().get(), IID_IMemInputPin);
        bool queued = peer && peer->ReceiveCanBlock() == S_OK;
        o->queued = queued;
        if (queued)
            o->queue->Start();
    }
    return S_OK;
}

HRESULT InfTee::OnStop()
{
    for (Output *o : OutputRecords()) {
        // Downstream is stopped already, so a delivery under way has returned.
        o->queue->Stop();
        o->queued = false;
        o->pin->Inactive();
    }
    return S_OK;
}

HRESULT InfTee::CheckInputType(kit::InputPin *, const AM_MEDIA_TYPE &mt)
{
    // Outputs already connected must take the type too.
    for (kit::OutputPin *p : Outputs())
        if (auto peer = p->Peer())
            if (peer->QueryAccept(&mt) != S_OK)
                return S_FALSE;
    return S_OK;
}

HRESULT InfTee::Receive(kit::InputPin *, IMediaSample *sample)
{
    // Every connected output gets the sample, whatever another one answered;
    // upstream hears of a failure only when no output took the sample.
    HRESULT failure = S_OK;
    bool delivered = false, connected = false;
    for (Output *o : OutputRecords()) {
        if (!o->pin->IsConnected())
            continue;
        connected = true;
        HRESULT hr = o->queued ? o->queue->Receive(sample) : o->pin->Deliver(sample);
        if (SUCCEEDED(hr))
            delivered = true;
        else
            failure = hr;
    }
    return delivered || !connected ? S_OK : failure;
}

HRESULT InfTee::EndOfStream(kit::InputPin *)
{
    for (Output *o : OutputRecords()) {
        if (o->queued)
            o->queue->EndOfStream();
        else
            o->pin->DeliverEndOfStream();
    }
    return S_OK;
}

HRESULT InfTee::BeginFlush(kit::InputPin *)
{
    for (Output *o : OutputRecords()) {
        if (o->queued)
            o->queue->BeginFlush();
        else
            o->pin->DeliverBeginFlush();
    }
    return S_OK;
}

HRESULT InfTee::EndFlush(kit::InputPin *)
{
    for (Output *o : OutputRecords()) {
        if (o->queued)
            o->queue->EndFlush();
        else
            o->pin->DeliverEndFlush();
    }
    return S_OK;
}

HRESULT InfTee::NewSegment(kit::InputPin *, REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    for (Output *o : OutputRecords()) {
        if (o->queued)
            o->queue->NewSegment(start, stop, rate);
        else
            o->pin->DeliverNewSegment(start, stop, rate);
    }
    return S_OK;
}

HRESULT InfTee::CheckOutputType(kit::OutputPin *, const AM_MEDIA_TYPE &mt)
{
    if (!m_input.IsConnected())
        return VFW_E_NOT_CONNECTED;
    kit::MediaType in = m_input.Type();
    return mt.majortype == in->majortype && mt.subtype == in->subtype && mt.formattype == in->formattype ? S_OK
                                                                                                        : S_FALSE;
}

std::vector<kit::MediaType> InfTee::OutputTypes(kit::OutputPin *)
{
    if (!m_input.IsConnected())
        return {};
    return {m_input.Type()};
}

HRESULT InfTee::DecideBufferSize(kit::OutputPin *, ALLOCATOR_PROPERTIES *props)
{
    // The tee passes the input's samples on; its outputs' own buffers stay unused.
    props->cBuffers = std::max<LONG>(props->cBuffers, 1);
    props->cbBuffer = std::max<LONG>(props->cbBuffer, 1);
    return S_OK;
}

HRESULT InfTee::CanConnectOutput(kit::OutputPin *)
{
    return m_input.IsConnected() ? S_OK : VFW_E_NOT_CONNECTED;
}

void InfTee::OnOutputConnected(kit::OutputPin *)
{
    for (kit::OutputPin *p : Outputs())
        if (!p->IsConnected())
            return;
    AddOutput();
}

} // namespace twds
