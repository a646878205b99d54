// Class lookup: built-in classes, registered in-process servers, module loading
// and unloading.
#include <gtest/gtest.h>
#include <twtesting.h>

#include <twcom/builtin_classes.h>
#include <initguid.h>
#include "testserver/counter.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

void WriteString(HKEY key, const char *name, const std::string &value)
{
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             DWORD(value.size() + 1)),
              ERROR_SUCCESS);
}

// Registers CLSID_TestCounter as served by the module at path, as the server does itself.
void RegisterCounterServer(const std::string &path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, TESTSERVER_CLSID_KEY "\\InprocServer32", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    WriteString(key, nullptr, path);
    WriteString(key, "ThreadingModel", "Both");
    RegCloseKey(key);
}

class ClassLookup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }

    // The server's attach and detach events so far, one per line.
    std::string Events() const
    {
        return twtest::FileExists(m_log) ? twtest::ReadFile(m_log) : std::string();
    }

    HRESULT CreateCounter(ICounter **ppCounter)
    {
        return CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter,
                                reinterpret_cast<void **>(ppCounter));
    }

    twtest::ScratchRegistry m_registry;
    twtest::TempDir m_dir;
    std::string m_log = m_dir.file("events.log");
    twtest::ScopedEnv m_logEnv{"TW_TESTSERVER_LOG", m_log.c_str()};
    const std::string m_server = twtest::TestPath("twtestserver.dll");
};

TEST_F(ClassLookup, UnregisteredClassAndUnsupportedContexts)
{
    ICounter *pCounter = reinterpret_cast<ICounter *>(1);
    EXPECT_EQ(CreateCounter(&pCounter), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(pCounter, nullptr);

    RegisterCounterServer(m_server);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_LOCAL_SERVER, IID_ICounter,
                               reinterpret_cast<void **>(&pCounter)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr), E_POINTER);
    EXPECT_EQ(Events(), "");
}

TEST_F(ClassLookup, CreatesObjectsOfARegisteredServerLoadedOnce)
{
    RegisterCounterServer(m_server);
    ICounter *first = nullptr, *second = nullptr;
    ASSERT_EQ(CreateCounter(&first), S_OK);
    ASSERT_EQ(CreateCounter(&second), S_OK);
    LONG value = 0;
    EXPECT_EQ(first->Increment(&value), S_OK);
    EXPECT_EQ(first->Increment(&value), S_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(second->Increment(&value), S_OK);
    EXPECT_EQ(value, 1); // a separate object

    // An interface the class lacks: the half-made object is gone again.
    IClassFactory *notSupported = reinterpret_cast<IClassFactory *>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory,
                               reinterpret_cast<void **>(&notSupported)),
              E_NOINTERFACE);
    EXPECT_EQ(notSupported, nullptr);

    first->Release();
    second->Release();
    EXPECT_EQ(Events(), "attach\n");
}

TEST_F(ClassLookup, FreeUnusedLibrariesUnloadsOnlyWhenTheServerAgrees)
{
    RegisterCounterServer(m_server);
    ICounter *pCounter = nullptr;
    ASSERT_EQ(CreateCounter(&pCounter), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_EQ(Events(), "attach\n"); // an object lives
    LONG value = 0;
    EXPECT_EQ(pCounter->Increment(&value), S_OK);
    pCounter->Release();

    // A server lock keeps it loaded too.
    IClassFactory *pFactory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void **>(&pFactory)),
              S_OK);
    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    pFactory->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(Events(), "attach\n");
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void **>(&pFactory)),
              S_OK);
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    pFactory->Release();

    CoFreeUnusedLibraries();
    EXPECT_EQ(Events(), "attach\ndetach\n");

    // Asked for again, the server is loaded again.
    ASSERT_EQ(CreateCounter(&pCounter), S_OK);
    EXPECT_EQ(pCounter->Increment(&value), S_OK);
    EXPECT_EQ(value, 1);
    pCounter->Release();
    EXPECT_EQ(Events(), "attach\ndetach\nattach\n");
}

TEST_F(ClassLookup, LastUninitializeFreesIdleServers)
{
    RegisterCounterServer(m_server);
    ICounter *pCounter = nullptr;
    ASSERT_EQ(CreateCounter(&pCounter), S_OK);
    pCounter->Release();
    ASSERT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    EXPECT_EQ(Events(), "attach\n"); // the thread is still initialised once
    CoUninitialize();
    EXPECT_EQ(Events(), "attach\ndetach\n");
    ASSERT_EQ(CoInitialize(nullptr), S_OK); // for TearDown
}

