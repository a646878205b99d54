// The recorder's own routines in this process: the error box, clip names, the
// window's size limit and the size items, the recording file names.
#include "recorder.h"
#include <twgui/testing.h>
#include "automation/uiactions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ReportError, BoxIsCaptionedAndCutTo1022Characters)
{
    twgui::test::SetMessageBoxResponder([](const twgui::test::MessageBoxInfo &) { return IDOK; });
    twgui::test::TakeMessageBoxes();
    std::string longText(3000, 'x');
    ReportError("FAILED(hr=0x%x) in %s\n", 0x80004005u, longText.c_str());
    ReportError("short");
    auto boxes = twgui::test::TakeMessageBoxes();
    twgui::test::SetMessageBoxResponder(nullptr);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "TarnwickDll");
    EXPECT_EQ(boxes[0].text.size(), 1022u);
    EXPECT_EQ(boxes[0].text.rfind("FAILED(hr=0x80004005) in xxx", 0), 0u);
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes[1].text, "short");
}

std::string ClipNameOf(const char *url)
{
    lstrcpynA(g_szURL, url, TEXT_BUFFER_SIZE);
    DeriveClipName();
    return g_szClipName;
}

TEST(DeriveClipName, LastSegmentUpToAForbiddenCharacter)
{
    EXPECT_EQ(ClipNameOf("http://host/live/news?id=3"), "news");
    EXPECT_EQ(ClipNameOf("mms://host/a/b:c"), "b");
    EXPECT_EQ(ClipNameOf("http://host/dir/"), "");
    EXPECT_EQ(ClipNameOf("http://host/dir/clip.asf"), "clip.asf");
    // Without any '/', the whole URL is the segment.
    EXPECT_EQ(ClipNameOf("justaname*x"), "justaname");
    EXPECT_EQ(ClipNameOf(""), "");
}

TEST(UpdateWindowTitle, LastPathComponentAndTitleCutToTheBuffer)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "TitleTest";
    RegisterClassA(&wc);
    g_hWndApp = CreateWindowExA(0, "TitleTest", "x", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL, NULL, NULL, NULL);
    ASSERT_NE(g_hWndApp, nullptr);
    char text[512];
    lstrcpynA(g_szURL, "http://host/dir\\sub/news?id=3", TEXT_BUFFER_SIZE);
    lstrcpynA(g_szClipTitle, "", TEXT_BUFFER_SIZE);
    UpdateWindowTitle();
    GetWindowTextA(g_hWndApp, text, sizeof text);
    EXPECT_STREQ(text, "news?id=3 []");
    g_szURL[0] = '\0';
    UpdateWindowTitle();
    GetWindowTextA(g_hWndApp, text, sizeof text);
    EXPECT_STREQ(text, "Tarnwick");
    std::string longUrl = "http://h/" + std::string(250, 'u');
    lstrcpynA(g_szURL, longUrl.c_str(), TEXT_BUFFER_SIZE);
    lstrcpynA(g_szClipTitle, std::string(250, 't').c_str(), TEXT_BUFFER_SIZE);
    UpdateWindowTitle();
    EXPECT_EQ(GetWindowTextA(g_hWndApp, text, sizeof text), 259);
    DestroyWindow(g_hWndApp);
    g_hWndApp = NULL;
}

