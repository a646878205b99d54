#include "mem_allocator.h"

#include <cstdint>
#include <new>

#include <uuids.h>
#include <vfwmsgs.h>

#include <twcom/builtin_classes.h>
#include "media_sample.h"

namespace twds {
namespace {

// The largest alignment a caller may ask for: the allocation granularity of the
// platform the interface comes from.
const LONG kMaxAlignment = 64 * 1024;

twcom::BuiltinClassRegistration s_registration(CLSID_MemoryAllocator, MemAllocator::Create);

} // namespace

HRESULT MemAllocator::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<MemAllocator>(), riid, ppv);
}

MemAllocator::~MemAllocator()
{
    std::lock_guard<std::mutex> hold(m_lock);
    FreeBuffers();
}

HRESULT STDMETHODCALLTYPE MemAllocator::SetProperties(ALLOCATOR_PROPERTIES *pRequest, ALLOCATOR_PROPERTIES *pActual)
{
    if (!pRequest || !pActual)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_committed)
        return VFW_E_ALREADY_COMMITTED;
    if (m_outstanding > 0)
        return VFW_E_BUFFERS_OUTSTANDING;
    LONG align = pRequest->cbAlign;
    if (align <= 0 || (align & (align - 1)) != 0 || align > kMaxAlignment)
        return VFW_E_BADALIGN;
    if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0)
        return E_INVALIDARG;

    // Each buffer with its prefix fills a whole number of alignment units.
    int64_t size = int64_t(pRequest->cbBuffer) + pRequest->cbPrefix;
    size = (size + align - 1) / align * align;
    if (size > INT32_MAX)
        return E_OUTOFMEMORY;
    m_props.cBuffers = pRequest->cBuffers;
    m_props.cbBuffer = static_cast<LONG>(size - pRequest->cbPrefix);
    m_props.cbAlign = align;
    m_props.cbPrefix = pRequest->cbPrefix;
    *pActual = m_props;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemAllocator::GetProperties(ALLOCATOR_PROPERTIES *pProps)
{
    if (!pProps)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    *pProps = m_props;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemAllocator::Commit()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_committed)
        return S_OK;
    if (m_decommitPending) {
        // The buffers were never freed: take them back into service.
        m_decommitPending = false;
        m_committed = true;
        return S_OK;
    }
    if (m_props.cBuffers <= 0 || m_props.cbBuffer <= 0 || m_props.cbAlign <= 0)
        return VFW_E_SIZENOTSET;

    const size_t stride = size_t(m_props.cbBuffer) + size_t(m_props.cbPrefix);
    const size_t count = size_t(m_props.cBuffers);
    if (stride != 0 && count > (SIZE_MAX - size_t(m_props.cbAlign)) / stride)
        return E_OUTOFMEMORY;
    try {
        // Left uninitialised: the pages of buffers larger than their samples
        // are never touched and cost no memory.
        m_block.reset(new BYTE[stride * count + size_t(m_props.cbAlign)]);
        uintptr_t base = reinterpret_cast<uintptr_t>(m_block.get());
        uintptr_t align = uintptr_t(m_props.cbAlign);
        BYTE *next = m_block.get() + ((align - base % align) % align);
        m_samples.reserve(count);
        m_free.reserve(count);
        m_out.assign(count, false);
        for (size_t i = 0; i < count; i++) {
            m_samples.push_back(std::make_unique<MediaSample>(this, next + m_props.cbPrefix, m_props.cbBuffer));
            m_free.push_back(m_samples.back().get());
            next += stride;
        }
    } catch (const std::bad_alloc &) {
        FreeBuffers();
        return E_OUTOFMEMORY;
    }
    m_committed = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemAllocator::Decommit()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_committed)
            return S_OK;
        m_committed = false;
        if (m_outstanding == 0)
            FreeBuffers();
        else
            m_decommitPending = true; // the last buffer to come back frees them all
    }
    // Waiters in GetBuffer wake and fail.
    m_bufferFreed.notify_all();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemAllocator::GetBuffer(IMediaSample **ppBuffer, REFERENCE_TIME *, REFERENCE_TIME *,
                                                  DWORD dwFlags)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = nullptr;
    MediaSample *sample = nullptr;
    {
        std::unique_lock<std::mutex> hold(m_lock);
        for (;;) {
            if (!m_committed)
                return VFW_E_NOT_COMMITTED;
            if (!m_free.empty())
                break;
            if (dwFlags & AM_GBF_NOWAIT)
                return VFW_E_TIMEOUT;
            m_bufferFreed.wait(hold);
        }
        sample = m_free.back();
        m_free.pop_back();
        for (size_t i = 0; i < m_samples.size(); i++)
            if (m_samples[i].get() == sample)
                m_out[i] = true;
        m_outstanding++;
        sample->HandOut(dwFlags);
    }
    // Every buffer out keeps the allocator alive until it comes back.
    AddRef();
    *ppBuffer = sample;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemAllocator::ReleaseBuffer(IMediaSample *pBuffer)
{
    if (!pBuffer)
        return E_POINTER;
    MediaSample *sample = nullptr;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (size_t i = 0; i < m_samples.size(); i++)
            if (static_cast<IMediaSample *>(m_samples[i].get()) == pBuffer && m_out[i])
                sample = m_samples[i].get();
    }
    // Only a buffer of this allocator that is out can come back.
    if (!sample)
        return E_INVALIDARG;
    SampleReturned(sample);
    return S_OK;
}

void MemAllocator::SampleReturned(MediaSample *sample)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        size_t index = m_samples.size();
        for (size_t i = 0; i < m_samples.size(); i++)
            if (m_samples[i].get() == sample)
                index = i;
        if (index == m_samples.size() || !m_out[index])
            return; // already back
        m_out[index] = false;
        m_outstanding--;
        sample->Reset();
        m_free.push_back(sample);
        if (m_decommitPending && m_outstanding == 0) {
            m_decommitPending = false;
            FreeBuffers();
        }
    }
    m_bufferFreed.notify_one();
    // The buffer's hold on the allocator ends; this may delete the allocator.
    Release();
}

void MemAllocator::FreeBuffers()
{
    m_free.clear();
    m_samples.clear();
    m_out.clear();
    m_block.reset();
}

} // namespace twds
