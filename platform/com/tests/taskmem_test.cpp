// Task memory and the task allocator.
#include <gtest/gtest.h>

#include <cstring>
#include <objbase.h>

namespace {

TEST(TaskMemory, AllocReallocFreeKeepContents)
{
    auto *p = static_cast<char *>(CoTaskMemAlloc(16));
    ASSERT_NE(p, nullptr);
    memcpy(p, "0123456789abcdef", 16);
    p = static_cast<char *>(CoTaskMemRealloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(memcmp(p, "0123456789abcdef", 16), 0);
    memset(p + 16, 'x', 4096 - 16); // the whole new size is usable
    p = static_cast<char *>(CoTaskMemRealloc(p, 8));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(memcmp(p, "01234567", 8), 0);
    CoTaskMemFree(p);
}

TEST(TaskMemory, EdgeSizesAndNullPointers)
{
    void *p = CoTaskMemRealloc(nullptr, 32); // behaves as an allocation
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(CoTaskMemRealloc(p, 0), nullptr); // frees the block
    void *empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    CoTaskMemFree(empty);
    CoTaskMemFree(nullptr);
}

TEST(TaskMemory, AllocatorSharesTheTaskHeap)
{
    IMalloc *pMalloc = nullptr;
    ASSERT_EQ(CoGetMalloc(MEMCTX_TASK, &pMalloc), S_OK);
    ASSERT_NE(pMalloc, nullptr);
    IMalloc *same = nullptr;
    ASSERT_EQ(pMalloc->QueryInterface(IID_IMalloc, reinterpret_cast<void **>(&same)), S_OK);
    EXPECT_EQ(same, pMalloc);
    same->Release();

    void *p = pMalloc->Alloc(100);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(pMalloc->GetSize(p), 100u);
    p = pMalloc->Realloc(p, 200);
    ASSERT_NE(p, nullptr);
    CoTaskMemFree(p); // allocated by the allocator, freed by the function
    void *q = CoTaskMemAlloc(10);
    pMalloc->Free(q);
    pMalloc->Release();

    EXPECT_EQ(CoGetMalloc(MEMCTX_SHARED, &pMalloc), E_INVALIDARG);
    EXPECT_EQ(pMalloc, nullptr);
}

} // namespace
