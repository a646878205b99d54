// The input module's parsers: picture headers, metafiles and URLs.
#include <gtest/gtest.h>

#include "asfinput/asx.h"
#include "asfinput/keyframe.h"
#include "asfinput/urls.h"

namespace {

using twwmf::KeyFrameProbe;

uint32_t Tag(const char *s)
{
    return static_cast<uint32_t>(s[0]) | static_cast<uint32_t>(s[1]) << 8 | static_cast<uint32_t>(s[2]) << 16 |
           static_cast<uint32_t>(s[3]) << 24;
}

// Packs bits given as a string of '0' and '1' into bytes, padded with ones.
std::vector<uint8_t> Bits(const std::string &bits)
{
    std::vector<uint8_t> out((bits.size() + 7) / 8 + 1, 0xFF);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '0')
            out[i / 8] &= static_cast<uint8_t>(~(0x80 >> (i % 8)));
    return out;
}

KeyFrameProbe::Answer Check(const KeyFrameProbe &probe, const std::string &bits)
{
    std::vector<uint8_t> b = Bits(bits);
    return probe.Check(b.data(), b.size());
}

TEST(KeyFrameProbeTest, Wmv1AndWmv2ReadThePictureType)
{
    KeyFrameProbe wmv1(Tag("WMV1"), {});
    EXPECT_EQ(KeyFrameProbe::Key, Check(wmv1, "00"));
    EXPECT_EQ(KeyFrameProbe::Delta, Check(wmv1, "01"));
    KeyFrameProbe wmv2(Tag("wmv2"), {0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(KeyFrameProbe::Key, Check(wmv2, "0"));
    EXPECT_EQ(KeyFrameProbe::Delta, Check(wmv2, "1"));
    EXPECT_EQ(KeyFrameProbe::Delta, wmv2.Check(nullptr, 0));
    EXPECT_EQ(KeyFrameProbe::Unknown, Check(KeyFrameProbe(Tag("MJPG"), {}), "0"));
}

// A WMV3 sequence header: profile, 20 bits, RANGERED, MAXBFRAMES(3), QUANTIZER(2),
// FINTERPFLAG, then a reserved bit.
std::vector<uint8_t> SequenceHeader(int profile, bool rangered, int maxB, bool finterp)
{
    std::string bits;
    bits += profile & 2 ? '1' : '0';
    bits += profile & 1 ? '1' : '0';
    bits += std::string(20, '0');
    bits += rangered ? '1' : '0';
    for (int i = 2; i >= 0; --i)
        bits += (maxB >> i) & 1 ? '1' : '0';
    bits += "00";
    bits += finterp ? '1' : '0';
    bits += "1";
    std::vector<uint8_t> b = Bits(bits);
    b.resize(4);
    return b;
}

TEST(KeyFrameProbeTest, Wmv3FollowsTheSequenceHeader)
{
    // Plain main profile: FRMCNT(2), then PTYPE 0 = I, 1 = P.
    KeyFrameProbe plain(Tag("WMV3"), SequenceHeader(1, false, 0, false));
    EXPECT_EQ(KeyFrameProbe::Key, Check(plain, "11" "0"));
    EXPECT_EQ(KeyFrameProbe::Delta, Check(plain, "00" "1"));
    EXPECT_EQ(KeyFrameProbe::Delta, plain.Check(Bits("0").data(), 1)); // a skipped frame

    // INTERPFRM and RANGEREDFRM come first when the sequence has them.
    KeyFrameProbe shifted(Tag("WMV3"), SequenceHeader(1, true, 0, true));
    EXPECT_EQ(KeyFrameProbe::Key, Check(shifted, "1" "11" "1" "0"));
    EXPECT_EQ(KeyFrameProbe::Delta, Check(shifted, "0" "00" "0" "1"));

    // With B-frames: 1 = P, 01 = I, 00 = B.
    KeyFrameProbe withB(Tag("WMV3"), SequenceHeader(1, false, 2, false));
    EXPECT_EQ(KeyFrameProbe::Key, Check(withB, "00" "01"));
    EXPECT_EQ(KeyFrameProbe::Delta, Check(withB, "00" "00"));
    EXPECT_EQ(KeyFrameProbe::Delta, Check(withB, "00" "1"));

    // The advanced profile and a missing sequence header leave it to the container.
    EXPECT_EQ(KeyFrameProbe::Unknown, Check(KeyFrameProbe(Tag("WMV3"), SequenceHeader(3, false, 0, false)), "000"));
    EXPECT_EQ(KeyFrameProbe::Unknown, Check(KeyFrameProbe(Tag("WMV3"), {0x40}), "000"));
}

TEST(AsxTest, ParsesEntriesTitleAndTheReferenceForm)
{
    twwmf::AsxPlaylist list;
    ASSERT_TRUE(twwmf::ParseAsx("  <ASX VERSION=3><title> A &lt;B&gt; </title><entry><ref href = 'one.asf?a=1&amp;b=2'>"
                                "<REF HREF=two.asf/><ref/></entry><!-- <ref href=\"x\"/> --></ASX>",
                                list));
    EXPECT_EQ("A <B>", list.title);
    ASSERT_EQ(2u, list.refs.size());
    EXPECT_EQ("one.asf?a=1&b=2", list.refs[0]);
    EXPECT_EQ("two.asf", list.refs[1]);
    ASSERT_TRUE(twwmf::ParseAsx("[Reference]\r\nRef1=http://h/a.asf\r\nRef2=mms://h/b\r\n", list));
    EXPECT_EQ((std::vector<std::string>{"http://h/a.asf", "mms://h/b"}), list.refs);
    EXPECT_FALSE(twwmf::ParseAsx("<html><a href=x>", list));
    EXPECT_TRUE(twwmf::ParseAsx("<asx><ref href=\"unterminated", list));
    EXPECT_TRUE(list.refs.empty());
    EXPECT_TRUE(twwmf::HasAsxExtension("http://h/list.WVX?x=1"));
    EXPECT_FALSE(twwmf::HasAsxExtension("http://h/clip.asf"));
}

TEST(UrlsTest, SchemesReferencesAndLocalPaths)
{
    EXPECT_EQ("mmsh", twwmf::UrlScheme("MMSH://h/x"));
    EXPECT_EQ("", twwmf::UrlScheme("C:\\clips\\a.asf"));
    EXPECT_EQ("", twwmf::UrlScheme("/tmp/a.asf"));
    EXPECT_EQ("mmsh://h:80/x", twwmf::WithScheme("mms://h/x", "mmsh", 80));
    EXPECT_EQ("mmsh://h:8080/x", twwmf::WithScheme("http://h:8080/x", "mmsh", 80));
    EXPECT_EQ("/tmp/a b.asf", twwmf::LocalPath("file:///tmp/a%20b.asf"));
    EXPECT_EQ("/tmp/dir/a.asf", twwmf::LocalPath("/tmp\\dir\\a.asf"));
    EXPECT_EQ("http://h:1/d/b.asf", twwmf::ResolveReference("http://h:1/d/list.asx?q", "b.asf"));
    EXPECT_EQ("http://h:1/b.asf", twwmf::ResolveReference("http://h:1/d/list.asx", "/b.asf"));
    EXPECT_EQ("mms://o/x", twwmf::ResolveReference("http://h/list.asx", "mms://o/x"));
    EXPECT_EQ("/tmp/d/b.asf", twwmf::ResolveReference("/tmp/d/list.asx", "b.asf"));
}

} // namespace
