// The filter mapper over a scratch registry: both interfaces, the stored layout,
// matching and the monikers it hands out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <twtesting.h>

#include <initguid.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>

#include "mapper/builtin_filters.h"
#include "mapper/filter_mapper.h"

namespace {

DEFINE_GUID(CLSID_TestDecoder, 0x0e1d7a40, 0x2c44, 0x4f0e, 0x8b, 0x0c, 0x11, 0x22, 0x33, 0x44, 0x55, 0x01);
DEFINE_GUID(CLSID_TestRenderer, 0x0e1d7a40, 0x2c44, 0x4f0e, 0x8b, 0x0c, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02);
DEFINE_GUID(CLSID_TestBuiltin, 0x0e1d7a40, 0x2c44, 0x4f0e, 0x8b, 0x0c, 0x11, 0x22, 0x33, 0x44, 0x55, 0x03);
DEFINE_GUID(MEDIASUBTYPE_TestOnly, 0x0e1d7a40, 0x2c44, 0x4f0e, 0x8b, 0x0c, 0x11, 0x22, 0x33, 0x44, 0x55, 0x04);

const REGPINTYPES kWmv[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_WMV3}, {&MEDIATYPE_Video, &MEDIASUBTYPE_WMV2}};
const REGPINTYPES kRgb[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32}};
const REGFILTERPINS kDecoderPins[] = {
    {const_cast<LPWSTR>(OLESTR("In")), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 2, kWmv},
    {const_cast<LPWSTR>(OLESTR("Out")), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, kRgb},
};

class Mapper : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                         reinterpret_cast<void **>(&mapper2)));
        ASSERT_EQ(S_OK, mapper2->QueryInterface(IID_IFilterMapper, reinterpret_cast<void **>(&mapper)));
    }
    void TearDown() override
    {
        mapper->Release();
        EXPECT_EQ(0u, mapper2->Release());
        CoUninitialize();
    }
    HRESULT RegisterDecoder(DWORD merit)
    {
        REGFILTER2 rf2{};
        rf2.dwVersion = 1;
        rf2.dwMerit = merit;
        rf2.cPins = 2;
        rf2.rgPins = kDecoderPins;
        return mapper2->RegisterFilter(CLSID_TestDecoder, OLESTR("Test decoder"), nullptr, nullptr, nullptr, &rf2);
    }

    twtest::ScratchRegistry registry;
    IFilterMapper2 *mapper2 = nullptr;
    IFilterMapper *mapper = nullptr;
};

TEST_F(Mapper, RegisterTwiceKeepsOneEntryAndUnknownFiltersAreNotFound)
{
    ASSERT_EQ(S_OK, RegisterDecoder(MERIT_NORMAL));
    ASSERT_EQ(S_OK, RegisterDecoder(MERIT_PREFERRED));
    std::vector<twds::RegisteredFilter> filters = twds::LoadFilters(CLSID_LegacyAmFilterCategory);
    ASSERT_EQ(1u, filters.size());
    const twds::RegisteredFilter &f = filters[0];
    EXPECT_EQ(CLSID_TestDecoder, f.clsid);
    EXPECT_EQ(u"Test decoder", f.name);
    EXPECT_EQ(static_cast<DWORD>(MERIT_PREFERRED), f.merit);
    ASSERT_EQ(2u, f.pins.size());
    const twds::RegisteredPin &in = f.pins[0].name == u"In" ? f.pins[0] : f.pins[1];
    const twds::RegisteredPin &out = f.pins[0].name == u"In" ? f.pins[1] : f.pins[0];
    EXPECT_FALSE(in.output);
    EXPECT_TRUE(out.output);
    ASSERT_EQ(2u, in.types.size());
    EXPECT_EQ(MEDIASUBTYPE_WMV3, in.types[0].sub) << "types keep their order";
    EXPECT_EQ(MEDIASUBTYPE_WMV2, in.types[1].sub);

    EXPECT_EQ(S_OK, mapper2->UnregisterFilter(nullptr, nullptr, CLSID_TestDecoder));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), mapper2->UnregisterFilter(nullptr, nullptr, CLSID_TestDecoder));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), mapper->UnregisterFilter(CLSID_TestDecoder));
    EXPECT_TRUE(twds::LoadFilters(CLSID_LegacyAmFilterCategory).empty());
}

