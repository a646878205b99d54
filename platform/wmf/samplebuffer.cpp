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
    // One allocation for the object and its bytes (a sample's buffer is made for
    // every sample written); the padding after the bytes lets a full buffer be a
    // packet's as it is.
    void *memory = ::operator new(sizeof(SampleBuffer) + maxLength + AV_INPUT_BUFFER_PADDING_SIZE, std::nothrow);
    if (!memory)
        return E_OUTOFMEMORY;
    auto *buffer = new (memory) SampleBuffer(maxLength);
    memset(buffer->Data() + maxLength, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    *ppBuffer = buffer; // the reference it was made with
    return S_OK;
}

void SampleBuffer::FinalRelease()
{
    this->~SampleBuffer();
    ::operator delete(static_cast<void *>(this));
}

AVBufferRef *SampleBuffer::Share()
{
    if (m_length != m_maxLength)
        return nullptr;
    AddRef();
    AVBufferRef *ref = av_buffer_create(
        Data(), m_length,
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
    *ppdwBuffer = Data();
    return S_OK;
}

STDMETHODIMP SampleBuffer::GetBufferAndLength(BYTE **ppdwBuffer, DWORD *pdwLength)
{
    if (!ppdwBuffer || !pdwLength)
        return E_POINTER;
    *ppdwBuffer = Data();
    *pdwLength = m_length;
    return S_OK;
}

} // namespace twwmf
