// Pin and media type enumerators, media type values and their free functions.
#include <gtest/gtest.h>

#include "test_doubles.h"
#include "test_filter.h"

using namespace fbtest;

namespace {

TEST(EnumPins, BatchesAndTheFetchedRule)
{
    FilterRef filter;
    IEnumPins *pins = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    IPin *got[5] = {};
    EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
    EXPECT_EQ(nullptr, got[0]) << "touches nothing";
    ULONG fetched = 99;
    EXPECT_EQ(S_FALSE, pins->Next(5, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(0)), got[0]);
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(1)), got[1]);
    got[0]->Release();
    got[1]->Release();
    EXPECT_EQ(S_FALSE, pins->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    ASSERT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_OK, pins->Next(1, got, nullptr)) << "a single pin needs no fetched count";
    got[0]->Release();
    EXPECT_EQ(S_FALSE, pins->Skip(2));
    EXPECT_EQ(S_OK, pins->Skip(1));
    EXPECT_EQ(0u, pins->Release());
}

TEST(EnumPins, ResynchronisesAndSkipsPinsAlreadyReturned)
{
    FilterRef filter;
    IEnumPins *pins = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    IPin *got[3] = {};
    ASSERT_EQ(S_OK, pins->Next(1, got, nullptr));
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(0)), got[0]);
    got[0]->Release();

    filter->AddPin(OLESTR("Third"));
    IEnumPins *clone = reinterpret_cast<IEnumPins *>(1);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Clone(&clone));
    EXPECT_EQ(nullptr, clone);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));

    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, pins->Next(3, got, &fetched)) << "restarts at index 0 without the pin it gave";
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(1)), got[0]);
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(2)), got[1]);
    got[0]->Release();
    got[1]->Release();

    ASSERT_EQ(S_OK, pins->Reset());
    ASSERT_EQ(S_OK, pins->Next(1, got, nullptr));
    got[0]->Release();
    ASSERT_EQ(S_OK, pins->Clone(&clone));
    ASSERT_EQ(S_OK, clone->Next(1, got, nullptr)) << "a clone continues where its source was";
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(1)), got[0]);
    got[0]->Release();
    clone->Release();
    pins->Release();
}

TEST(EnumPins, KeepsTheFilterAlive)
{
    LONG before = InterlockedExchangeAdd(&ObjectCount, 0);
    auto *filter = new TestFilter();
    filter->Base()->AddRef();
    IEnumPins *pins = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    filter->Base()->Release();
    EXPECT_EQ(before + 3, InterlockedExchangeAdd(&ObjectCount, 0)) << "filter and two pins";
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, pins->Next(1, &pin, nullptr));
    pins->Release();
    PIN_DIRECTION dir;
    EXPECT_EQ(S_OK, pin->QueryDirection(&dir)) << "a pin reference keeps the filter too";
    pin->Release();
    EXPECT_EQ(before, InterlockedExchangeAdd(&ObjectCount, 0));
}

TEST(EnumMediaTypes, DefaultPinOffersNothing)
{
    FilterRef filter;
    IEnumMediaTypes *types = nullptr;
    ASSERT_EQ(S_OK, filter->Pin(0)->EnumMediaTypes(&types));
    AM_MEDIA_TYPE *mt = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(S_FALSE, types->Next(1, &mt, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, types->Skip(1));
    EXPECT_EQ(S_OK, types->Skip(0));
    types->Release();
}

TEST(EnumMediaTypes, HandsOutOwnedCopiesAndStopsAtVersionChange)
{
    FilterRef filter;
    TestPin *pin = filter->Pin(0);
    BYTE format[4] = {1, 2, 3, 4};
    AM_MEDIA_TYPE withFormat = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3, FORMAT_VideoInfo);
    withFormat.cbFormat = sizeof format;
    withFormat.pbFormat = format;
    pin->preferred = {withFormat, MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2)};

    IEnumMediaTypes *types = nullptr;
    ASSERT_EQ(S_OK, pin->EnumMediaTypes(&types));
    AM_MEDIA_TYPE *got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, types->Next(2, got, nullptr));
    EXPECT_EQ(S_FALSE, types->Next(3, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(MEDIASUBTYPE_WMV3, got[0]->subtype);
    ASSERT_EQ(4u, got[0]->cbFormat);
    EXPECT_NE(format, got[0]->pbFormat) << "a copy of the format block";
    EXPECT_EQ(0, memcmp(format, got[0]->pbFormat, 4));
    EXPECT_EQ(MEDIASUBTYPE_WMV2, got[1]->subtype);
    DeleteMediaTypeBlock(got[0]);
    DeleteMediaTypeBlock(got[1]);

    ASSERT_EQ(S_OK, types->Reset());
    EXPECT_EQ(S_OK, types->Skip(2));
    EXPECT_EQ(S_FALSE, types->Skip(1));

    pin->ChangeTypeList();
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Next(1, got, nullptr));
    IEnumMediaTypes *clone = reinterpret_cast<IEnumMediaTypes *>(1);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Clone(&clone));
    EXPECT_EQ(nullptr, clone);
    ASSERT_EQ(S_OK, types->Reset()) << "only Reset makes it usable again";
    ASSERT_EQ(S_OK, types->Next(1, got, nullptr));
    DeleteMediaTypeBlock(got[0]);
    types->Release();
}