TEST_F(Mapper, OldInterfaceBuildsTheSameEntryPinByPin)
{
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              mapper->RegisterPin(CLSID_TestRenderer, OLESTR("In"), TRUE, FALSE, FALSE, FALSE, GUID_NULL, nullptr))
        << "a pin needs its filter";
    ASSERT_EQ(S_OK, mapper->RegisterFilter(CLSID_TestRenderer, OLESTR("Test renderer"), MERIT_UNLIKELY));
    ASSERT_EQ(S_OK, mapper->RegisterPin(CLSID_TestRenderer, OLESTR("In"), TRUE, FALSE, FALSE, FALSE, GUID_NULL,
                                        OLESTR("Output")));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              mapper->RegisterPinType(CLSID_TestRenderer, OLESTR("Other"), MEDIATYPE_Video, MEDIASUBTYPE_RGB32));
    ASSERT_EQ(S_OK, mapper->RegisterPinType(CLSID_TestRenderer, OLESTR("In"), MEDIATYPE_Video, MEDIASUBTYPE_RGB32));
    ASSERT_EQ(S_OK, mapper->RegisterPinType(CLSID_TestRenderer, OLESTR("In"), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    EXPECT_EQ(E_INVALIDARG, mapper->RegisterPin(CLSID_TestRenderer, OLESTR("a\\b"), FALSE, FALSE, FALSE, FALSE,
                                                 GUID_NULL, nullptr))
        << "a pin name cannot reach outside its key";

    std::vector<twds::RegisteredFilter> filters = twds::LoadFilters(CLSID_LegacyAmFilterCategory);
    ASSERT_EQ(1u, filters.size());
    ASSERT_EQ(1u, filters[0].pins.size());
    EXPECT_TRUE(filters[0].pins[0].rendered);
    EXPECT_EQ(u"Output", filters[0].pins[0].connectsToPin);
    ASSERT_EQ(2u, filters[0].pins[0].types.size());
    EXPECT_EQ(MEDIASUBTYPE_RGB24, filters[0].pins[0].types[1].sub);

    EXPECT_EQ(S_OK, mapper->UnregisterPin(CLSID_TestRenderer, OLESTR("In")));
    EXPECT_TRUE(twds::LoadFilters(CLSID_LegacyAmFilterCategory)[0].pins.empty());
    EXPECT_EQ(S_OK, mapper->UnregisterFilter(CLSID_TestRenderer));
}

TEST_F(Mapper, MatchingByTypeAndMeritHighestFirst)
{
    ASSERT_EQ(S_OK, RegisterDecoder(MERIT_NORMAL));
    ASSERT_EQ(S_OK, mapper->RegisterFilter(CLSID_TestRenderer, OLESTR("Test renderer"), MERIT_PREFERRED));
    ASSERT_EQ(S_OK, mapper->RegisterPin(CLSID_TestRenderer, OLESTR("In"), TRUE, FALSE, FALSE, FALSE, GUID_NULL,
                                        nullptr));
    ASSERT_EQ(S_OK, mapper->RegisterPinType(CLSID_TestRenderer, OLESTR("In"), MEDIATYPE_Video, MEDIASUBTYPE_RGB32));

    auto names = [&](DWORD merit, const GUID &major, const GUID &sub, BOOL render) {
        IEnumRegFilters *e = nullptr;
        EXPECT_EQ(S_OK, mapper->EnumMatchingFilters(&e, merit, TRUE, major, sub, render, FALSE, GUID_NULL, GUID_NULL));
        std::u16string all;
        REGFILTER *rf = nullptr;
        ULONG n = 0;
        // The platform's own filters are known too; only the test's are counted.
        while (e->Next(1, &rf, &n) == S_OK) {
            if (std::u16string(rf->Name).rfind(u"Test ", 0) == 0) {
                all += rf->Name;
                all += u";";
            }
            CoTaskMemFree(rf);
        }
        e->Release();
        return all;
    };
    EXPECT_EQ(u"Test decoder;", names(0, MEDIATYPE_Video, MEDIASUBTYPE_WMV2, FALSE));
    EXPECT_EQ(u"Test renderer;", names(0, MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FALSE));
    EXPECT_EQ(u"Test renderer;Test decoder;", names(0, MEDIATYPE_Video, GUID_NULL, FALSE));
    EXPECT_EQ(u"Test renderer;", names(MERIT_PREFERRED, MEDIATYPE_Video, GUID_NULL, FALSE));
    EXPECT_EQ(u"Test renderer;", names(0, GUID_NULL, GUID_NULL, TRUE)) << "only rendered input pins";
    EXPECT_EQ(u"", names(0, MEDIATYPE_Audio, GUID_NULL, FALSE));
}

TEST_F(Mapper, NewInterfaceEnumeratesMonikersThatCreateTheFilter)
{
    // Registered under a class that exists, so that binding can create it.
    REGFILTER2 rf2{};
    rf2.dwVersion = 1;
    rf2.dwMerit = MERIT_NORMAL;
    rf2.cPins = 2;
    rf2.rgPins = kDecoderPins;
    ASSERT_EQ(S_OK, mapper2->RegisterFilter(CLSID_MemoryAllocator, OLESTR("Pool"), nullptr, nullptr, nullptr, &rf2));

    GUID wanted[2] = {MEDIATYPE_Video, MEDIASUBTYPE_WMV3};
    IEnumMoniker *e = nullptr;
    ASSERT_EQ(S_OK, mapper2->EnumMatchingFilters(&e, 0, FALSE, 0, TRUE, 1, wanted, nullptr, nullptr, FALSE, FALSE, 0,
                                                 nullptr, nullptr, nullptr));
    IMoniker *moniker = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, e->Next(1, &moniker, &fetched));
    LPOLESTR display = nullptr;
    ASSERT_EQ(S_OK, moniker->GetDisplayName(nullptr, nullptr, &display));
    EXPECT_EQ(u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{1E651CC0-B199-11D0-8212-00C04FC32C45}",
              std::u16string(display));
    CoTaskMemFree(display);
    IMemAllocator *bound = nullptr;
    ASSERT_EQ(S_OK, moniker->BindToObject(nullptr, nullptr, IID_IMemAllocator, reinterpret_cast<void **>(&bound)));
    bound->Release();
    moniker->Release();
    // Then only the platform's own video decoder, of the same merit.
    ASSERT_EQ(S_OK, e->Next(1, &moniker, &fetched));
    ASSERT_EQ(S_OK, moniker->GetDisplayName(nullptr, nullptr, &display));
    EXPECT_EQ(u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{82D353DF-90BD-4382-8BC2-3F6192B76E34}",
              std::u16string(display));
    CoTaskMemFree(display);
    moniker->Release();
    EXPECT_EQ(S_FALSE, e->Next(1, &moniker, &fetched));
    e->Release();

    // An audio type that no filter, the platform's own included, takes.
    GUID audio[2] = {MEDIATYPE_Audio, CLSID_TestDecoder};
    ASSERT_EQ(S_OK, mapper2->EnumMatchingFilters(&e, 0, FALSE, 0, TRUE, 1, audio, nullptr, nullptr, FALSE, FALSE, 0,
                                                 nullptr, nullptr, nullptr));
    EXPECT_EQ(S_FALSE, e->Next(1, &moniker, &fetched));
    e->Release();
}

} // namespace

