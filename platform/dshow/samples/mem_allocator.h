// The platform memory allocator (CLSID_MemoryAllocator): a fixed pool of equally
// sized, aligned buffers handed out as media samples.
#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <strmif.h>
#include <twcom/object.h>

TWCOM_INTERFACE(IMemAllocator, IID_IMemAllocator)

namespace twds {

class MediaSample;

class MemAllocator final : public twcom::Object<MemAllocator, IMemAllocator> {
public:
    // The COM creation function; the allocator cannot be aggregated.
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);

    MemAllocator() = default;
    ~MemAllocator();
    MemAllocator(const MemAllocator &) = delete;
    MemAllocator &operator=(const MemAllocator &) = delete;

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES *pRequest, ALLOCATOR_PROPERTIES *pActual) override;
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES *pProps) override;
    HRESULT STDMETHODCALLTYPE Commit() override;
    HRESULT STDMETHODCALLTYPE Decommit() override;
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample **ppBuffer, REFERENCE_TIME *pStartTime,
                                        REFERENCE_TIME *pEndTime, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample *pBuffer) override;

    // A sample whose last reference went away comes home. The sample may be
    // destroyed by the call (when a decommit is waiting for it).
    void SampleReturned(MediaSample *sample);

private:
    // Frees every buffer; only with none outstanding. Caller holds m_lock.
    void FreeBuffers();

    // Guards every member below: GetBuffer runs on streaming threads, Commit and
    // Decommit on the control thread, and samples come home from any thread. A
    // sample's own fields belong to whoever holds it while it is out.
    std::mutex m_lock;
    std::condition_variable m_bufferFreed;  // signalled when a buffer comes home or on decommit
    ALLOCATOR_PROPERTIES m_props{0, 0, 0, 0};
    bool m_committed = false;
    bool m_decommitPending = false;     // decommitted with buffers still out
    std::unique_ptr<BYTE[]> m_block;
    std::vector<std::unique_ptr<MediaSample>> m_samples;
    std::vector<MediaSample *> m_free;
    std::vector<bool> m_out;            // per sample in m_samples: handed out
    LONG m_outstanding = 0;
};

} // namespace twds
