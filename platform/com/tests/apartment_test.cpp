// Apartment initialisation: models, counting and the calls that need COM.
#include <gtest/gtest.h>
#include <twtesting.h>

#include <objbase.h>
#include <thread>

namespace {

// Runs the body on a fresh thread, which starts without COM.
template <typename Body>
void OnNewThread(Body body)
{
    std::thread t(body);
    t.join();
}

TEST(Apartment, InitialiseReturnsOkThenFalseAndRefusesTheOtherModel)
{
    OnNewThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        // Still initialised once: the refused call did not count.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        // Now uninitialised: the other model is accepted.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        CoUninitialize(); // one too many: ignored
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    });
}

TEST(Apartment, ThreadsHaveTheirOwnState)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    OnNewThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

TEST(Apartment, CreationNeedsComOnTheThreadOrAMultithreadedApartment)
{
    twtest::ScratchRegistry registry; // the class lookup reads HKEY_CLASSES_ROOT
    IUnknown *punk = reinterpret_cast<IUnknown *>(1);
    // No thread of this process has initialised COM.
    OnNewThread([&] {
        EXPECT_EQ(CoCreateInstance(GUID_NULL, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void **>(&punk)),
                  CO_E_NOTINITIALIZED);
    });
    EXPECT_EQ(punk, nullptr);

    // A single-threaded apartment elsewhere does not help a thread without COM...
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    OnNewThread([] {
        IClassFactory *pcf = nullptr;
        EXPECT_EQ(CoGetClassObject(GUID_NULL, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void **>(&pcf)),
                  CO_E_NOTINITIALIZED);
    });
    CoUninitialize();

    // ...but a multithreaded apartment takes in every thread without COM of its own.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    OnNewThread([] {
        IClassFactory *pcf = nullptr;
        EXPECT_EQ(CoGetClassObject(GUID_NULL, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void **>(&pcf)),
                  REGDB_E_CLASSNOTREG);
    });
    CoUninitialize();
}

} // namespace