TEST(MainWindow, CannotBeMadeSmallerThan200By120AndSizeItemsCheckOneAtATime)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = MainWndProc;
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = "MainTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, "MainTest", "Tarnwick", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL, NULL,
                                NULL);
    ASSERT_NE(hwnd, nullptr);
    g_hWndApp = hwnd;
    g_hMenu = GetMenu(hwnd);
    ShowWindow(hwnd, SW_SHOW);
    InitPlayerWindow();
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 240);
    EXPECT_EQ(r.bottom - r.top, 120);
    twgui::MirrorUserResize(hwnd, 120, 80);
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 120);

    // The keys check the size items as the menu commands do; only one is checked.
    const UINT items[] = {ID_SIZE_HALF, ID_SIZE_THREEQUARTER, ID_SIZE_NORMAL, ID_SIZE_DOUBLE};
    const WPARAM keys[] = {'H', 'T', 'N', 'D'};
    for (int k = 0; k < 4; ++k) {
        SendMessageA(hwnd, WM_KEYDOWN, keys[k], 1);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ((GetMenuState(g_hMenu, items[i], MF_BYCOMMAND) & MF_CHECKED) != 0, i == k) << k << i;
    }
    // At start-up every playback and size item is gray.
    for (UINT id : {ID_CONTROL_PLAYPAUSE, ID_CONTROL_STOP, ID_CONTROL_RECORD, ID_CONTROL_RESTART, ID_SIZE_HALF})
        EXPECT_TRUE(GetMenuState(g_hMenu, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    DestroyWindow(hwnd);
    while (GetMessageA(&m, NULL, 0, 0))
        DispatchMessageA(&m);
    g_hWndApp = NULL;
}

// The recording filter's file sink as the recorder sees it: the names it is given.
class SinkDouble : public IBaseFilter, public IFileSinkFilter {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IFileSinkFilter)
            *ppv = static_cast<IFileSinkFilter *>(this);
        else if (riid == IID_IUnknown || riid == IID_IBaseFilter)
            *ppv = static_cast<IBaseFilter *>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetClassID(CLSID *) override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return E_NOTIMPL; }
    STDMETHODIMP Pause() override { return E_NOTIMPL; }
    STDMETHODIMP Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetState(DWORD, FILTER_STATE *) override { return E_NOTIMPL; }
    STDMETHODIMP SetSyncSource(IReferenceClock *) override { return E_NOTIMPL; }
    STDMETHODIMP GetSyncSource(IReferenceClock **) override { return E_NOTIMPL; }
    STDMETHODIMP EnumPins(IEnumPins **) override { return E_NOTIMPL; }
    STDMETHODIMP FindPin(LPCWSTR, IPin **) override { return E_NOTIMPL; }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO *) override { return E_NOTIMPL; }
    STDMETHODIMP JoinFilterGraph(IFilterGraph *, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP QueryVendorInfo(LPWSTR *) override { return E_NOTIMPL; }
    STDMETHODIMP SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *) override
    {
        std::string name = "<none>";
        if (pszFileName != nullptr) {
            char sz[TEXT_BUFFER_SIZE];
            WideCharToMultiByte(CP_ACP, 0, pszFileName, -1, sz, sizeof sz, NULL, NULL);
            name = sz;
        }
        m_names.push_back(name);
        return m_result;
    }
    STDMETHODIMP GetCurFile(LPOLESTR *, AM_MEDIA_TYPE *) override { return E_NOTIMPL; }
    std::vector<std::string> m_names;
    HRESULT m_result = S_OK;
};

// Recording files are named after the directory, the clip and the local time; a
// second start within the same second is refused, and a refused name leaves the
// recording off without a box.
TEST(ToggleRecording, OneFileASecondNamedAfterTheClipAndTheTime)
{
    twgui::test::TakeMessageBoxes();
    SinkDouble sink;
    pKestrin = &sink;
    g_bCanRecord = true;
    g_bRecording = false;
    g_State = Playing;
    g_tLastRecordingStart = 0;
    lstrcpynA(g_szSaveDirectory, "/rec", TEXT_BUFFER_SIZE);
    lstrcpynA(g_szClipName, "news", TEXT_BUFFER_SIZE);

    ASSERT_EQ(ToggleRecording(), S_OK);
    EXPECT_TRUE(g_bRecording);
    ASSERT_EQ(sink.m_names.size(), 1u);
    time_t started = g_tLastRecordingStart;
    char szStamp[32];
    strftime(szStamp, sizeof szStamp, "%Y%m%d_%H%M%S", localtime(&started));
    EXPECT_EQ(sink.m_names[0], std::string("/rec\\news_") + szStamp + ".asf");

    ASSERT_EQ(ToggleRecording(), S_OK);
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(sink.m_names.back(), "<none>");
    // Within the second of the last start nothing starts.
    g_tLastRecordingStart = time(NULL);
    size_t calls = sink.m_names.size();
    EXPECT_EQ(ToggleRecording(), S_OK);
    if (time(NULL) == g_tLastRecordingStart) {
        EXPECT_FALSE(g_bRecording);
        EXPECT_EQ(sink.m_names.size(), calls);
    }
    // A second later it does; a name the filter refuses leaves recording off.
    g_bRecording = false;
    g_tLastRecordingStart = time(NULL) - 5;
    sink.m_result = E_FAIL;
    EXPECT_EQ(ToggleRecording(), E_FAIL);
    EXPECT_FALSE(g_bRecording);
    EXPECT_NE(sink.m_names.back(), "<none>");
    EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());
    pKestrin = nullptr;
    g_bCanRecord = false;
    g_State = NoClip;
}

} // namespace
