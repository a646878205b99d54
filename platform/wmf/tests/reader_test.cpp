// The Windows Media reader: its answers to Open and Close, header attributes,
// stream selection and profile, on clip files and scripted servers.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <asferr.h>
#include <nserror.h>
#include <thread>
#include <vector>
#include <wmsdk.h>

#include "asfclip.h"
#include "twrawserver.h"
#include "twtesting.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records what the reader reports.
class Callback : public IWMReaderCallback {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void **ppv) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMStatusCallback) ||
            IsEqualIID(iid, IID_IWMReaderCallback)) {
            *ppv = static_cast<IWMReaderCallback *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE *, void *context) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back({status, hr, context});
        m_changed.notify_all();
        return S_OK;
    }
    STDMETHODIMP OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer *, void *) override { return S_OK; }

    struct Event {
        WMT_STATUS status;
        HRESULT hr;
        void *context;
    };
    // Waits for the n-th report (1-based); false after the time-out.
    bool WaitFor(size_t n, double seconds = 30)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return m_events.size() >= n; });
    }
    std::vector<Event> Events()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

template <class T>
T *Query(IUnknown *p, REFIID iid)
{
    T *out = nullptr;
    p->QueryInterface(iid, reinterpret_cast<void **>(&out));
    return out;
}

class ReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new twtest::TempDir();
        ASSERT_EQ("", wmftest::MakeClip(s_dir->file("clip.asf"), {"--seconds", "2", "--title", "Reader Clip"}));
    }
    static void TearDownTestSuite() { delete s_dir; }
    static std::u16string ClipPath() { return wmftest::Wide(s_dir->file("clip.asf")); }
    static twtest::TempDir *s_dir;
};
twtest::TempDir *ReaderTest::s_dir;

const WCHAR *W(const std::u16string &s) { return reinterpret_cast<const WCHAR *>(s.c_str()); }

TEST_F(ReaderTest, OpensAnswersAttributesAndCloses)
{
    IWMReader *reader = nullptr;
    ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_PLAYBACK, &reader));
    Callback cb;
    int context = 0;
    std::u16string path = ClipPath();
    ASSERT_EQ(S_OK, reader->Open(W(path), &cb, &context));
    ASSERT_TRUE(cb.WaitFor(1));
    EXPECT_EQ(WMT_OPENED, cb.Events()[0].status);
    EXPECT_EQ(S_OK, cb.Events()[0].hr);
    EXPECT_EQ(&context, cb.Events()[0].context);
    EXPECT_EQ(NS_E_INVALID_REQUEST, reader->Open(W(path), &cb, nullptr)) << "already open";
    EXPECT_EQ(E_NOTIMPL, reader->Start(0, 0, 1.0f, nullptr));

    IWMHeaderInfo *info = Query<IWMHeaderInfo>(reader, IID_IWMHeaderInfo);
    ASSERT_NE(nullptr, info);
    WORD stream = 0, cb0 = 0;
    WMT_ATTR_DATATYPE type;
    ASSERT_EQ(S_OK, info->GetAttributeByName(&stream, OLESTR("Title"), &type, nullptr, &cb0));
    EXPECT_EQ(WMT_TYPE_STRING, type);
    EXPECT_EQ((std::u16string(u"Reader Clip").size() + 1) * 2, cb0);
    std::vector<BYTE> value(cb0);
    WORD small = cb0 - 2;
    EXPECT_EQ(ASF_E_BUFFERTOOSMALL, info->GetAttributeByName(&stream, OLESTR("Title"), &type, value.data(), &small));
    EXPECT_EQ(cb0, small);
    ASSERT_EQ(S_OK, info->GetAttributeByName(&stream, OLESTR("Title"), &type, value.data(), &cb0));
    EXPECT_EQ(u"Reader Clip", std::u16string(reinterpret_cast<const char16_t *>(value.data())));

    QWORD duration = 0;
    WORD cb8 = sizeof(duration);
    ASSERT_EQ(S_OK, info->GetAttributeByName(&stream, OLESTR("Duration"), &type, reinterpret_cast<BYTE *>(&duration), &cb8));
    EXPECT_EQ(WMT_TYPE_QWORD, type);
    EXPECT_NEAR(2.0, duration / 1e7, 0.2);
    BOOL flag = TRUE;
    WORD cb4 = sizeof(flag);
    ASSERT_EQ(S_OK, info->GetAttributeByName(&stream, OLESTR("Broadcast"), &type, reinterpret_cast<BYTE *>(&flag), &cb4));
    EXPECT_EQ(WMT_TYPE_BOOL, type);
    EXPECT_FALSE(flag);
    ASSERT_EQ(S_OK, info->GetAttributeByName(&stream, OLESTR("Seekable"), &type, reinterpret_cast<BYTE *>(&flag), &cb4));
    EXPECT_TRUE(flag);
    EXPECT_EQ(ASF_E_NOTFOUND, info->GetAttributeByName(&stream, OLESTR("Author"), &type, nullptr, &cb0));
    EXPECT_EQ(ASF_E_NOTFOUND, info->GetAttributeByName(&stream, OLESTR("NoSuchThing"), &type, nullptr, &cb0));

    // Manual selection: every stream on until the caller says otherwise.
    IWMReaderAdvanced *advanced = Query<IWMReaderAdvanced>(reader, IID_IWMReaderAdvanced);
    ASSERT_NE(nullptr, advanced);
    WORD number = 2;
    WMT_STREAM_SELECTION off = WMT_OFF, sel = WMT_ON;
    EXPECT_EQ(NS_E_INVALID_REQUEST, advanced->SetStreamsSelected(1, &number, &off));
    ASSERT_EQ(S_OK, advanced->SetManualStreamSelection(TRUE));
    ASSERT_EQ(S_OK, advanced->GetStreamSelected(1, &sel));
    EXPECT_EQ(WMT_ON, sel);
    ASSERT_EQ(S_OK, advanced->SetStreamsSelected(1, &number, &off));
    ASSERT_EQ(S_OK, advanced->GetStreamSelected(2, &sel));
    EXPECT_EQ(WMT_OFF, sel);
    number = 9;
    EXPECT_EQ(E_INVALIDARG, advanced->SetStreamsSelected(1, &number, &off));

    IWMProfile *profile = Query<IWMProfile>(reader, IID_IWMProfile);
    ASSERT_NE(nullptr, profile);
    DWORD streams = 0;
    EXPECT_EQ(S_OK, profile->GetStreamCount(&streams));
    EXPECT_EQ(2u, streams);

    ASSERT_EQ(S_OK, reader->Close());
    ASSERT_TRUE(cb.WaitFor(2));
    EXPECT_EQ(WMT_CLOSED, cb.Events()[1].status);
    EXPECT_EQ(NS_E_INVALID_REQUEST, reader->Close()) << "already closed";
    EXPECT_EQ(NS_E_INVALID_REQUEST, info->GetAttributeByName(&stream, OLESTR("Title"), &type, nullptr, &cb0));
    EXPECT_EQ(nullptr, Query<IWMProfile>(reader, IID_IWMProfile));
    // The profile handed out outlives the reader.
    EXPECT_EQ(S_OK, profile->GetStreamCount(&streams));
    profile->Release();
    advanced->Release();
    info->Release();
    reader->Release();
    EXPECT_EQ(2u, cb.Events().size());
}