namespace {

// A filter of the platform's own, known without a registry entry.
twds::BuiltinFilterRegistration s_builtin(twds::RegisteredFilter{
    CLSID_TestBuiltin, u"Sample built-in", MERIT_NORMAL,
    {twds::RegisteredPin{u"In", false, false, false, false, GUID_NULL, u"", {{MEDIATYPE_Audio, MEDIASUBTYPE_TestOnly}}}}});

std::u16string MatchingNames(IFilterMapper2 *mapper2)
{
    GUID types[] = {MEDIATYPE_Audio, MEDIASUBTYPE_TestOnly};
    IEnumMoniker *e = nullptr;
    EXPECT_EQ(S_OK, mapper2->EnumMatchingFilters(&e, 0, FALSE, 0, TRUE, 1, types, nullptr, nullptr, FALSE, FALSE, 0,
                                                 nullptr, nullptr, nullptr));
    std::u16string all;
    IMoniker *m = nullptr;
    ULONG n = 0;
    while (e && e->Next(1, &m, &n) == S_OK) {
        all += u"*";
        m->Release();
    }
    if (e)
        e->Release();
    return all;
}

TEST_F(Mapper, BuiltInFiltersMatchWithoutRegistryEntriesAndARegistrationReplacesThem)
{
    EXPECT_EQ(u"*", MatchingNames(mapper2)) << "the built-in filter is found on an empty registry";
    auto builtins = twds::BuiltinFilters();
    EXPECT_TRUE(std::any_of(builtins.begin(), builtins.end(),
                            [](const twds::RegisteredFilter &f) { return f.name == u"Sample built-in"; }));
    // Registered under the same class, the registry's description is the one used, once.
    ASSERT_EQ(S_OK, mapper->RegisterFilter(CLSID_TestBuiltin, OLESTR("Test registered"), MERIT_NORMAL));
    ASSERT_EQ(S_OK, mapper->RegisterPin(CLSID_TestBuiltin, OLESTR("In"), FALSE, FALSE, FALSE, FALSE, GUID_NULL,
                                        nullptr));
    ASSERT_EQ(S_OK, mapper->RegisterPinType(CLSID_TestBuiltin, OLESTR("In"), MEDIATYPE_Audio, MEDIASUBTYPE_TestOnly));
    auto all = twds::LoadFiltersWithBuiltins();
    EXPECT_EQ(1, std::count_if(all.begin(), all.end(),
                               [](const twds::RegisteredFilter &f) { return IsEqualGUID(f.clsid, CLSID_TestBuiltin); }));
    EXPECT_EQ(u"*", MatchingNames(mapper2));
}

} // namespace