TEST_F(ClassLookup, ServerThatCannotBeLoadedOrHasNoEntryPoint)
{
    ICounter *pCounter = nullptr;
    RegisterCounterServer(m_dir.file("missing.dll"));
    EXPECT_EQ(CreateCounter(&pCounter), CO_E_DLLNOTFOUND);
    RegisterCounterServer(twtest::TestPath("twnoexports.dll"));
    EXPECT_EQ(CreateCounter(&pCounter), CO_E_ERRORINDLL);
    EXPECT_EQ(pCounter, nullptr);
    // A path that is not a module at all.
    std::string junk = m_dir.file("junk.dll");
    twtest::WriteFile(junk, "MZ this is not a shared object");
    RegisterCounterServer(junk);
    EXPECT_EQ(CreateCounter(&pCounter), CO_E_DLLNOTFOUND);
    // A server path that is no string, or absurdly long, is no registration either.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, TESTSERVER_CLSID_KEY "\\InprocServer32", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 42;
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(CreateCounter(&pCounter), REGDB_E_CLASSNOTREG);
    RegisterCounterServer("/" + std::string(5000, 'x') + ".dll");
    EXPECT_EQ(CreateCounter(&pCounter), CO_E_DLLNOTFOUND);
    EXPECT_EQ(Events(), "");
}

TEST_F(ClassLookup, ServerFailuresArePassedOn)
{
    // A class registered to a server that does not implement it.
    const CLSID other = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    WriteString(key, nullptr, m_server);
    RegCloseKey(key);
    IUnknown *punk = nullptr;
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void **>(&punk)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(punk, nullptr);
    // The module was loaded for the attempt; with nothing alive it can go again.
    CoFreeUnusedLibraries();
    EXPECT_EQ(Events(), "attach\ndetach\n");
}

// A built-in stand-in for the counter that starts at 100.
class CBuiltinCounter final : public ICounter {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ICounter) {
            *ppv = static_cast<ICounter *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    STDMETHODIMP Increment(LONG *pValue) override
    {
        *pValue = ++m_value;
        return S_OK;
    }
    STDMETHODIMP GetValue(LONG *pValue) override
    {
        *pValue = m_value;
        return S_OK;
    }

private:
    std::atomic<ULONG> m_refs{0};
    LONG m_value = 100;
};

HRESULT CreateBuiltinCounter(IUnknown *pUnkOuter, REFIID riid, void **ppv)
{
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    auto *counter = new CBuiltinCounter;
    counter->AddRef();
    HRESULT hr = counter->QueryInterface(riid, ppv);
    counter->Release();
    return hr;
}

TEST_F(ClassLookup, BuiltinClassesComeBeforeTheRegistry)
{
    RegisterCounterServer(m_server);
    {
        twcom::BuiltinClassRegistration builtin(CLSID_TestCounter, CreateBuiltinCounter);
        EXPECT_FALSE(twcom::RegisterBuiltinClass(CLSID_TestCounter, CreateBuiltinCounter)); // taken
        ICounter *pCounter = nullptr;
        ASSERT_EQ(CreateCounter(&pCounter), S_OK);
        LONG value = 0;
        pCounter->Increment(&value);
        EXPECT_EQ(value, 101);
        pCounter->Release();
        EXPECT_EQ(Events(), ""); // the registered server was never loaded

        // The runtime's factory refuses aggregation for anything but IUnknown.
        IUnknown *outer = reinterpret_cast<IUnknown *>(&value);
        EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, outer, CLSCTX_INPROC_SERVER, IID_ICounter,
                                   reinterpret_cast<void **>(&pCounter)),
                  CLASS_E_NOAGGREGATION);
        EXPECT_EQ(pCounter, nullptr);
    }
    EXPECT_EQ(twcom::FindBuiltinClass(CLSID_TestCounter), nullptr);
    ICounter *pCounter = nullptr;
    ASSERT_EQ(CreateCounter(&pCounter), S_OK);
    LONG value = 0;
    pCounter->Increment(&value);
    EXPECT_EQ(value, 1);
    pCounter->Release();
    EXPECT_EQ(Events(), "attach\n");
}

// Threads load the server and create objects at the same time; it stays loaded
// while any of them holds an object and is freed once all are released.
TEST_F(ClassLookup, ConcurrentCreationKeepsTheServerWhileObjectsLive)
{
    RegisterCounterServer(m_server);
    constexpr int kThreads = 4;
    for (int round = 0; round < 3; ++round) {
        std::atomic<int> failures{0};
        std::atomic<int> holding{0};
        std::atomic<bool> release{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                if (CoInitializeEx(nullptr, COINIT_MULTITHREADED) != S_OK) {
                    ++failures;
                    ++holding;
                    return;
                }
                ICounter *pCounter = nullptr;
                LONG value = 0;
                if (CreateCounter(&pCounter) != S_OK || pCounter->Increment(&value) != S_OK || value != 1)
                    ++failures;
                ++holding;
                while (!release.load())
                    std::this_thread::yield();
                if (pCounter && (pCounter->Increment(&value) != S_OK || value != 2))
                    ++failures;
                if (pCounter)
                    pCounter->Release();
                CoUninitialize();
            });
        }
        while (holding.load() < kThreads)
            std::this_thread::yield();
        CoFreeUnusedLibraries();
        release = true;
        for (auto &t : threads)
            t.join();
        EXPECT_EQ(failures.load(), 0);
        std::string expected;
        for (int r = 0; r < round; ++r)
            expected += "attach\ndetach\n";
        EXPECT_EQ(Events(), expected + "attach\n");
        CoFreeUnusedLibraries();
        EXPECT_EQ(Events(), expected + "attach\ndetach\n");
    }
}

} // namespace
