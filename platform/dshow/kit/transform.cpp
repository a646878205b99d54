#include "transform.h"

namespace twds::kit {

Transform::Transform()
    : m_in(this, this, u"XForm In"), m_out(this, this, u"XForm Out")
{
}

HRESULT Transform::OnPause(FILTER_STATE from)
{
    return from == State_Stopped ? m_out.Active() : S_OK;
}

HRESULT Transform::OnStop()
{
    m_out.Inactive();
    return S_OK;
}

HRESULT Transform::Receive(InputPin *, IMediaSample *in)
{
    twcom::ComPtr<IMediaSample> out;
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = SUCCEEDED(in->GetTime(&start, &stop));
    HRESULT hr = m_out.GetDeliveryBuffer(out.put(), timed ? &start : nullptr, timed ? &stop : nullptr, 0);
    if (FAILED(hr))
        return m_in.Flushing() ? S_FALSE : hr;
    if (timed)
        out->SetTime(&start, &stop);
    else
        out->SetTime(nullptr, nullptr);
    out->SetSyncPoint(in->IsSyncPoint() == S_OK);
    out->SetDiscontinuity(in->IsDiscontinuity() == S_OK);
    out->SetPreroll(in->IsPreroll() == S_OK);
    hr = DoTransform(in, out.get());
    if (hr == S_FALSE)
        return S_OK;        // the subclass dropped the sample
    if (FAILED(hr))
        return hr;
    return m_out.Deliver(out.get());
}

HRESULT Transform::CheckOutputType(OutputPin *, const AM_MEDIA_TYPE &mt)
{
    MediaType in = m_in.Type();
    if (!m_in.IsConnected())
        return VFW_E_NOT_CONNECTED;
    return CheckTransform(in.get(), mt);
}

std::vector<MediaType> Transform::OutputTypes(OutputPin *)
{
    if (!m_in.IsConnected())
        return {};
    return TypesFor(m_in.Type().get());
}

HRESULT Transform::CanConnectOutput(OutputPin *)
{
    return m_in.IsConnected() ? S_OK : VFW_E_NOT_CONNECTED;
}

bool Transform::ReceiveCanBlock(InputPin *)
{
    auto peer = twcom::QueryAs<IMemInputPin>(m_out.Peer().get(), IID_IMemInputPin);
    return peer && peer->ReceiveCanBlock() == S_OK;
}

} // namespace twds::kit
