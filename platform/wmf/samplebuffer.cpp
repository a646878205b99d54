#include "samplebuffer.h"

#include <cstring>
#include <new>

extern "C" {
#include <libavcodec/defs.h>
#include <libavutil/buffer.h>
}

namespace twwmf {

HRESULT SampleBuffer::Create(DWORD maxLength, INSSBuffer **ppBuffer)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = nullptr;
    // The padding after the bytes lets a full buffer be a packet's as it is.
    const size_t size = static_cast<size_t>(maxLength) + AV_INPUT_BUFFER_PADDING_SIZE;
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[size]);
    if (!data)
        return E_OUTOFMEMORY;
    memset(data.get() + maxLength, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    *ppBuffer = twcom::Make<SampleBuffer>(std::move(data), maxLength).detach();
    return *ppBuffer ? S_OK : E_OUTOFMEMORY;
}

AVBufferRef *SampleBuffer::Share()
{
    if (m_length != m_maxLength)
        return nullptr;
    AddRef();
    AVBufferRef *ref = av_buffer_create(
        m_data.get(), m_length,
        [](void *opaque, uint8_t *) { static_cast<SampleBuffer *>(opaque)->Release(); }, this,
        AV_BUFFER_FLAG_READONLY);
    if (!ref)
        Release();
    return ref;
}

STDMETHODIMP SampleBuffer::GetLength(DWORD *pdwLength)
{
    if (!pdwLength)
        return E_POINTER;
    *pdwLength = m_length;
    return S_OK;
}

STDMETHODIMP SampleBuffer::SetLength(DWORD dwLength)
{
    if (dwLength > m_maxLength)
        return E_INVALIDARG;
    m_length = dwLength;
    return S_OK;
}

STDMETHODIMP SampleBuffer::GetMaxLength(DWORD *pdwLength)
{
    if (!pdwLength)
        return E_POINTER;
    *pdwLength = m_maxLength;
    return S_OK;
}

STDMETHODIMP SampleBuffer::GetBuffer(BYTE **ppdwBuffer)
{
    if (!ppdwBuffer)
        return E_POINTER;
    *ppdwBuffer = m_data.get();
    return S_OK;
}

STDMETHODIMP SampleBuffer::GetBufferAndLength(BYTE **ppdwBuffer, DWORD *pdwLength)
{
    if (!ppdwBuffer || !pdwLength)
        return E_POINTER;
    *ppdwBuffer = m_data.get();
    *pdwLength = m_length;
    return S_OK;
}

} // namespace twwmf
