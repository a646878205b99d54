// The memory allocator and its media samples, created through COM.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "media/media_types.h"

namespace {

class Allocator : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                         reinterpret_cast<void **>(&alloc)));
    }
    void TearDown() override
    {
        if (alloc) {
            EXPECT_EQ(0u, alloc->Release()) << "nothing else holds the allocator";
        }
        CoUninitialize();
    }
    void Configure(LONG buffers, LONG size, LONG align = 1, LONG prefix = 0)
    {
        ALLOCATOR_PROPERTIES want{buffers, size, align, prefix}, got{};
        ASSERT_EQ(S_OK, alloc->SetProperties(&want, &got));
    }
    IMediaSample *Get(DWORD flags = 0)
    {
        IMediaSample *sample = nullptr;
        EXPECT_EQ(S_OK, alloc->GetBuffer(&sample, nullptr, nullptr, flags));
        return sample;
    }

    IMemAllocator *alloc = nullptr;
};

TEST_F(Allocator, PropertiesFollowTheAlignmentRules)
{
    ALLOCATOR_PROPERTIES want{2, 100, 0, 0}, got{};
    EXPECT_EQ(VFW_E_BADALIGN, alloc->SetProperties(&want, &got));
    want.cbAlign = 3;
    EXPECT_EQ(VFW_E_BADALIGN, alloc->SetProperties(&want, &got));
    want = {2, 100, 64, 10};
    ASSERT_EQ(S_OK, alloc->SetProperties(&want, &got));
    EXPECT_EQ(2, got.cBuffers);
    EXPECT_EQ(118, got.cbBuffer) << "buffer and prefix fill whole alignment units";
    EXPECT_EQ(64, got.cbAlign);
    EXPECT_EQ(10, got.cbPrefix);
    ALLOCATOR_PROPERTIES now{};
    ASSERT_EQ(S_OK, alloc->GetProperties(&now));
    EXPECT_EQ(118, now.cbBuffer);

    ASSERT_EQ(S_OK, alloc->Commit());
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, alloc->SetProperties(&want, &got));
    for (int i = 0; i < 2; i++) {
        IMediaSample *sample = Get();
        BYTE *data = nullptr;
        ASSERT_EQ(S_OK, sample->GetPointer(&data));
        EXPECT_EQ(0u, (reinterpret_cast<uintptr_t>(data) - 10) % 64) << "the prefix starts aligned";
        EXPECT_EQ(118, sample->GetSize());
        data[117] = 1; // the whole buffer is usable
        sample->Release();
    }
    ASSERT_EQ(S_OK, alloc->Decommit());
    want = {-1, 100, 1, 0};
    EXPECT_EQ(E_INVALIDARG, alloc->SetProperties(&want, &got));
}

TEST_F(Allocator, BuffersComeOnlyFromACommittedPool)
{
    IMediaSample *sample = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(VFW_E_SIZENOTSET, alloc->Commit());
    Configure(2, 64);
    ASSERT_EQ(S_OK, alloc->Commit());
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample *a = Get(), *b = Get();
    ASSERT_NE(a, b);
    EXPECT_EQ(VFW_E_TIMEOUT, alloc->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(nullptr, sample);
    ASSERT_EQ(S_OK, alloc->Decommit());
    ALLOCATOR_PROPERTIES want{4, 64, 1, 0}, got{};
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, alloc->SetProperties(&want, &got));
    EXPECT_EQ(S_OK, alloc->Commit()) << "recommitting reuses the buffers still out";
    a->Release();
    IMediaSample *again = Get(AM_GBF_NOWAIT);
    EXPECT_EQ(a, again) << "a released buffer goes back to the pool";
    again->Release();
    b->Release();
    EXPECT_EQ(E_INVALIDARG, alloc->ReleaseBuffer(b)) << "not out any more";
    ASSERT_EQ(S_OK, alloc->Decommit());
}