// A close while the network says nothing ends the open at once; both are answered.
TEST_F(ReaderTest, CloseDuringAStalledOpenAnswersBoth)
{
    twtest::CScriptedServer stalled([](twtest::CConnection &c) { c.WaitForClose(30000); });
    IWMReader *reader = nullptr;
    ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_PLAYBACK, &reader));
    Callback cb;
    std::u16string url = wmftest::Wide("http://" + stalled.Address() + "/clip.asf");
    ASSERT_EQ(S_OK, reader->Open(W(url), &cb, nullptr));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Clock::time_point start = Clock::now();
    ASSERT_EQ(S_OK, reader->Close());
    ASSERT_TRUE(cb.WaitFor(2, 5));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 2.0);
    std::vector<Callback::Event> events = cb.Events();
    EXPECT_EQ(WMT_OPENED, events[0].status);
    EXPECT_TRUE(FAILED(events[0].hr));
    EXPECT_EQ(WMT_CLOSED, events[1].status);
    // Reopened after the close, the reader works again.
    std::u16string path = ClipPath();
    ASSERT_EQ(S_OK, reader->Open(W(path), &cb, nullptr));
    ASSERT_TRUE(cb.WaitFor(3));
    EXPECT_EQ(S_OK, cb.Events()[2].hr);
    reader->Release(); // released open: no report comes after it
    EXPECT_EQ(3u, cb.Events().size());
}

// Released while opening: the open is cancelled and the reader's thread joined.
TEST_F(ReaderTest, ReleaseWhileOpeningEndsTheOpen)
{
    twtest::CScriptedServer stalled([](twtest::CConnection &c) { c.WaitForClose(30000); });
    Callback cb;
    std::u16string url = wmftest::Wide("http://" + stalled.Address() + "/clip.asf");
    Clock::time_point start = Clock::now();
    for (int i = 0; i < 5; ++i) {
        IWMReader *reader = nullptr;
        ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_PLAYBACK, &reader));
        ASSERT_EQ(S_OK, reader->Open(W(url), &cb, nullptr));
        reader->Release();
    }
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 5.0);
    EXPECT_EQ(5u, cb.Events().size()); // each open answered before the release returned
}

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

// A thousand opens and closes of one reader, each answered in order, leave no
// thread behind (and, under the leak checker, no memory).
TEST_F(ReaderTest, AThousandOpensAndClosesLeaveNothingBehind)
{
    // A runtime that starts a helper thread of its own with the process's first
    // thread (the thread sanitizer's) does so now, not during the count.
    std::thread([] {}).join();
    const int before = ThreadCount();
    IWMReader *reader = nullptr;
    ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_PLAYBACK, &reader));
    Callback cb;
    std::u16string path = ClipPath();
    const size_t rounds = 1000;
    for (size_t i = 0; i < rounds; ++i) {
        ASSERT_EQ(S_OK, reader->Open(W(path), &cb, nullptr));
        ASSERT_TRUE(cb.WaitFor(2 * i + 1));
        ASSERT_EQ(S_OK, reader->Close());
        ASSERT_TRUE(cb.WaitFor(2 * i + 2));
    }
    reader->Release();
    std::vector<Callback::Event> events = cb.Events();
    ASSERT_EQ(2 * rounds, events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(i % 2 ? WMT_CLOSED : WMT_OPENED, events[i].status);
        EXPECT_EQ(S_OK, events[i].hr);
    }
    EXPECT_EQ(before, ThreadCount());
}

} // namespace
