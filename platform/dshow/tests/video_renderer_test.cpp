// The video renderers in real windows of the windows library (offscreen Qt): a
// pattern source feeds RGB32 pictures through the Video Mixing Renderer 9 in
// windowless mode and through the "Video Renderer" that Render picks, and the
// tests read what the windows show.
#include "filters/vidrend/vidrend.h"
#include "filters/vmr9/vmr9.h"
#include "kit/source.h"
#include "twtesting.h"

#include <amvideo.h>
#include <control.h>
#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <windows.h>

#include <twgui/testing.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

using twcom::ComPtr;

namespace {

const LONG kW = 64, kH = 48;
const REFERENCE_TIME kPeriod = 400000;     // 40 ms

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// The pattern: quadrants red (top left), green (top right), blue (bottom left)
// and a grey whose level is the frame index times 16 (bottom right).
uint32_t PatternAt(int x, int y, int frame)
{
    if (y < kH / 2)
        return x < kW / 2 ? kRed : kGreen;
    if (x < kW / 2)
        return kBlue;
    const uint32_t g = uint32_t(frame * 16) & 0xFF;
    return (g << 16) | (g << 8) | g;
}

// Delivers pattern pictures, 40 ms apart, until the filter stops.
class PatternSource final : public twcom::Object<PatternSource, twds::kit::Source> {
public:
    PatternSource() { AddPin(u"Video"); }
    ~PatternSource() override { Stop(); }

protected:
    HRESULT CheckOutputType(twds::kit::OutputPin *, const AM_MEDIA_TYPE &mt) override
    {
        return mt.subtype == MEDIASUBTYPE_RGB32 ? S_OK : S_FALSE;
    }
    std::vector<twds::kit::MediaType> OutputTypes(twds::kit::OutputPin *) override
    {
        VIDEOINFOHEADER vih{};
        vih.AvgTimePerFrame = kPeriod;
        vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih.bmiHeader.biWidth = kW;
        vih.bmiHeader.biHeight = kH;     // bottom-up, as RGB32 usually is
        vih.bmiHeader.biPlanes = 1;
        vih.bmiHeader.biBitCount = 32;
        vih.bmiHeader.biCompression = BI_RGB;
        vih.bmiHeader.biSizeImage = kW * kH * 4;
        AM_MEDIA_TYPE mt{};
        mt.majortype = MEDIATYPE_Video;
        mt.subtype = MEDIASUBTYPE_RGB32;
        mt.bFixedSizeSamples = TRUE;
        mt.lSampleSize = kW * kH * 4;
        mt.formattype = FORMAT_VideoInfo;
        mt.cbFormat = sizeof(vih);
        mt.pbFormat = reinterpret_cast<BYTE *>(&vih);
        return {twds::kit::MediaType(mt)};
    }
    HRESULT DecideBufferSize(twds::kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override
    {
        props->cBuffers = std::max<LONG>(props->cBuffers, 2);
        props->cbBuffer = std::max<LONG>(props->cbBuffer, kW * kH * 4);
        return S_OK;
    }
    void OnThreadStart(size_t) override { m_next = 0; }
    HRESULT FillSample(size_t, IMediaSample *sample) override
    {
        const int i = m_next++;
        BYTE *p = nullptr;
        sample->GetPointer(&p);
        auto *px = reinterpret_cast<uint32_t *>(p);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                px[(kH - 1 - y) * kW + x] = PatternAt(x, y, i);
        sample->SetActualDataLength(kW * kH * 4);
        REFERENCE_TIME start = i * kPeriod, stop = start + kPeriod;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        return S_OK;
    }

private:
    int m_next = 0;     // the pin's thread
};

bool Near(uint32_t got, uint32_t want, int tolerance = 2)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((got >> shift) & 0xFF), b = int((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

// Runs the calling thread's messages until the condition holds; false after 5 s.
bool PumpUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 500; ++i) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (condition())
            return true;
        Sleep(10);
    }
    return false;
}

// Waits until the window shows this colour at (x, y).
bool Shows(HWND hwnd, int x, int y, uint32_t want)
{
    return PumpUntil([&] {
        twgui::test::WindowPixels p = twgui::test::ReadWindowPixels(hwnd);
        return p.width > x && p.height > y && Near(p.At(x, y), want);
    });
}

std::atomic<IVMRWindowlessControl9 *> g_paintWith{nullptr};
std::atomic<int> g_busyMs{0};

LRESULT CALLBACK VideoAreaProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        if (IVMRWindowlessControl9 *wc = g_paintWith.load())
            wc->RepaintVideo(hwnd, hdc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_USER + 1:     // the window thread is busy for a while
        Sleep(DWORD(g_busyMs.load()));
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

HWND CreateVideoArea()
{
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = VideoAreaProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VideoArea";
        return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    HWND hwnd = CreateWindowExA(0, "VideoArea", "Video area", WS_OVERLAPPEDWINDOW, 0, 0, 260, 160, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

class VideoRenderers : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         gb.put_void()));
        mc = twcom::QueryAs<IMediaControl>(gb.get(), IID_IMediaControl);
        source = twcom::Make<PatternSource>();
        ASSERT_EQ(S_OK, gb->AddFilter(source.get(), u"Pattern"));
        ASSERT_EQ(S_OK, source->FindPin(u"Video", sourcePin.put()));
    }
    void TearDown() override
    {
        if (mc)
            mc->Stop();
        g_paintWith = nullptr;
        mc = nullptr;
        sourcePin = nullptr;
        source = nullptr;
        gb = nullptr;
        CoUninitialize();
    }
    // A windowless VMR9 connected to the source, drawing into hwnd at dest.
    ComPtr<IVMRWindowlessControl9> AddWindowlessVmr(HWND hwnd, const RECT &dest)
    {
        vmr = twcom::Make<twds::Vmr9>();
        EXPECT_EQ(S_OK, gb->AddFilter(vmr.get(), u"Video Mixing Renderer"));
        auto config = twcom::QueryAs<IVMRFilterConfig9>(vmr->Identity(), IID_IVMRFilterConfig9);
        EXPECT_EQ(S_OK, config->SetRenderingMode(VMR9Mode_Windowless));
        auto wc = twcom::QueryAs<IVMRWindowlessControl9>(vmr->Identity(), IID_IVMRWindowlessControl9);
        EXPECT_EQ(S_OK, wc->SetVideoClippingWindow(hwnd));
        ComPtr<IEnumPins> pins;
        ComPtr<IPin> in;
        EXPECT_EQ(S_OK, vmr->EnumPins(pins.put()));
        EXPECT_EQ(S_OK, pins->Next(1, in.put(), nullptr));
        EXPECT_EQ(S_OK, gb->Connect(sourcePin.get(), in.get()));
        EXPECT_EQ(S_OK, wc->SetVideoPosition(nullptr, &dest));
        return wc;
    }

