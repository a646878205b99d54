// The stream probe against the stream server running as a real process.
#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <string>
#include <vector>

#include <amvideo.h>
#include <mmreg.h>
#include <sstream>

#include "asfclip.h"
#include "reader.h"
#include "serverprocess.h"
#include "twrawserver.h"
#include "twtesting.h"

namespace {

using Clock = std::chrono::steady_clock;

std::u16string WideUtf8(const std::string &text)
{
    std::u16string out(text.size() + 1, u'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, reinterpret_cast<WCHAR *>(&out[0]),
                                static_cast<int>(out.size()));
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

const WCHAR *W(const std::u16string &s) { return reinterpret_cast<const WCHAR *>(s.c_str()); }

int ThreadCount()
{
    int n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

bool ValidUtf8(const std::string &s)
{
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += len;
    }
    return true;
}

std::string Ffprobe(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {"/usr/bin/ffprobe", "-v", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    twtest::ProcessResult r = twtest::RunProcess(argv);
    EXPECT_EQ(0, r.exitCode) << r.output;
    return r.output;
}

// The clips and the server, made once for the program.
class ProbeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new twtest::TempDir();
        ASSERT_EQ("", wmftest::MakeClip(s_dir->file("titled.asf"), {"--seconds", "3", "--title", "Probe Clip"}));
        ASSERT_EQ("", wmftest::MakeClip(s_dir->file("untitled.asf"), {"--seconds", "2"}));
        s_longTitle = "a";
        for (int i = 0; i < 100; ++i)
            s_longTitle += "\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9e"; // é € 𝄞: 2, 3 and 4 bytes
        ASSERT_EQ("", wmftest::MakeClip(s_dir->file("long.asf"), {"--seconds", "1", "--title", s_longTitle}));
        s_server = new strsrvtest::StreamServerProcess(s_dir->path(), {"--live", "titled.asf"});
        ASSERT_TRUE(s_server->Ok()) << s_server->Log();
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        delete s_dir;
    }

    static std::u16string Url(const std::string &path) { return WideUtf8(s_server->Base() + path); }

    static twtest::TempDir *s_dir;
    static strsrvtest::StreamServerProcess *s_server;
    static std::string s_longTitle;
};

twtest::TempDir *ProbeTest::s_dir;
strsrvtest::StreamServerProcess *ProbeTest::s_server;
std::string ProbeTest::s_longTitle;

TEST_F(ProbeTest, OnDemandClipGivesTitleAndTheFileDuration)
{
    CReader reader;
    ASSERT_EQ(S_OK, reader.Init());
    ASSERT_EQ(S_OK, reader.Configure(W(Url("/titled.asf"))));
    EXPECT_STREQ("Probe Clip", reader.m_szTitle);
    // ffprobe gives the file's play duration less the preroll in its stream time
    // base (ms); the file states it in 100 ns units.
    std::string out = Ffprobe({"-select_streams", "0", "-show_entries", "stream=duration", "-of", "csv=p=0",
                               s_dir->file("titled.asf")});
    double seconds = std::stod(out);
    EXPECT_GT(seconds, 2.5);
    EXPECT_EQ(static_cast<long long>(seconds * 1000 + 0.5), static_cast<long long>((reader.m_qwDuration + 5000) / 10000));
    IWMProfile *profile = reader.GetProfile();
    ASSERT_NE(nullptr, profile);
    EXPECT_EQ(S_OK, reader.Close());
    profile->Release();
}

struct StreamFacts {
    WORD number = 0;
    GUID type = GUID_NULL;
    std::vector<BYTE> format; // the media type's format block
    std::vector<BYTE> codecData; // what follows the VIDEOINFOHEADER or WAVEFORMATEX
};

std::vector<StreamFacts> Facts(IWMProfile *profile)
{
    std::vector<StreamFacts> out;
    DWORD count = 0;
    EXPECT_EQ(S_OK, profile->GetStreamCount(&count));
    for (DWORD i = 0; i < count; ++i) {
        StreamFacts f;
        IWMStreamConfig *config = nullptr;
        EXPECT_EQ(S_OK, profile->GetStream(i, &config));
        if (!config)
            break;
        config->GetStreamNumber(&f.number);
        config->GetStreamType(&f.type);
        IWMMediaProps *props = nullptr;
        EXPECT_EQ(S_OK, config->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void **>(&props)));
        if (props) {
            DWORD cb = 0;
            EXPECT_EQ(S_OK, props->GetMediaType(nullptr, &cb));
            std::vector<BYTE> buffer(cb);
            auto *mt = reinterpret_cast<WM_MEDIA_TYPE *>(buffer.data());
            EXPECT_EQ(S_OK, props->GetMediaType(mt, &cb));
            f.format.assign(mt->pbFormat, mt->pbFormat + mt->cbFormat);
            size_t head = f.type == WMMEDIATYPE_Video ? sizeof(VIDEOINFOHEADER) : sizeof(WAVEFORMATEX);
            if (f.format.size() >= head)
                f.codecData.assign(f.format.begin() + head, f.format.end());
            props->Release();
        }
        config->Release();
        out.push_back(f);
    }
    return out;
}

