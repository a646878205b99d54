#include "samplebuffer.h"

#include <new>

namespace twwmf {

HRESULT SampleBuffer::Create(DWORD maxLength, INSSBuffer **ppBuffer)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = nullptr;
    // One byte at least, so that GetBuffer always has memory to point at.
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[maxLength ? maxLength : 1]);
    if (!data)
        return E_OUTOFMEMORY;
    *ppBuffer = twcom::Make<SampleBuffer>(std::move(data), maxLength).detach();
    return *ppBuffer ? S_OK : E_OUTOFMEMORY;
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
