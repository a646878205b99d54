// INSSBuffer over memory of its own: the writer's sample buffers.
#pragma once
#include <wmsdkidl.h>

#include <twcom/object.h>

TWCOM_INTERFACE(INSSBuffer, IID_INSSBuffer)

struct AVBufferRef;

namespace twwmf {

// The memory of a sample buffer: this header, then the object and its bytes.
// A block is either a live buffer's (which alone touches the header) or kept by
// the blocks cache (under its lock). The reference count of `lent` is FFmpeg's
// atomic one: a packet on any thread may let go of its reference at any time.
struct alignas(16) BlockHeader {
    BlockHeader *next;  // in the cache's list while the block is kept
    AVBufferRef *lent;  // the packet buffer over the block once lent, or null
    size_t size;        // the bytes after the header
};

class SampleBuffer final : public twcom::Object<SampleBuffer, INSSBuffer> {
public:
    // A buffer of maxLength bytes whose length starts at maxLength.
    static HRESULT Create(DWORD maxLength, INSSBuffer **ppBuffer);

    STDMETHOD(GetLength)(DWORD *pdwLength) override;
    STDMETHOD(SetLength)(DWORD dwLength) override;
    STDMETHOD(GetMaxLength)(DWORD *pdwLength) override;
    STDMETHOD(GetBuffer)(BYTE **ppdwBuffer) override;
    STDMETHOD(GetBufferAndLength)(BYTE **ppdwBuffer, DWORD *pdwLength) override;

    // A reference to the bytes as an FFmpeg packet buffer, which keeps the
    // memory (not this object) until the packet lets it go, so that a sample
    // reaches the muxer without a copy; null when the buffer is not full (only a
    // full one is followed by the zeroed padding a packet needs) or out of
    // memory. The writer's callers hand it a new buffer for every sample and do
    // not touch one they have written, so the bytes stay as written.
    AVBufferRef *Share();

private:
    friend class twcom::Object<SampleBuffer, INSSBuffer>;
    explicit SampleBuffer(DWORD maxLength) : m_maxLength(maxLength), m_length(maxLength) {}
    // The block goes back to the blocks kept for new buffers on the last Release;
    // one that a packet still holds is not taken again before the packet lets go.
    void FinalRelease();
    BlockHeader *Block() { return reinterpret_cast<BlockHeader *>(this) - 1; }
    // The bytes follow the object: m_maxLength of them, then the zeroed padding.
    BYTE *Data() { return reinterpret_cast<BYTE *>(this + 1); }

    DWORD m_maxLength;
    DWORD m_length;
};

} // namespace twwmf
