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
// bounded. Any thread makes and releases buffers, so a mutex guards the lists;
// the state is trivially destructible, so a buffer released late in the
// process's exit still finds it.
class BlockCache {
public:
    // A block of at least `bytes`; its actual size in *pSize; null when out of memory.
    void *Take(size_t bytes, size_t *pSize)
    {
        size_t sizeClass = ClassOf(bytes, pSize);
        if (sizeClass < kClasses) {
            std::lock_guard<std::mutex> hold(m_lock);
            if (Block *block = m_free[sizeClass]) {
                m_free[sizeClass] = block->next;
                m_bytes -= *pSize;
                return block;
            }
        }
        return ::operator new(*pSize, std::nothrow);
    }
    void Give(void *memory, size_t size)
    {
        size_t ignored = 0;
        size_t sizeClass = ClassOf(size, &ignored);
        if (sizeClass < kClasses) {
            std::lock_guard<std::mutex> hold(m_lock);
            if (size <= kMaxBytes - m_bytes) {
                m_free[sizeClass] = new (memory) Block{m_free[sizeClass]};
                m_bytes += size;
                return;
            }
        }
        ::operator delete(memory);
    }

private:
    struct Block {
        Block *next;
    };
    static constexpr size_t kClasses = 64;
    static constexpr size_t kMaxBytes = 4 << 20;

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
    Block *m_free[kClasses] = {}; // per class, under m_lock
    size_t m_bytes = 0;           // the bytes of the blocks kept, under m_lock
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
    size_t block = 0;
    void *memory =
        g_blocks.Take(sizeof(SampleBuffer) + static_cast<size_t>(maxLength) + AV_INPUT_BUFFER_PADDING_SIZE, &block);
    if (!memory)
        return E_OUTOFMEMORY;
    auto *buffer = new (memory) SampleBuffer(maxLength, block);
    memset(buffer->Data() + maxLength, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    *ppBuffer = buffer; // the reference it was made with
    return S_OK;
}

void SampleBuffer::FinalRelease()
{
    const size_t block = m_block;
    this->~SampleBuffer();
    g_blocks.Give(static_cast<void *>(this), block);
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