std::u16string Saved(IWMProfileManager *manager, IWMProfile *profile)
{
    DWORD cch = 0;
    EXPECT_EQ(S_OK, manager->SaveProfile(profile, nullptr, &cch));
    std::u16string xml(cch, u'\0');
    EXPECT_EQ(S_OK, manager->SaveProfile(profile, reinterpret_cast<WCHAR *>(&xml[0]), &cch));
    xml.resize(cch > 0 ? cch - 1 : 0);
    return xml;
}

// The profile has the file's streams as FFmpeg reads them, and comes back from
// the profile manager's XML unchanged.
TEST_F(ProbeTest, ProfileHasTheFileStreamsAndSurvivesSaveAndLoad)
{
    CReader reader;
    ASSERT_EQ(S_OK, reader.Init());
    ASSERT_EQ(S_OK, reader.Configure(W(Url("/titled.asf"))));
    IWMProfile *profile = reader.GetProfile();
    ASSERT_NE(nullptr, profile);
    std::vector<StreamFacts> facts = Facts(profile);

    std::istringstream probe(Ffprobe({"-show_entries", "stream=codec_type,extradata_size", "-of", "csv=p=0",
                                       s_dir->file("titled.asf")}));
    wmftest::Clip clip;
    std::string error;
    ASSERT_TRUE(wmftest::ReadClip(s_dir->file("titled.asf"), clip, error)) << error;
    ASSERT_EQ(clip.streams.size(), facts.size());
    std::string line;
    for (size_t i = 0; i < facts.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(std::getline(probe, line));
        std::string type = line.substr(0, line.find(','));
        size_t extradata = std::stoul(line.substr(line.find(',') + 1));
        EXPECT_EQ(type == "video" ? WMMEDIATYPE_Video : WMMEDIATYPE_Audio, facts[i].type);
        EXPECT_EQ(clip.streams[i].id, facts[i].number);
        EXPECT_EQ(extradata, facts[i].codecData.size());
        EXPECT_EQ(std::vector<BYTE>(clip.streams[i].extradata.begin(), clip.streams[i].extradata.end()),
                  facts[i].codecData);
    }

    IWMProfileManager *manager = nullptr;
    ASSERT_EQ(S_OK, WMCreateProfileManager(&manager));
    std::u16string xml = Saved(manager, profile);
    IWMProfile *loaded = nullptr;
    ASSERT_EQ(S_OK, manager->LoadProfileByData(reinterpret_cast<const WCHAR *>(xml.c_str()), &loaded));
    std::vector<StreamFacts> again = Facts(loaded);
    ASSERT_EQ(facts.size(), again.size());
    for (size_t i = 0; i < facts.size(); ++i) {
        EXPECT_EQ(facts[i].number, again[i].number);
        EXPECT_EQ(facts[i].type, again[i].type);
        EXPECT_EQ(facts[i].format, again[i].format);
    }
    EXPECT_EQ(xml, Saved(manager, loaded));
    loaded->Release();
    manager->Release();
    EXPECT_EQ(S_OK, reader.Close());
    profile->Release();
}

TEST_F(ProbeTest, LiveBroadcastHasNoDuration)
{
    CReader reader;
    ASSERT_EQ(S_OK, reader.Init());
    ASSERT_EQ(S_OK, reader.Configure(W(Url("/live"))));
    EXPECT_EQ(0u, reader.m_qwDuration);
    EXPECT_STREQ("Probe Clip", reader.m_szTitle);
    if (IWMProfile *profile = reader.GetProfile())
        profile->Release();
    EXPECT_EQ(S_OK, reader.Close());
}

TEST_F(ProbeTest, ClipWithoutTitleIsUnknownTitle)
{
    CReader reader;
    ASSERT_EQ(S_OK, reader.Init());
    ASSERT_EQ(S_OK, reader.Configure(W(Url("/untitled.asf"))));
    EXPECT_STREQ("Unknown Title", reader.m_szTitle);
    EXPECT_GT(reader.m_qwDuration, 10000000u);
    if (IWMProfile *profile = reader.GetProfile())
        profile->Release();
}

