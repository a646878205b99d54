#include "input_pin.h"

#include <uuids.h>

namespace twds::kit {

InputPin::InputPin(Filter *filter, InputHandler *handler, std::u16string name)
    : PinBase(filter, PINDIR_INPUT, std::move(name)), m_handler(handler)
{
}

HRESULT STDMETHODCALLTYPE InputPin::Connect(IPin *, const AM_MEDIA_TYPE *)
{
    // Connections are made from the output side.
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt)
{
    if (!pConnector || !pmt)
        return E_POINTER;
    HRESULT hr = CheckStopped();
    if (FAILED(hr))
        return hr;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_peer)
            return VFW_E_ALREADY_CONNECTED;
    }
    PIN_DIRECTION dir;
    if (FAILED(pConnector->QueryDirection(&dir)) || dir != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (!MediaType::IsFullySpecified(*pmt) || m_handler->CheckInputType(this, *pmt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_peer)
            return VFW_E_ALREADY_CONNECTED;
        hr = m_type.Set(*pmt);
        if (FAILED(hr))
            return hr;
        m_peer = twcom::ComPtr<IPin>::Share(pConnector);
    }
    hr = m_handler->OnInputConnected(this);
    if (FAILED(hr)) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_peer = nullptr;
        m_type.Clear();
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE InputPin::Disconnect()
{
    HRESULT hr = CheckStopped();
    if (FAILED(hr))
        return hr;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_peer)
            return S_FALSE;
        m_peer = nullptr;
        m_type.Clear();
        m_allocator = nullptr;
    }
    m_handler->OnInputDisconnected(this);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::QueryAccept(const AM_MEDIA_TYPE *pmt)
{
    if (!pmt)
        return E_POINTER;
    return m_handler->CheckInputType(this, *pmt) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE InputPin::EnumMediaTypes(IEnumMediaTypes **ppEnum)
{
    return MediaTypeEnum::Create(m_handler->InputTypes(this), ppEnum);
}

HRESULT STDMETHODCALLTYPE InputPin::EndOfStream()
{
    if (m_flushing)
        return S_FALSE;
    return m_handler->EndOfStream(this);
}

HRESULT STDMETHODCALLTYPE InputPin::BeginFlush()
{
    m_flushing = true;
    return m_handler->BeginFlush(this);
}

HRESULT STDMETHODCALLTYPE InputPin::EndFlush()
{
    HRESULT hr = m_handler->EndFlush(this);
    m_flushing = false;
    return hr;
}

HRESULT STDMETHODCALLTYPE InputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    return m_handler->NewSegment(this, tStart, tStop, dRate);
}

HRESULT STDMETHODCALLTYPE InputPin::GetAllocator(IMemAllocator **ppAllocator)
{
    if (!ppAllocator)
        return E_POINTER;
    *ppAllocator = nullptr;
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_allocator) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      m_allocator.put_void());
        if (FAILED(hr))
            return hr;
    }
    m_allocator.copy_to(ppAllocator);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::NotifyAllocator(IMemAllocator *pAllocator, BOOL)
{
    if (!pAllocator)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    m_allocator = twcom::ComPtr<IMemAllocator>::Share(pAllocator);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE InputPin::Receive(IMediaSample *pSample)
{
    if (!pSample)
        return E_POINTER;
    if (m_filter->State() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_flushing)
        return S_FALSE;
    return m_handler->Receive(this, pSample);
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveMultiple(IMediaSample **pSamples, LONG nSamples,
                                                    LONG *nSamplesProcessed)
{
    if (!pSamples || !nSamplesProcessed)
        return E_POINTER;
    *nSamplesProcessed = 0;
    HRESULT hr = S_OK;
    while (*nSamplesProcessed < nSamples) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        if (hr != S_OK)
            break;
        ++*nSamplesProcessed;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveCanBlock()
{
    return m_handler->ReceiveCanBlock(this) ? S_OK : S_FALSE;
}

} // namespace twds::kit
