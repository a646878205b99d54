// Kestrin.ax registers itself with regsvr32: COM server keys and a mapper entry
// with the two input pins and their media types; it carries a version block.
#include <gtest/gtest.h>

#include <twtesting.h>

#include "harness.h"

namespace {

twtest::ProcessResult Regsvr32(bool unregister)
{
    std::vector<std::string> args = {twtest::BinPath("regsvr32")};
    if (unregister)
        args.push_back("/u");
    args.push_back("/s");
    args.push_back(twtest::BinPath("Kestrin.ax"));
    return twtest::RunProcess(args);
}

// Names of the registered filters with an input pin taking the type (merit not considered).
std::vector<std::u16string> FiltersTaking(const GUID &major, const GUID &sub, bool outputNeeded = false)
{
    std::vector<std::u16string> names;
    IFilterMapper *mapper = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                reinterpret_cast<void **>(&mapper))))
        return names;
    IEnumRegFilters *found = nullptr;
    if (SUCCEEDED(mapper->EnumMatchingFilters(&found, 0, TRUE, major, sub, FALSE, outputNeeded, GUID_NULL,
                                              GUID_NULL)) &&
        found) {
        REGFILTER *filter = nullptr;
        ULONG n = 0;
        while (found->Next(1, &filter, &n) == S_OK && n == 1) {
            if (filter->Clsid == CLSID_Kestrin)
                names.emplace_back(filter->Name ? filter->Name : u"");
            CoTaskMemFree(filter);
        }
        found->Release();
    }
    mapper->Release();
    return names;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
    twtest::ScratchRegistry registry;
};

// A module file cut short (a half-finished copy, a full disk) fails to load,
// quietly under /s, and never kills regsvr32.
TEST_F(Registration, TruncatedModuleFailsToLoadQuietly)
{
    const std::string whole = twtest::ReadFile(twtest::BinPath("Kestrin.ax"));
    ASSERT_GT(whole.size(), 64u * 1024);
    twtest::TempDir dir;
    const std::string path = dir.file("Kestrin.ax");
    for (size_t size = 1024; size <= whole.size(); size += 1024) {
        twtest::WriteFile(path, whole.substr(0, size));
        twtest::ProcessResult r = twtest::RunProcess({twtest::BinPath("regsvr32"), "/s", path});
        ASSERT_EQ("", r.output) << size << " bytes";
        if (r.exitCode == 0)
            break; // every loadable segment is in: the rest (symbols, debug data) is not needed
        ASSERT_EQ(3, r.exitCode) << size << " bytes";
    }
    twtest::WriteFile(path, whole);
    twtest::ProcessResult r = twtest::RunProcess({twtest::BinPath("regsvr32"), "/s", path});
    EXPECT_EQ(0, r.exitCode) << r.output;
}

TEST_F(Registration, RegisteredModuleIsCreatableAndMapped)
{
    for (int i = 0; i < 2; i++) {
        twtest::ProcessResult r = Regsvr32(false);
        ASSERT_EQ(0, r.exitCode) << r.output;
    }
    IBaseFilter *filter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Kestrin, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void **>(&filter)));
    IKestrin *kestrin = nullptr;
    EXPECT_EQ(S_OK, filter->QueryInterface(IID_IKestrin, reinterpret_cast<void **>(&kestrin)));
    if (kestrin)
        kestrin->Release();
    filter->Release();

    const std::vector<std::u16string> once = {u"Kestrin"};
    EXPECT_EQ(once, FiltersTaking(MEDIATYPE_Video, MEDIASUBTYPE_WMV1)) << "one entry after two registrations";
    EXPECT_EQ(once, FiltersTaking(MEDIATYPE_Video, MEDIASUBTYPE_WMV2));
    EXPECT_EQ(once, FiltersTaking(MEDIATYPE_Video, MEDIASUBTYPE_WMV3));
    EXPECT_EQ(once, FiltersTaking(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9));
    EXPECT_EQ(once, FiltersTaking(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV8));
    GUID wma160 = MEDIASUBTYPE_WMAudioV8;
    wma160.Data1 = 0x160;
    EXPECT_TRUE(FiltersTaking(MEDIATYPE_Audio, wma160).empty());
    EXPECT_TRUE(FiltersTaking(MEDIATYPE_Audio, MEDIASUBTYPE_WMV2).empty());
    EXPECT_TRUE(FiltersTaking(MEDIATYPE_Video, MEDIASUBTYPE_WMV2, true).empty()) << "no output pin";

    for (int i = 0; i < 2; i++) {
        twtest::ProcessResult r = Regsvr32(true);
        EXPECT_EQ(0, r.exitCode) << "unregistration " << i + 1 << ": " << r.output;
    }
    EXPECT_TRUE(FiltersTaking(MEDIATYPE_Video, MEDIASUBTYPE_WMV2).empty());
    EXPECT_NE(S_OK, CoCreateInstance(CLSID_Kestrin, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void **>(&filter)));
}

TEST_F(Registration, ClassObjectOnlyForKestrin)
{
    HMODULE module = LoadLibraryA(twtest::BinPath("Kestrin.ax").c_str());
    ASSERT_NE(nullptr, module);
    using GetClassObject = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void *>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(nullptr, get);
    for (const char *name : {"DllMain", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(nullptr, reinterpret_cast<void *>(GetProcAddress(module, name))) << name;
    void *factory = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, get(CLSID_FilterMapper2, IID_IClassFactory, &factory));
    FreeLibrary(module);
}

TEST_F(Registration, VersionBlock)
{
    std::string path = twtest::BinPath("Kestrin.ax");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    auto value = [&](const char *name) {
        std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        void *text = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block.data(), key.c_str(), &text, &length) || !text)
            return std::string("<missing>");
        return std::string(static_cast<const char *>(text));
    };
    EXPECT_EQ("Kestrin Filter", value("ProductName"));
    EXPECT_EQ("Kestrin Filter", value("FileDescription"));
    EXPECT_EQ("Kestrin.ax", value("OriginalFilename"));
    EXPECT_EQ("AM20", value("OLESelfRegister"));
    EXPECT_EQ("0.1.0.0", value("FileVersion"));
}

} // namespace
