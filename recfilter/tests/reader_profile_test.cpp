// The Kestrin filter takes the profile that the Windows Media reader gives for a
// stream, as the recorder hands it over.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <twgui/testing.h>

#include "harness.h"

namespace kestrintest {
namespace {

// Waits for the reader's WMT_OPENED.
class OpenWaiter : public IWMReaderCallback {
public:
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override
    {
        *ppv = static_cast<IWMReaderCallback *>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE *, void *) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (status == WMT_OPENED) {
            m_opened = true;
            m_hr = hr;
            m_changed.notify_all();
        }
        return S_OK;
    }
    STDMETHODIMP OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer *, void *) override { return S_OK; }
    HRESULT Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_opened; }))
            return E_FAIL;
        return m_hr;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_opened = false;
    HRESULT m_hr = S_OK;
};

TEST(KestrinReaderProfile, FilterAcceptsTheReadersProfile)
{
    ASSERT_FALSE(TestClip().empty()) << "clipmaker failed";
    Rig rig;
    ASSERT_TRUE(rig.ok());
    IWMReader *reader = nullptr;
    ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_PLAYBACK, &reader));
    OpenWaiter waiter;
    std::u16string path = Wide(TestClip());
    ASSERT_EQ(S_OK, reader->Open(reinterpret_cast<const WCHAR *>(path.c_str()), &waiter, nullptr));
    ASSERT_EQ(S_OK, waiter.Wait());
    IWMProfile *profile = nullptr;
    ASSERT_EQ(S_OK, reader->QueryInterface(IID_IWMProfile, reinterpret_cast<void **>(&profile)));
    reader->Release();

    rig.TakeEvents();
    EXPECT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    profile->Release();
    EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());
    std::vector<fbtest::Event> events = rig.TakeEvents();
    bool accepted = false;
    for (const fbtest::Event &e : events)
        accepted |= e.code == 1024;
    EXPECT_TRUE(accepted) << "no event 1024 from set_Profile";
}

} // namespace
} // namespace kestrintest
