// GUID text: formatting, parsing, round trips and malformed input.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <objbase.h>
#include <string>
#include <twcom/guidtext.h>

namespace {

// {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}
const GUID kSample = {0x0a1b2c3d, 0x4e5f, 0x6071, {0x82, 0x93, 0xa4, 0xb5, 0xc6, 0xd7, 0xe8, 0xf9}};

// A heap copy of exactly the string and its terminator, so that reading past
// the end is caught by the address sanitizer.
std::unique_ptr<OLECHAR[]> ExactCopy(const std::u16string &s)
{
    std::unique_ptr<OLECHAR[]> copy(new OLECHAR[s.size() + 1]);
    memcpy(copy.get(), s.c_str(), (s.size() + 1) * sizeof(OLECHAR));
    return copy;
}

TEST(GuidText, FormatsUpperCaseBracedAndReturnsCountWithTerminator)
{
    OLECHAR text[39];
    EXPECT_EQ(StringFromGUID2(kSample, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    EXPECT_EQ(StringFromGUID2(IID_IMoniker, text, 100), 39);
    EXPECT_EQ(std::u16string(text), u"{0000000F-0000-0000-C000-000000000046}");

    OLECHAR shortBuffer[38];
    for (OLECHAR &c : shortBuffer)
        c = u'x';
    EXPECT_EQ(StringFromGUID2(kSample, shortBuffer, 38), 0);
    EXPECT_EQ(shortBuffer[0], u'x'); // nothing written
}

TEST(GuidText, StringFromClsidUsesTaskMemory)
{
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromCLSID(kSample, &text), S_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    CoTaskMemFree(text);
    EXPECT_EQ(StringFromCLSID(kSample, nullptr), E_INVALIDARG);
}

TEST(GuidText, ParsesEitherCaseAndRoundTrips)
{
    CLSID parsed;
    auto lower = ExactCopy(u"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}");
    ASSERT_EQ(CLSIDFromString(lower.get(), &parsed), S_OK);
    EXPECT_TRUE(IsEqualGUID(parsed, kSample));

    const GUID guids[] = {kSample, IID_IRunningObjectTable, IID_ISequentialStream, GUID_NULL,
                          {0xffffffff, 0xffff, 0xffff, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}}};
    for (const GUID &g : guids) {
        OLECHAR text[39];
        ASSERT_EQ(StringFromGUID2(g, text, 39), 39);
        IID iid;
        ASSERT_EQ(IIDFromString(text, &iid), S_OK);
        EXPECT_TRUE(IsEqualGUID(iid, g));
    }

    ASSERT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
    EXPECT_TRUE(IsEqualGUID(parsed, GUID_NULL));
}

// The platform's narrow form (twcom/guidtext.h), as registry keys and files store it.
TEST(GuidText, NarrowFormMatchesTheWideOneAndParsesOnlyThatForm)
{
    EXPECT_EQ(twcom::GuidText(kSample), "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    GUID parsed = GUID_NULL;
    EXPECT_TRUE(twcom::GuidFromText("{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}", &parsed));
    EXPECT_TRUE(IsEqualGUID(parsed, kSample));
    for (const char *bad : {"", "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9",
                            "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}x", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG}"})
        EXPECT_FALSE(twcom::GuidFromText(bad, &parsed)) << bad;
    EXPECT_FALSE(twcom::GuidFromText(twcom::GuidText(kSample), nullptr));
}

TEST(GuidText, RejectsMalformedStringsWithoutReadingPastThem)
{
    const std::u16string malformed[] = {
        u"",
        u"{",
        u"{0A1B2C3D",
        u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9",    // no closing brace
        u"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9",     // no braces
        u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}x",  // trailing text
        u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F}",    // one digit short
        u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG}",   // not hex
        u"{0A1B2C3D-4E5F-6071-82-93A4B5C6D7E8F9}",   // hyphen moved
        u"(0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9)",   // wrong brackets
        u"{ A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}",   // space
        u"{+A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}",   // sign
        u"Tarnwick.Recorder",                         // a name, not a GUID
    };
    for (const std::u16string &s : malformed) {
        auto text = ExactCopy(s);
        CLSID clsid = kSample;
        EXPECT_EQ(CLSIDFromString(text.get(), &clsid), CO_E_CLASSSTRING) << std::string(s.begin(), s.end());
        IID iid;
        EXPECT_EQ(IIDFromString(text.get(), &iid), E_INVALIDARG) << std::string(s.begin(), s.end());
    }
}

} // namespace