TEST_F(Allocator, GetBufferWaitsForAReleaseAndWakesOnDecommit)
{
    Configure(1, 32);
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample *held = Get();
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        IMediaSample *sample = nullptr;
        EXPECT_EQ(S_OK, alloc->GetBuffer(&sample, nullptr, nullptr, 0));
        got = true;
        sample->Release();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got.load()) << "blocked while the only buffer is out";
    held->Release();
    waiter.join();
    EXPECT_TRUE(got.load());

    held = Get();
    HRESULT blocked = S_OK;
    std::thread woken([&] {
        IMediaSample *sample = nullptr;
        blocked = alloc->GetBuffer(&sample, nullptr, nullptr, 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(S_OK, alloc->Decommit());
    woken.join();
    EXPECT_EQ(VFW_E_NOT_COMMITTED, blocked);

    // The buffer still out stays valid and frees itself when it comes back.
    BYTE *data = nullptr;
    ASSERT_EQ(S_OK, held->GetPointer(&data));
    data[31] = 7;
    held->Release();
}

TEST_F(Allocator, OutstandingSamplesKeepTheAllocatorAlive)
{
    Configure(1, 16);
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample *sample = Get();
    ASSERT_EQ(S_OK, alloc->Decommit());
    EXPECT_NE(0u, alloc->Release()) << "the sample holds the allocator";
    alloc = nullptr;
    BYTE *data = nullptr;
    ASSERT_EQ(S_OK, sample->GetPointer(&data));
    data[0] = 1;
    EXPECT_EQ(0u, sample->Release());
}

TEST_F(Allocator, SampleTimesFlagsAndLengths)
{
    Configure(1, 16);
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample *sample = Get();
    REFERENCE_TIME start = 0, stop = 0;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
    REFERENCE_TIME t0 = 100, t1 = 200;
    ASSERT_EQ(S_OK, sample->SetTime(&t0, nullptr));
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &stop));
    EXPECT_EQ(100, start);
    EXPECT_EQ(101, stop);
    ASSERT_EQ(S_OK, sample->SetTime(&t0, &t1));
    EXPECT_EQ(S_OK, sample->GetTime(&start, &stop));
    EXPECT_EQ(200, stop);

    LONGLONG m0 = 5, m1 = 9;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&m0, &m1));
    ASSERT_EQ(S_OK, sample->SetMediaTime(&m0, &m1));
    LONGLONG g0 = 0, g1 = 0;
    EXPECT_EQ(S_OK, sample->GetMediaTime(&g0, &g1));
    EXPECT_EQ(9, g1);

    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    sample->SetSyncPoint(TRUE);
    sample->SetPreroll(TRUE);
    sample->SetDiscontinuity(TRUE);
    EXPECT_EQ(S_OK, sample->IsSyncPoint());
    EXPECT_EQ(S_OK, sample->IsPreroll());
    EXPECT_EQ(S_OK, sample->IsDiscontinuity());
    sample->SetPreroll(FALSE);
    EXPECT_EQ(S_FALSE, sample->IsPreroll());

    EXPECT_EQ(16, sample->GetActualDataLength());
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(17));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(-1));
    ASSERT_EQ(S_OK, sample->SetActualDataLength(3));
    EXPECT_EQ(3, sample->GetActualDataLength());
    sample->Release();

    // A buffer handed out again starts afresh.
    sample = Get();
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    EXPECT_EQ(16, sample->GetActualDataLength());
    sample->Release();
    ASSERT_EQ(S_OK, alloc->Decommit());
}

