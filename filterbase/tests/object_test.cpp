// Object base, aggregation, class factory and the module exports.
#include <gtest/gtest.h>

// This file defines the test GUIDs.
#include <initguid.h>

#include "test_filter.h"

using namespace fbtest;

namespace {

DEFINE_GUID(CLSID_NullObject, 0x6a1c2f10, 0x3b7d, 0x4e55, 0x9a, 0x11, 0x52, 0x0c, 0x7e, 0x41, 0x90, 0x02);
DEFINE_GUID(CLSID_HalfMade, 0x6a1c2f10, 0x3b7d, 0x4e55, 0x9a, 0x11, 0x52, 0x0c, 0x7e, 0x41, 0x90, 0x03);
DEFINE_GUID(CLSID_NotHere, 0x6a1c2f10, 0x3b7d, 0x4e55, 0x9a, 0x11, 0x52, 0x0c, 0x7e, 0x41, 0x90, 0x04);

CUnknown *CreateTestFilter(LPUNKNOWN outer, HRESULT *)
{
    return new TestFilter(outer);
}

CUnknown *CreateNothing(LPUNKNOWN, HRESULT *)
{
    return nullptr;
}

CUnknown *CreateHalfMade(LPUNKNOWN outer, HRESULT *phr)
{
    *phr = E_ABORT;
    return new TestFilter(outer);
}

int g_initCalls[2];
void CountInit(BOOL loading, const CLSID *)
{
    g_initCalls[loading ? 1 : 0]++;
}

} // namespace

const ClassTemplate ClassTemplateTable[] = {
    {OLESTR("Test filter"), &CLSID_FbTestFilter, CreateTestFilter, CountInit, nullptr},
    {OLESTR("Null object"), &CLSID_NullObject, CreateNothing, nullptr, nullptr},
    {OLESTR("Half made"), &CLSID_HalfMade, CreateHalfMade, nullptr, nullptr},
};
const int ClassTemplateCount = 3;

namespace {

LONG Objects()
{
    return InterlockedExchangeAdd(&ObjectCount, 0);
}

IClassFactory *Factory(REFCLSID clsid)
{
    IClassFactory *factory = nullptr;
    EXPECT_EQ(S_OK, DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    return factory;
}

TEST(ObjectBase, InnerCountsAndDestroysAtZero)
{
    LONG before = Objects();
    auto *filter = new TestFilter(nullptr, 0);
    EXPECT_EQ(before + 1, Objects());
    EXPECT_EQ(1u, filter->InnerAddRef());
    EXPECT_EQ(2u, filter->InnerAddRef());
    EXPECT_EQ(1u, filter->InnerRelease());
    EXPECT_EQ(0u, filter->InnerRelease());
    EXPECT_EQ(before, Objects());
}

TEST(ObjectBase, AggregatedInterfacesDelegateToTheOuterUnknown)
{
    // The outer object's own unknown: counts references and answers IID_IPersist itself.
    struct Outer : IUnknown {
        int refs = 1;
        IUnknown *inner = nullptr;
        STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
        {
            if (riid == IID_IUnknown) {
                *ppv = this;
                AddRef();
                return S_OK;
            }
            return inner->QueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
    } outer;

    LONG before = Objects();
    IClassFactory *factory = Factory(CLSID_FbTestFilter);
    ASSERT_NE(nullptr, factory);
    IBaseFilter *direct = nullptr;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, reinterpret_cast<void **>(&direct)));
    EXPECT_EQ(nullptr, direct);
    EXPECT_EQ(before + 1, Objects()) << "nothing but the factory for a refused aggregation";

    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&outer.inner)));
    factory->Release();

    IBaseFilter *filter = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void **>(&filter)));
    EXPECT_EQ(2, outer.refs) << "the filter's interfaces count on the outer object";
    IUnknown *viaFilter = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&viaFilter)));
    EXPECT_EQ(static_cast<IUnknown *>(&outer), viaFilter);
    viaFilter->Release();
    filter->Release();
    EXPECT_EQ(1, outer.refs);
    EXPECT_EQ(0u, outer.inner->Release());
    EXPECT_EQ(before, Objects());
}

TEST(ClassFactory, CreatesThroughTheTemplateAndReportsFailures)
{
    LONG before = Objects();
    IBaseFilter *filter = nullptr;
    IClassFactory *factory = Factory(CLSID_FbTestFilter);
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void **>(&filter)));
    CLSID clsid{};
    EXPECT_EQ(S_OK, filter->GetClassID(&clsid));
    EXPECT_EQ(CLSID_FbTestFilter, clsid);
    IPin *notAPin = nullptr;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPin, reinterpret_cast<void **>(&notAPin)));
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr));
    factory->Release();
    EXPECT_EQ(0u, filter->Release());
    EXPECT_EQ(before, Objects()) << "a failed query destroys the new object";

    IUnknown *object = nullptr;
    factory = Factory(CLSID_NullObject);
    EXPECT_EQ(E_OUTOFMEMORY, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object)));
    factory->Release();
    factory = Factory(CLSID_HalfMade);
    EXPECT_EQ(E_ABORT, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object)));
    EXPECT_EQ(nullptr, object);
    factory->Release();
    EXPECT_EQ(before, Objects()) << "a half-made object is destroyed";
}

TEST(ModuleExports, GetClassObjectChecksInterfaceThenClass)
{
    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_FbTestFilter, IID_IPin, &out));
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_NotHere, IID_IPin, &out));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(CLSID_NotHere, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    IUnknown *unknown = nullptr;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_FbTestFilter, IID_IUnknown, reinterpret_cast<void **>(&unknown)));
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IBaseFilter, &out));
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(0u, unknown->Release());
}

TEST(ModuleExports, CanUnloadOnlyWhenNothingIsAliveOrLocked)
{
    ASSERT_EQ(S_OK, DllCanUnloadNow());
    IClassFactory *factory = Factory(CLSID_FbTestFilter);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "a live class factory";
    IBaseFilter *filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void **>(&filter)));
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "a live filter and a server lock";
    filter->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "still one server lock";
    factory = Factory(CLSID_FbTestFilter);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST(ModuleExports, EntryInitialisesTemplatesOnAttachAndDetach)
{
    g_initCalls[0] = g_initCalls[1] = 0;
    HINSTANCE self = reinterpret_cast<HINSTANCE>(0x1234);
    EXPECT_TRUE(ModuleEntry(self, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(self, ModuleInstance);
    EXPECT_EQ(1, g_initCalls[1]);
    EXPECT_TRUE(ModuleEntry(self, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(ModuleEntry(self, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(1, g_initCalls[0]);
    EXPECT_EQ(1, g_initCalls[1]);
    ModuleInstance = nullptr;
}

} // namespace
