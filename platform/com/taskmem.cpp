// Task memory: the process heap that COM callers and callees share, so that
// memory allocated on one side of an interface can be freed on the other.
#include <cstdlib>
#include <malloc.h>
#include <objbase.h>
#include <twcom/interfaces.h>

namespace {

// The task allocator lives as long as the process: its last Release frees nothing.
class CTaskAllocator final : public twcom::Object<CTaskAllocator, IMalloc> {
public:

    void *STDMETHODCALLTYPE Alloc(SIZE_T cb) override { return CoTaskMemAlloc(cb); }
    void *STDMETHODCALLTYPE Realloc(void *pv, SIZE_T cb) override { return CoTaskMemRealloc(pv, cb); }
    void STDMETHODCALLTYPE Free(void *pv) override { CoTaskMemFree(pv); }
    SIZE_T STDMETHODCALLTYPE GetSize(void *pv) override { return pv ? malloc_usable_size(pv) : SIZE_T(-1); }
    // The heap cannot tell its own blocks from others': "don't know".
    int STDMETHODCALLTYPE DidAlloc(void *pv) override { return pv ? -1 : 0; }
    void STDMETHODCALLTYPE HeapMinimize() override {}

private:
    friend class twcom::Object<CTaskAllocator, IMalloc>;
    void FinalRelease() {}
};

CTaskAllocator g_taskAllocator;

} // namespace

STDAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb)
{
    // A zero-byte request still yields a distinct block that CoTaskMemFree accepts.
    return malloc(cb ? cb : 1);
}

STDAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (!pv)
        return CoTaskMemAlloc(cb);
    if (cb == 0) {
        free(pv);
        return nullptr;
    }
    return realloc(pv, cb);
}

STDAPI_(void) CoTaskMemFree(LPVOID pv)
{
    free(pv);
}

STDAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC *ppMalloc)
{
    if (!ppMalloc)
        return E_INVALIDARG;
    if (dwMemContext != MEMCTX_TASK) {
        *ppMalloc = nullptr;
        return E_INVALIDARG;
    }
    g_taskAllocator.AddRef();
    *ppMalloc = &g_taskAllocator;
    return S_OK;
}