TEST_F(Allocator, SampleMediaTypeAndProperties)
{
    Configure(1, 16);
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample *sample = Get();
    AM_MEDIA_TYPE *type = reinterpret_cast<AM_MEDIA_TYPE *>(1);
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&type));
    EXPECT_EQ(nullptr, type);

    BYTE format[2] = {4, 2};
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_WMV3;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = 2;
    mt.pbFormat = format;
    ASSERT_EQ(S_OK, sample->SetMediaType(&mt));
    format[0] = 0; // the sample keeps its own copy
    ASSERT_EQ(S_OK, sample->GetMediaType(&type));
    EXPECT_EQ(MEDIASUBTYPE_WMV3, type->subtype);
    EXPECT_EQ(4, type->pbFormat[0]);
    twds::DeleteMediaType(type);

    IMediaSample2 *sample2 = nullptr;
    ASSERT_EQ(S_OK, sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)));
    REFERENCE_TIME t0 = 10, t1 = 20;
    sample->SetTime(&t0, &t1);
    sample->SetActualDataLength(5);
    AM_SAMPLE2_PROPERTIES props{};
    ASSERT_EQ(S_OK, sample2->GetProperties(sizeof props, reinterpret_cast<BYTE *>(&props)));
    EXPECT_EQ(sizeof props, props.cbData);
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_TYPECHANGED | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID),
              props.dwSampleFlags);
    EXPECT_EQ(5, props.lActual);
    EXPECT_EQ(20, props.tStop);
    ASSERT_NE(nullptr, props.pMediaType);
    EXPECT_EQ(MEDIASUBTYPE_WMV3, props.pMediaType->subtype);
    EXPECT_EQ(16, props.cbBuffer);

    props.dwSampleFlags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID;
    props.tStart = 50;
    props.lActual = 7;
    props.pMediaType = nullptr;
    ASSERT_EQ(S_OK, sample2->SetProperties(sizeof props, reinterpret_cast<BYTE *>(&props)));
    EXPECT_EQ(S_OK, sample->IsSyncPoint());
    EXPECT_EQ(7, sample->GetActualDataLength());
    REFERENCE_TIME start = 0, stop = 0;
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &stop));
    EXPECT_EQ(50, start);

    BYTE other[4];
    props.pbBuffer = other;
    EXPECT_EQ(E_INVALIDARG, sample2->SetProperties(sizeof props, reinterpret_cast<BYTE *>(&props)))
        << "the buffer cannot be swapped";
    props.pbBuffer = nullptr;
    props.lActual = 17;
    EXPECT_EQ(E_INVALIDARG, sample2->SetProperties(sizeof props, reinterpret_cast<BYTE *>(&props)));
    EXPECT_EQ(7, sample->GetActualDataLength()) << "a refused change changes nothing";
    props.cbData = sizeof props + 8;
    EXPECT_EQ(E_INVALIDARG, sample2->SetProperties(sizeof props, reinterpret_cast<BYTE *>(&props)));
    sample2->Release();
    sample->Release();
    ASSERT_EQ(S_OK, alloc->Decommit());
}

TEST_F(Allocator, ManyThreadsShareASmallPool)
{
    Configure(2, 64);
    ASSERT_EQ(S_OK, alloc->Commit());
    std::atomic<int> served{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; i++) {
                IMediaSample *sample = nullptr;
                if (alloc->GetBuffer(&sample, nullptr, nullptr, 0) != S_OK)
                    return;
                BYTE *data = nullptr;
                sample->GetPointer(&data);
                data[0] = static_cast<BYTE>(t);
                REFERENCE_TIME start = i;
                sample->SetTime(&start, nullptr);
                served++;
                sample->Release();
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(800, served.load());
    ASSERT_EQ(S_OK, alloc->Decommit());
}

TEST(AllocatorClass, CannotBeAggregated)
{
    CoInitialize(nullptr);
    struct Outer : IUnknown {
        STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
        STDMETHODIMP_(ULONG) AddRef() override { return 1; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
    } outer;
    IUnknown *inner = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_MemoryAllocator, &outer, CLSCTX_INPROC_SERVER,
                                                      IID_IUnknown, reinterpret_cast<void **>(&inner)));
    CoUninitialize();
}

} // namespace