    twtest::ScratchRegistry registry;
    ComPtr<IGraphBuilder> gb;
    ComPtr<IMediaControl> mc;
    ComPtr<PatternSource> source;
    ComPtr<IPin> sourcePin;
    ComPtr<twds::Vmr9> vmr;
};

// The destination (20,10)-(180,70) is 160 x 60; letter-boxed, the 64 x 48 video
// fills 80 x 60 of it from x 60 to 140, and the border colour the rest.
TEST_F(VideoRenderers, Vmr9ScalesIntoTheDestinationWithBorderAndBlendsTheMixerBitmap)
{
    HWND hwnd = CreateVideoArea();
    auto wc = AddWindowlessVmr(hwnd, RECT{20, 10, 180, 70});
    ASSERT_TRUE(wc);
    ASSERT_EQ(S_OK, wc->SetAspectRatioMode(VMR9ARMode_LetterBox));
    ASSERT_EQ(S_OK, wc->SetBorderColor(RGB(255, 255, 0)));
    LONG w = 0, h = 0;
    ASSERT_EQ(S_OK, wc->GetNativeVideoSize(&w, &h, nullptr, nullptr));
    EXPECT_EQ(kW, w);
    EXPECT_EQ(kH, h);
    RECT src{}, dst{};
    ASSERT_EQ(S_OK, wc->GetVideoPosition(&src, &dst));
    EXPECT_EQ(kW, src.right);
    EXPECT_EQ(180, dst.right);

    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    // Quadrant centres of the scaled video, the border on both sides, and the
    // client area outside the destination left alone (black).
    EXPECT_TRUE(Shows(hwnd, 80, 25, kRed));
    EXPECT_TRUE(Shows(hwnd, 120, 25, kGreen));
    EXPECT_TRUE(Shows(hwnd, 80, 55, kBlue));
    EXPECT_TRUE(Shows(hwnd, 40, 40, 0xFFFF00));
    EXPECT_TRUE(Shows(hwnd, 160, 40, 0xFFFF00));
    EXPECT_TRUE(Shows(hwnd, 10, 40, 0x000000));
    EXPECT_TRUE(Shows(hwnd, 100, 80, 0x000000));

    // A white bitmap over the video's top-left quarter, half transparent.
    HDC screen = GetDC(hwnd);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 8, 8);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all{0, 0, 8, 8};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    auto mixer = twcom::QueryAs<IVMRMixerBitmap9>(vmr->Identity(), IID_IVMRMixerBitmap9);
    VMR9AlphaBitmap ab{};
    ab.dwFlags = VMR9AlphaBitmap_hDC;
    ab.hdc = mem;
    ab.rSrc = all;
    ab.rDest = VMR9NormalizedRect{0.0f, 0.0f, 0.5f, 0.5f};
    ab.fAlpha = 0.5f;
    ASSERT_EQ(S_OK, mixer->SetAlphaBitmap(&ab));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(hwnd, screen);

    EXPECT_TRUE(Shows(hwnd, 80, 25, 0xFF8080));     // red and white, half each
    EXPECT_TRUE(Shows(hwnd, 120, 25, kGreen));      // outside the bitmap: unchanged
    VMR9AlphaBitmap got{};
    ASSERT_EQ(S_OK, mixer->GetAlphaBitmapParameters(&got));
    EXPECT_FLOAT_EQ(0.5f, got.fAlpha);
    EXPECT_FLOAT_EQ(0.5f, got.rDest.right);

    twtest::TempDir dir;
    EXPECT_TRUE(twgui::test::SaveWindowPng(hwnd, dir.file("vmr9.png")));
    if (const char *keep = std::getenv("TW_KEEP_PICTURES"))
        twgui::test::SaveWindowPng(hwnd, std::string(keep) + "/vmr9.png");

    // Alpha 0 leaves the picture as it was.
    ab.fAlpha = 0.0f;
    ab.hdc = nullptr;
    ASSERT_EQ(S_OK, mixer->UpdateAlphaBitmapParameters(&ab));
    EXPECT_TRUE(Shows(hwnd, 80, 25, kRed));
    EXPECT_EQ(E_INVALIDARG, [&] {
        VMR9AlphaBitmap bad = ab;
        bad.fAlpha = 1.5f;
        return mixer->UpdateAlphaBitmapParameters(&bad);
    }());

    // The current image: a DIB of the native picture, bottom row first.
    BYTE *dib = nullptr;
    ASSERT_EQ(S_OK, wc->GetCurrentImage(&dib));
    const auto *bih = reinterpret_cast<const BITMAPINFOHEADER *>(dib);
    EXPECT_EQ(kW, bih->biWidth);
    EXPECT_EQ(kH, bih->biHeight);
    const auto *rows = reinterpret_cast<const uint32_t *>(dib + sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(kRed, rows[(kH - 1) * kW] & 0xFFFFFF);     // top left
    CoTaskMemFree(dib);
    DestroyWindow(hwnd);
}

