// INSSBuffer over memory of its own: the writer's sample buffers.
#pragma once
#include <memory>
#include <wmsdkidl.h>

#include <twcom/object.h>

TWCOM_INTERFACE(INSSBuffer, IID_INSSBuffer)

namespace twwmf {

class SampleBuffer final : public twcom::Object<SampleBuffer, INSSBuffer> {
public:
    // A buffer of maxLength bytes whose length starts at maxLength.
    static HRESULT Create(DWORD maxLength, INSSBuffer **ppBuffer);

    STDMETHOD(GetLength)(DWORD *pdwLength) override;
    STDMETHOD(SetLength)(DWORD dwLength) override;
    STDMETHOD(GetMaxLength)(DWORD *pdwLength) override;
    STDMETHOD(GetBuffer)(BYTE **ppdwBuffer) override;
    STDMETHOD(GetBufferAndLength)(BYTE **ppdwBuffer, DWORD *pdwLength) override;

    // For twcom::Make; callers use Create.
    SampleBuffer(std::unique_ptr<BYTE[]> data, DWORD maxLength)
        : m_data(std::move(data)), m_maxLength(maxLength), m_length(maxLength)
    {
    }

private:

    std::unique_ptr<BYTE[]> m_data;
    DWORD m_maxLength;
    DWORD m_length;
};

} // namespace twwmf
