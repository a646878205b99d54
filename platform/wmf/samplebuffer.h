// INSSBuffer over memory of its own: the writer's sample buffers.
#pragma once
#include <wmsdkidl.h>

#include <twcom/object.h>

TWCOM_INTERFACE(INSSBuffer, IID_INSSBuffer)

struct AVBufferRef;

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

    // The bytes as an FFmpeg packet buffer that keeps this object alive, so that a
    // sample reaches the muxer without a copy; null when the buffer is not full
    // (only a full one is followed by the zeroed padding a packet needs) or out
    // of memory. The writer's callers hand it a new buffer for every sample and
    // do not touch one they have written, so the bytes stay as written.
    AVBufferRef *Share();

private:
    friend class twcom::Object<SampleBuffer, INSSBuffer>;
    SampleBuffer(DWORD maxLength, size_t block) : m_maxLength(maxLength), m_length(maxLength), m_block(block) {}
    // The object and its bytes are one block of memory, which the last Release
    // gives back to the blocks kept for new buffers.
    void FinalRelease();
    // The bytes follow the object: m_maxLength of them, then the zeroed padding.
    BYTE *Data() { return reinterpret_cast<BYTE *>(this + 1); }

    DWORD m_maxLength;
    DWORD m_length;
    size_t m_block; // the size of the block of memory
};

} // namespace twwmf
