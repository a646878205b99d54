#include "samplebuffer.h"

#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>

extern "C" {
#include <libavcodec/defs.h>
#include <libavutil/buffer.h>
}

namespace twwmf {

namespace {

// Blocks of memory for sample buffers, kept when a buffer goes so that the next
// one of the same size class takes it again: a writer is handed a new buffer for
// every sample, and a stream of samples then costs no allocation each. Block
// sizes are rounded up to a class (at most a quarter more); the blocks kept are
// bounded. A block that has been lent to a packet keeps the packet buffer made
// for it (its header's `lent`, one reference held by the block), so lending it
// again costs one reference, not a new packet buffer; such a block is taken
// again only once no packet holds it any more. The blocks of a class are taken
// in the order they came back, the oldest first: the one most likely let go by
// the muxer. Any thread makes and releases buffers, so a mutex guards the
// lists; the state is trivially destructible, so a buffer released late in the
// process's exit still finds it.
class BlockCache {
public:
    // A block of at least `bytes` (the header not counted); its header tells its
    // size. Null when out of memory.
    BlockHeader *Take(size_t bytes)
    {
        size_t size = 0;
        size_t sizeClass = ClassOf(bytes, &size);
        if (sizeClass < kClasses) {
            std::lock_guard<std::mutex> hold(m_lock);
            BlockHeader *block = m_first[sizeClass];
            if (block && Idle(block)) {
                m_first[sizeClass] = block->next;
                if (!block->next)
                    m_last[sizeClass] = nullptr;
                m_bytes -= block->size;
                return block;
            }
        }
        void *memory = ::operator new(sizeof(BlockHeader) + size, std::nothrow);
        return memory ? new (memory) BlockHeader{nullptr, nullptr, size} : nullptr;
    }
    void Give(BlockHeader *block)
    {
        size_t ignored = 0;
        size_t sizeClass = ClassOf(block->size, &ignored);
        if (sizeClass < kClasses) {
            std::lock_guard<std::mutex> hold(m_lock);
            if (block->size <= kMaxBytes - m_bytes) {
                block->next = nullptr;
                if (m_last[sizeClass])
                    m_last[sizeClass]->next = block;
                else
                    m_first[sizeClass] = block;
                m_last[sizeClass] = block;
                m_bytes += block->size;
                return;
            }
        }
        Free(block);
    }
    // Lets go of a block: at once, or through its packet buffer once the last
    // packet that holds it lets go.
    static void Free(BlockHeader *block)
    {
        if (block->lent)
            av_buffer_unref(&block->lent); // frees the block when no packet holds it
        else
            ::operator delete(block);
    }

private:
    static constexpr size_t kClasses = 64;
    static constexpr size_t kMaxBytes = 4 << 20;

    // No packet holds the block's bytes (its own reference is the only one).
    static bool Idle(BlockHeader *block) { return !block->lent || av_buffer_get_ref_count(block->lent) == 1; }

    // Up to 256 bytes in steps of 64; above, four steps per doubling. Sizes
    // beyond the classes are not kept (kClasses).
    static size_t ClassOf(size_t bytes, size_t *pSize)
    {
        if (bytes <= 256) {
            size_t steps = bytes ? (bytes + 63) / 64 : 1;
            *pSize = steps * 64;
            return steps - 1;
        }
        size_t k = 8; // 2^k < bytes <= 2^(k+1)
        while (k < 40 && (size_t{1} << (k + 1)) < bytes)
            k++;
        const size_t step = size_t{1} << (k - 2);
        const size_t steps = (bytes + step - 1) / step; // 5 to 8
        *pSize = steps * step;
        return 4 + (k - 8) * 4 + (steps - 5);
    }

    std::mutex m_lock;
    BlockHeader *m_first[kClasses] = {}; // per class, oldest first, linked through next; under m_lock
    BlockHeader *m_last[kClasses] = {};  // per class, the newest; under m_lock
    size_t m_bytes = 0;                  // the bytes of the blocks kept, under m_lock
};

BlockCache g_blocks;
static_assert(std::is_trivially_destructible_v<BlockCache>, "buffers released at exit still find the cache");

} // namespace

HRESULT SampleBuffer::Create(DWORD maxLength, INSSBuffer **ppBuffer)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = nullptr;
    // One block for the object and its bytes; the padding after the bytes lets a
    // full buffer be a packet's as it is.
    BlockHeader *block =
        g_blocks.Take(sizeof(SampleBuffer) + static_cast<size_t>(maxLength) + AV_INPUT_BUFFER_PADDING_SIZE);
    if (!block)
        return E_OUTOFMEMORY;
    auto *buffer = new (block + 1) SampleBuffer(maxLength);
    memset(buffer->Data() + maxLength, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    *ppBuffer = buffer; // the reference it was made with
    return S_OK;
}

void SampleBuffer::FinalRelease()
{
    BlockHeader *block = Block();
    this->~SampleBuffer();
    g_blocks.Give(block);
}

AVBufferRef *SampleBuffer::Share()
{
    if (m_length != m_maxLength)
        return nullptr;
    BlockHeader *block = Block();
    if (!block->lent) {
        // The packet buffer of the block: all of it after the object, read-only,
        // and freeing the block when the last reference goes.
        BYTE *start = Data();
        const size_t room = block->size - sizeof(SampleBuffer);
        block->lent = av_buffer_create(
            start, room, [](void *opaque, uint8_t *) { ::operator delete(opaque); }, block,
            AV_BUFFER_FLAG_READONLY);
        if (!block->lent)
            return nullptr;
    }
    AVBufferRef *ref = av_buffer_ref(block->lent);
    if (ref) {
        ref->data = Data();
        ref->size = m_length;
    }
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