// 301 characters, 901 bytes of UTF-8: cut after the last whole character within 255 bytes.
TEST_F(ProbeTest, LongTitleIsCutAtAWholeCharacter)
{
    CReader reader;
    ASSERT_EQ(S_OK, reader.Init());
    ASSERT_EQ(S_OK, reader.Configure(W(Url("/long.asf"))));
    std::string title = reader.m_szTitle;
    EXPECT_LE(title.size(), 255u);
    EXPECT_TRUE(ValidUtf8(title));
    ASSERT_EQ(0u, s_longTitle.rfind(title, 0)) << "not a prefix of the clip's title";
    // The next character would not have fitted.
    size_t next = title.size() + 1;
    while (next < s_longTitle.size() && (static_cast<unsigned char>(s_longTitle[next]) >> 6) == 2)
        ++next;
    EXPECT_GT(next, 255u);
    if (IWMProfile *profile = reader.GetProfile())
        profile->Release();
}

TEST(ConvertTitle, KeepsSurrogatePairsWholeAndFitsTheBuffer)
{
    const WCHAR text[] = {u'a', 0xD834, 0xDD1E, u'b'}; // a 𝄞 b
    char out[6];
    EXPECT_EQ(5, ConvertTitle(text, 3, out, 6));
    EXPECT_STREQ("a\xf0\x9d\x84\x9e", out);
    EXPECT_EQ(1, ConvertTitle(text, 4, out, 5)); // 𝄞 needs 4 bytes, 3 are left
    EXPECT_STREQ("a", out);
    EXPECT_EQ(0, ConvertTitle(text, 4, out, 1));
    EXPECT_STREQ("", out);
}

// Each way of failing gives the diagnostic and the failure, within the time-outs.
TEST_F(ProbeTest, UnopenableUrlsFailConfigureWithOpenFailed)
{
    twtest::CRefusingPort refused;
    twtest::CScriptedServer stalled([](twtest::CConnection &c) { c.WaitForClose(40000); });
    twtest::CScriptedServer web([](twtest::CConnection &c) {
        c.Send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 40\r\n\r\n"
               "<html><body>Not a stream.</body></html>\n");
    });
    const std::pair<std::string, std::string> cases[] = {
        {"refused port", "http://" + refused.Address() + "/clip.asf"},
        {"unknown host", "http://no-such-host.invalid/clip.asf"},
        {"stalled server", "http://" + stalled.Address() + "/clip.asf"},
        {"web page", "http://" + web.Address() + "/page.asf"},
        {"missing file", s_server->Base() + "/missing.asf"},
    };
    for (const auto &[what, url] : cases) {
        SCOPED_TRACE(what);
        CReader reader;
        ASSERT_EQ(S_OK, reader.Init());
        Clock::time_point start = Clock::now();
        testing::internal::CaptureStdout();
        HRESULT hr = reader.Configure(W(WideUtf8(url)));
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(FAILED(hr));
        char expected[64];
        snprintf(expected, sizeof(expected), "Open failed (hr=0x%08x).\n", static_cast<unsigned>(hr));
        EXPECT_EQ(expected, out);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 30.0);
        EXPECT_EQ(nullptr, reader.GetProfile());
    }
}

TEST_F(ProbeTest, EmptyUrlIsRefusedAndInitOnlyOnce)
{
    CReader reader;
    ASSERT_EQ(S_OK, reader.Init());
    EXPECT_EQ(E_FAIL, reader.Init());
    const WCHAR empty[] = {0};
    EXPECT_EQ(E_INVALIDARG, reader.Configure(empty));
    EXPECT_EQ(E_INVALIDARG, reader.Configure(nullptr));
}

// Opening and closing over and over leaves no thread and (under the leak
// checker) no memory behind; a probe destroyed unclosed ends its reader too.
TEST_F(ProbeTest, RepeatedOpenAndCloseLeavesNothingBehind)
{
    const int before = ThreadCount();
    const std::u16string url = Url("/titled.asf");
    const int rounds = 200;
    for (int i = 0; i < rounds; ++i) {
        CReader reader;
        ASSERT_EQ(S_OK, reader.Init());
        ASSERT_EQ(S_OK, reader.Configure(W(url))) << "round " << i;
        IWMProfile *profile = reader.GetProfile();
        ASSERT_NE(nullptr, profile);
        profile->Release();
        if (i % 2 == 0) {
            ASSERT_EQ(S_OK, reader.Close());
        }
    }
    EXPECT_EQ(before, ThreadCount());
}

} // namespace