TEST_F(VideoRenderers, Vmr9RepaintVideoRedrawsTheLastPictureOnPaint)
{
    HWND hwnd = CreateVideoArea();
    auto wc = AddWindowlessVmr(hwnd, RECT{0, 0, 128, 96});
    ASSERT_TRUE(wc);
    g_paintWith = wc.get();
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    ASSERT_TRUE(Shows(hwnd, 30, 20, kRed));
    ASSERT_EQ(S_OK, mc->Stop());

    // Something else paints over the video; the next WM_PAINT brings it back.
    HDC hdc = GetDC(hwnd);
    RECT all{0, 0, 128, 96};
    FillRect(hdc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(hwnd, hdc);
    ASSERT_TRUE(Shows(hwnd, 30, 20, 0x000000));
    InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_TRUE(Shows(hwnd, 30, 20, kRed));
    EXPECT_TRUE(Shows(hwnd, 90, 20, kGreen));
    DestroyWindow(hwnd);
}

// The window belongs to a thread that sleeps in a handler for 1.5 s; the
// streaming thread keeps presenting (the changing grey quadrant) meanwhile.
TEST_F(VideoRenderers, Vmr9StreamingNeverWaitsForABusyWindowThread)
{
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> done{false};
    std::thread ui([&] {
        HWND hwnd = CreateVideoArea();
        window = hwnd;
        MSG m;
        while (!done && GetMessageA(&m, nullptr, 0, 0) > 0)
            DispatchMessageA(&m);
        DestroyWindow(hwnd);
    });
    while (!window)
        Sleep(5);
    HWND hwnd = window;
    auto wc = AddWindowlessVmr(hwnd, RECT{0, 0, 128, 96});
    ASSERT_TRUE(wc);
    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    ASSERT_TRUE(Shows(hwnd, 30, 20, kRed));

    g_busyMs = 1500;
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    Sleep(100);     // the window thread is asleep now
    const LONG before = vmr->Presented();
    const uint32_t greyBefore = twgui::test::ReadWindowPixels(hwnd).At(100, 70);
    Sleep(300);     // about 8 frames: the grey, which repeats every 16, has changed
    EXPECT_GE(vmr->Presented() - before, 4);
    EXPECT_NE(greyBefore, twgui::test::ReadWindowPixels(hwnd).At(100, 70));

    ASSERT_EQ(S_OK, mc->Stop());
    done = true;
    PostMessageA(hwnd, WM_NULL, 0, 0);
    ui.join();
}

TEST_F(VideoRenderers, RenderPicksTheVideoRendererWhoseWindowShowsTheFrames)
{
    ASSERT_EQ(S_OK, gb->Render(sourcePin.get()));
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(S_OK, gb->FindFilterByName(u"Video Renderer", renderer.put()));
    CLSID clsid{};
    ASSERT_EQ(S_OK, renderer->GetClassID(&clsid));
    EXPECT_TRUE(clsid == CLSID_VideoRenderer);

    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    auto *filter = static_cast<twds::VideoRendererFilter *>(renderer.get());
    HWND hwnd = filter->Window();
    ASSERT_NE(nullptr, hwnd);
    // The client area is the video's size, or wider where the window's frame
    // has a minimum width; the video fills it.
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_GE(client.right, kW);
    EXPECT_EQ(kH, client.bottom);
    EXPECT_TRUE(Shows(hwnd, client.right / 4, kH / 4, kRed));
    EXPECT_TRUE(Shows(hwnd, client.right * 3 / 4, kH / 4, kGreen));
    EXPECT_TRUE(Shows(hwnd, client.right / 4, kH * 3 / 4, kBlue));

    auto bv = twcom::QueryAs<IBasicVideo>(gb.get(), IID_IBasicVideo);
    ASSERT_TRUE(bv);
    LONG w = 0, h = 0;
    EXPECT_EQ(S_OK, bv->GetVideoSize(&w, &h));
    EXPECT_EQ(kW, w);
    EXPECT_EQ(kH, h);
    REFTIME perFrame = 0;
    EXPECT_EQ(S_OK, bv->get_AvgTimePerFrame(&perFrame));
    EXPECT_DOUBLE_EQ(0.04, perFrame);
    if (const char *keep = std::getenv("TW_KEEP_PICTURES"))
        twgui::test::SaveWindowPng(hwnd, std::string(keep) + "/vidrend.png");
}

// Left windowed (its default), the VMR9 shows the video in a window of its own;
// the windowless control is refused, and the mode is fixed once connected.
TEST_F(VideoRenderers, Vmr9WindowedShowsItsOwnWindow)
{
    vmr = twcom::Make<twds::Vmr9>();
    ASSERT_EQ(S_OK, gb->AddFilter(vmr.get(), u"Video Mixing Renderer"));
    ComPtr<IPin> in;
    ASSERT_EQ(S_OK, vmr->FindPin(u"VMR Input0", in.put()));
    ASSERT_EQ(S_OK, gb->Connect(sourcePin.get(), in.get()));
    auto config = twcom::QueryAs<IVMRFilterConfig9>(vmr->Identity(), IID_IVMRFilterConfig9);
    DWORD mode = 0;
    ASSERT_EQ(S_OK, config->GetRenderingMode(&mode));
    EXPECT_EQ(DWORD(VMR9Mode_Windowed), mode);
    EXPECT_EQ(VFW_E_WRONG_STATE, config->SetRenderingMode(VMR9Mode_Windowless));
    auto wc = twcom::QueryAs<IVMRWindowlessControl9>(vmr->Identity(), IID_IVMRWindowlessControl9);
    EXPECT_EQ(VFW_E_WRONG_STATE, wc->SetBorderColor(0));

    ASSERT_TRUE(SUCCEEDED(mc->Run()));
    HWND hwnd = vmr->OwnWindow();
    ASSERT_NE(nullptr, hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_TRUE(Shows(hwnd, client.right / 4, client.bottom / 4, kRed));
    EXPECT_TRUE(Shows(hwnd, client.right / 4, client.bottom * 3 / 4, kBlue));
}

// A Video Renderer takes only video it can show: a type without a picture format
// is refused, so intelligent connect goes on to other renderers.
TEST_F(VideoRenderers, VideoRendererRefusesTypesWithoutAPictureFormat)
{
    auto r = twcom::Make<twds::VideoRendererFilter>();
    ComPtr<IPin> in;
    ASSERT_EQ(S_OK, r->FindPin(u"Input", in.put()));
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB32;
    mt.formattype = FORMAT_None;
    EXPECT_NE(S_OK, in->QueryAccept(&mt));
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biWidth = 100000;     // beyond any picture
    vih.bmiHeader.biHeight = 10;
    vih.bmiHeader.biBitCount = 32;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = reinterpret_cast<BYTE *>(&vih);
    EXPECT_NE(S_OK, in->QueryAccept(&mt));
    vih.bmiHeader.biWidth = 100;
    EXPECT_EQ(S_OK, in->QueryAccept(&mt));
}

} // namespace
