#include "output_pin.h"

#include <uuids.h>

#include "media/media_types.h"

namespace twds::kit {

OutputPin::OutputPin(Filter *filter, OutputHandler *handler, std::u16string name)
    : PinBase(filter, PINDIR_OUTPUT, std::move(name)), m_handler(handler)
{
}

HRESULT STDMETHODCALLTYPE OutputPin::Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt)
{
    if (!pReceivePin)
        return E_POINTER;
    HRESULT hr = CheckStopped();
    if (FAILED(hr))
        return hr;
    if (IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    PIN_DIRECTION dir;
    if (FAILED(pReceivePin->QueryDirection(&dir)) || dir != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    hr = m_handler->CanConnectOutput(this);
    if (FAILED(hr))
        return hr;

    if (pmt && MediaType::IsFullySpecified(*pmt))
        return TryConnect(pReceivePin, *pmt);

    // Our own types first, then the receiving pin's, each matching the partial type.
    bool anyType = false;
    for (const MediaType &mt : m_handler->OutputTypes(this)) {
        anyType = true;
        if (pmt && !MediaType::Matches(mt.get(), *pmt))
            continue;
        if (SUCCEEDED(TryConnect(pReceivePin, mt.get())))
            return S_OK;
    }
    twcom::ComPtr<IEnumMediaTypes> types;
    if (SUCCEEDED(pReceivePin->EnumMediaTypes(types.put())) && types) {
        AM_MEDIA_TYPE *mt = nullptr;
        while (types->Next(1, &mt, nullptr) == S_OK) {
            anyType = true;
            MediaType owned(*mt);
            DeleteMediaType(mt);
            if (pmt && !MediaType::Matches(owned.get(), *pmt))
                continue;
            if (MediaType::IsFullySpecified(owned.get()) && SUCCEEDED(TryConnect(pReceivePin, owned.get())))
                return S_OK;
        }
    }
    return anyType ? VFW_E_NO_ACCEPTABLE_TYPES : VFW_E_NO_TYPES;
}

HRESULT OutputPin::TryConnect(IPin *receivePin, const AM_MEDIA_TYPE &mt)
{
    if (m_handler->CheckOutputType(this, mt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        HRESULT hr = m_type.Set(mt);
        if (FAILED(hr))
            return hr;
        m_peer = twcom::ComPtr<IPin>::Share(receivePin);
    }
    HRESULT hr = receivePin->ReceiveConnection(static_cast<IPin *>(this), &mt);
    if (SUCCEEDED(hr)) {
        auto input = twcom::QueryAs<IMemInputPin>(receivePin, IID_IMemInputPin);
        hr = input ? DecideAllocator(input.get()) : E_NOINTERFACE;
        if (SUCCEEDED(hr)) {
            {
                std::lock_guard<std::mutex> hold(m_lock);
                m_input = input;
            }
            m_handler->OnOutputConnected(this);
            return S_OK;
        }
        receivePin->Disconnect();
    }
    Reset();
    return hr;
}

HRESULT OutputPin::DecideAllocator(IMemInputPin *input)
{
    ALLOCATOR_PROPERTIES want{};
    input->GetAllocatorRequirements(&want);
    if (want.cbAlign == 0)
        want.cbAlign = 1;
    twcom::ComPtr<IMemAllocator> allocator;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 0) {
            if (FAILED(input->GetAllocator(allocator.put())) || !allocator)
                continue;
        } else {
            HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                          allocator.put_void());
            if (FAILED(hr))
                return hr;
        }
        ALLOCATOR_PROPERTIES props = want;
        if (FAILED(m_handler->DecideBufferSize(this, &props)))
            continue;
        ALLOCATOR_PROPERTIES actual{};
        if (FAILED(allocator->SetProperties(&props, &actual)) || actual.cbBuffer < props.cbBuffer)
            continue;
        if (SUCCEEDED(input->NotifyAllocator(allocator.get(), FALSE))) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_allocator = allocator;
            return S_OK;
        }
    }
    return VFW_E_NO_ALLOCATOR;
}

void OutputPin::Reset()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_peer = nullptr;
    m_input = nullptr;
    m_allocator = nullptr;
    m_type.Clear();
}

HRESULT STDMETHODCALLTYPE OutputPin::ReceiveConnection(IPin *, const AM_MEDIA_TYPE *)
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPin::Disconnect()
{
    HRESULT hr = CheckStopped();
    if (FAILED(hr))
        return hr;
    if (!IsConnected())
        return S_FALSE;
    Reset();
    m_handler->OnOutputDisconnected(this);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OutputPin::QueryAccept(const AM_MEDIA_TYPE *pmt)
{
    if (!pmt)
        return E_POINTER;
    return m_handler->CheckOutputType(this, *pmt) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE OutputPin::EnumMediaTypes(IEnumMediaTypes **ppEnum)
{
    return MediaTypeEnum::Create(m_handler->OutputTypes(this), ppEnum);
}

HRESULT STDMETHODCALLTYPE OutputPin::EndOfStream()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPin::BeginFlush()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPin::EndFlush()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}

HRESULT OutputPin::Active()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_allocator ? m_allocator->Commit() : S_OK;
}

HRESULT OutputPin::Inactive()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_allocator ? m_allocator->Decommit() : S_OK;
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample **sample, REFERENCE_TIME *start, REFERENCE_TIME *stop,
                                     DWORD flags)
{
    twcom::ComPtr<IMemAllocator> allocator;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        allocator = m_allocator;
    }
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    return allocator->GetBuffer(sample, start, stop, flags);
}

HRESULT OutputPin::Deliver(IMediaSample *sample)
{
    twcom::ComPtr<IMemInputPin> input;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        input = m_input;
    }
    return input ? input->Receive(sample) : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverEndOfStream()
{
    auto peer = Peer();
    return peer ? peer->EndOfStream() : S_OK;
}

HRESULT OutputPin::DeliverBeginFlush()
{
    auto peer = Peer();
    return peer ? peer->BeginFlush() : S_OK;
}

HRESULT OutputPin::DeliverEndFlush()
{
    auto peer = Peer();
    return peer ? peer->EndFlush() : S_OK;
}

HRESULT OutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    auto peer = Peer();
    return peer ? peer->NewSegment(start, stop, rate) : S_OK;
}

} // namespace twds::kit
