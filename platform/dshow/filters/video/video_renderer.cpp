#include "video_renderer.h"

namespace twds {

HRESULT VideoRenderer::OnInputConnected(kit::InputPin *pin)
{
    return m_path.SetFormat(pin->Type().get());
}

HRESULT VideoRenderer::DoRenderSample(IMediaSample *sample, REFERENCE_TIME)
{
    BYTE *data = nullptr;
    if (FAILED(sample->GetPointer(&data)))
        return E_POINTER;
    HRESULT hr = m_path.Take(data, sample->GetActualDataLength());
    if (FAILED(hr))
        return hr;
    m_path.Present(TargetWindow());
    return S_OK;
}

} // namespace twds