// Counts references so that copies and frees can be checked.
struct FormatObject : IUnknown {
    int refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST(MediaTypes, CopyFreeAndAssignOwnTheirContents)
{
    FormatObject object;
    BYTE format[3] = {9, 8, 7};
    AM_MEDIA_TYPE source = MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV8, FORMAT_WaveFormatEx);
    source.cbFormat = sizeof format;
    source.pbFormat = format;
    source.pUnk = &object;
    {
        MediaTypeValue value;
        EXPECT_EQ(1u, value.lSampleSize);
        EXPECT_TRUE(value.bFixedSizeSamples);
        ASSERT_EQ(S_OK, value.Assign(source));
        EXPECT_EQ(2, object.refs);
        EXPECT_NE(format, value.pbFormat);
        ASSERT_EQ(S_OK, value.Assign(value)) << "self-assignment keeps the contents";
        ASSERT_EQ(3u, value.cbFormat);
        EXPECT_EQ(7, value.pbFormat[2]);
        ASSERT_EQ(S_OK, value.Assign(source));
        EXPECT_EQ(2, object.refs) << "the old contents were freed";
    }
    EXPECT_EQ(1, object.refs);

    // A size without a block is copied as no format rather than read.
    AM_MEDIA_TYPE broken = source;
    broken.pbFormat = nullptr;
    broken.pUnk = nullptr;
    AM_MEDIA_TYPE copy;
    ASSERT_EQ(S_OK, CopyMediaTypeContents(&copy, &broken));
    EXPECT_EQ(0u, copy.cbFormat);
    EXPECT_EQ(nullptr, copy.pbFormat);
    FreeMediaTypeContents(&copy);
    DeleteMediaTypeBlock(nullptr);
}

TEST(MediaTypes, PartialTypesAndMatching)
{
    AM_MEDIA_TYPE full = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3, FORMAT_VideoInfo);
    AM_MEDIA_TYPE noSub = MakeType(MEDIATYPE_Video, GUID_NULL, FORMAT_VideoInfo);
    EXPECT_FALSE(IsPartialType(&full));
    EXPECT_FALSE(IsPartialType(&noSub)) << "the subtype does not make a type partial";
    AM_MEDIA_TYPE noMajor = MakeType(GUID_NULL, MEDIASUBTYPE_WMV3, FORMAT_VideoInfo);
    AM_MEDIA_TYPE noFormat = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3, GUID_NULL);
    EXPECT_TRUE(IsPartialType(&noMajor));
    EXPECT_TRUE(IsPartialType(&noFormat));

    AM_MEDIA_TYPE anything = MakeType(GUID_NULL, GUID_NULL, GUID_NULL);
    EXPECT_TRUE(MatchesPartialType(&full, &anything));
    EXPECT_TRUE(MatchesPartialType(&full, &noSub));
    AM_MEDIA_TYPE otherSub = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV1, GUID_NULL);
    EXPECT_FALSE(MatchesPartialType(&full, &otherSub));

    // A format type in the partial type brings the format block into the comparison.
    BYTE a[2] = {1, 2}, b[2] = {1, 3};
    AM_MEDIA_TYPE withBlock = full;
    withBlock.cbFormat = 2;
    withBlock.pbFormat = a;
    AM_MEDIA_TYPE formatOnly = MakeType(GUID_NULL, GUID_NULL, FORMAT_VideoInfo);
    EXPECT_FALSE(MatchesPartialType(&withBlock, &formatOnly)) << "sizes differ";
    formatOnly.cbFormat = 2;
    formatOnly.pbFormat = b;
    EXPECT_FALSE(MatchesPartialType(&withBlock, &formatOnly)) << "bytes differ";
    formatOnly.pbFormat = a;
    EXPECT_TRUE(MatchesPartialType(&withBlock, &formatOnly));
    formatOnly.pbFormat = nullptr;
    EXPECT_FALSE(MatchesPartialType(&withBlock, &formatOnly)) << "a missing block matches nothing";
}

TEST(MediaTypes, DuplicateWideStringUsesTaskMemory)
{
    EXPECT_EQ(E_POINTER, DuplicateWideString(OLESTR("x"), nullptr));
    LPWSTR copy = nullptr;
    ASSERT_EQ(S_OK, DuplicateWideString(OLESTR("Video in"), &copy));
    EXPECT_EQ(std::u16string(u"Video in"), std::u16string(copy));
    CoTaskMemFree(copy);
}

} // namespace
