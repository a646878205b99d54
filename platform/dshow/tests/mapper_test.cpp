// The filter mapper over a scratch registry: both interfaces, the stored layout,
// matching and the monikers it hands out.
#include <gtest/gtest.h>

#include <string>

#include <twtesting.h>

#include <initguid.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>

#include "mapper/filter_mapper.h"

namespace {

DEFINE_GUID(CLSID_TestDecoder, 0x0e1d7a40, 0x2c44, 0x4f0e, 0x8b, 0x0c, 0x11, 0x22, 0x33, 0x44, 0x55, 0x01);
DEFINE_GUID(CLSID_TestRenderer, 0x0e1d7a40, 0x2c44, 0x4f0e, 0x8b, 0x0c, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02);

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
        while (e->Next(1, &rf, &n) == S_OK) {
            all += rf->Name;
            all += u";";
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
    EXPECT_EQ(S_FALSE, e->Next(1, &moniker, &fetched));
    e->Release();

    GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
    ASSERT_EQ(S_OK, mapper2->EnumMatchingFilters(&e, 0, FALSE, 0, TRUE, 1, audio, nullptr, nullptr, FALSE, FALSE, 0,
                                                 nullptr, nullptr, nullptr));
    EXPECT_EQ(S_FALSE, e->Next(1, &moniker, &fetched));
    e->Release();
}

} // namespace
