#include "vmr9.h"

#include <cstring>
#include <vector>

#include <evcode.h>
#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <twcom/builtin_classes.h>
#include <twgui/video.h>

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_class(CLSID_VideoMixingRenderer9, Vmr9::Create);

const DWORD kMaxStreams = 16;

} // namespace

HRESULT Vmr9::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<Vmr9>(), riid, ppv);
}

Vmr9::Vmr9() : m_window(Path(), "ActiveMovie Window", [this] { NotifyEvent(EC_USERABORT, 0, 0); })
{
    SetClassId(CLSID_VideoMixingRenderer9);
    Input().Rename(u"VMR Input0");
}

Vmr9::~Vmr9()
{
    Stop();
}

HWND Vmr9::TargetWindow()
{
    return Windowless() ? m_clip.load() : m_window.Handle();
}

HRESULT Vmr9::OnPause(FILTER_STATE from)
{
    HRESULT hr = VideoRenderer::OnPause(from);
    if (FAILED(hr))
        return hr;
    LONG width = 0, height = 0;
    if (from == State_Stopped && !Windowless() && Path().NativeSize(&width, &height))
        m_window.Show(width, height);
    return S_OK;
}

RECT Vmr9::DefaultDestination()
{
    RECT client{0, 0, 0, 0};
    if (HWND hwnd = TargetWindow())
        GetClientRect(hwnd, &client);
    return client;
}

// ---- IVMRFilterConfig9 -------------------------------------------------------------

HRESULT STDMETHODCALLTYPE Vmr9::SetNumberOfStreams(DWORD dwMaxStreams)
{
    // The mixer composes one stream; more inputs are accepted as a setting only.
    if (dwMaxStreams < 1 || dwMaxStreams > kMaxStreams)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (Input().IsConnected())
        return VFW_E_WRONG_STATE;
    m_streams = dwMaxStreams;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetNumberOfStreams(DWORD *pdwMaxStreams)
{
    if (!pdwMaxStreams)
        return E_POINTER;
    *pdwMaxStreams = m_streams.load();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::SetRenderingPrefs(DWORD dwRenderFlags)
{
    if (dwRenderFlags & ~DWORD(RenderPrefs9_Mask))
        return E_INVALIDARG;
    m_prefs = dwRenderFlags;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetRenderingPrefs(DWORD *pdwRenderFlags)
{
    if (!pdwRenderFlags)
        return E_POINTER;
    *pdwRenderFlags = m_prefs.load();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::SetRenderingMode(DWORD Mode)
{
    if (Mode == VMR9Mode_Renderless)
        return E_NOTIMPL;
    if (Mode != VMR9Mode_Windowed && Mode != VMR9Mode_Windowless)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (Input().IsConnected())
        return VFW_E_WRONG_STATE;
    m_mode = Mode;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetRenderingMode(DWORD *pMode)
{
    if (!pMode)
        return E_POINTER;
    *pMode = m_mode.load();
    return S_OK;
}

// ---- IVMRWindowlessControl9 --------------------------------------------------------

HRESULT STDMETHODCALLTYPE Vmr9::GetNativeVideoSize(LONG *lpWidth, LONG *lpHeight, LONG *lpARWidth, LONG *lpARHeight)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpWidth && !lpHeight && !lpARWidth && !lpARHeight)
        return E_POINTER;
    LONG w = 0, h = 0;
    Path().NativeSize(&w, &h);      // 0 x 0 before the input connects
    if (lpWidth)
        *lpWidth = w;
    if (lpHeight)
        *lpHeight = h;
    // Square pixels: the aspect ratio is the picture's.
    if (lpARWidth)
        *lpARWidth = w;
    if (lpARHeight)
        *lpARHeight = h;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetMinIdealVideoSize(LONG *lpWidth, LONG *lpHeight)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpWidth || !lpHeight)
        return E_POINTER;
    *lpWidth = 1;
    *lpHeight = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetMaxIdealVideoSize(LONG *lpWidth, LONG *lpHeight)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpWidth || !lpHeight)
        return E_POINTER;
    *lpWidth = 8192;
    *lpHeight = 8192;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::SetVideoPosition(const RECT *lpSRCRect, const RECT *lpDSTRect)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpSRCRect && !lpDSTRect)
        return E_POINTER;
    return Path().SetPosition(lpSRCRect, lpDSTRect);
}

HRESULT STDMETHODCALLTYPE Vmr9::GetVideoPosition(RECT *lpSRCRect, RECT *lpDSTRect)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpSRCRect && !lpDSTRect)
        return E_POINTER;
    Path().GetPosition(lpSRCRect, lpDSTRect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetAspectRatioMode(DWORD *lpAspectRatioMode)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpAspectRatioMode)
        return E_POINTER;
    *lpAspectRatioMode = Path().LetterBox() ? VMR9ARMode_LetterBox : VMR9ARMode_None;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::SetAspectRatioMode(DWORD AspectRatioMode)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (AspectRatioMode != VMR9ARMode_None && AspectRatioMode != VMR9ARMode_LetterBox)
        return E_INVALIDARG;
    Path().SetLetterBox(AspectRatioMode == VMR9ARMode_LetterBox);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::SetVideoClippingWindow(HWND hwnd)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!IsWindow(hwnd))
        return E_INVALIDARG;
    m_clip = hwnd;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::RepaintVideo(HWND hwnd, HDC hdc)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!hwnd || !hdc)
        return E_INVALIDARG;
    return Path().Repaint(hdc);
}

HRESULT STDMETHODCALLTYPE Vmr9::GetCurrentImage(BYTE **lpDib)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpDib)
        return E_POINTER;
    *lpDib = nullptr;
    std::vector<BYTE> dib;
    HRESULT hr = Path().CurrentImage(&dib);
    if (FAILED(hr))
        return hr;
    auto *copy = static_cast<BYTE *>(CoTaskMemAlloc(dib.size()));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, dib.data(), dib.size());
    *lpDib = copy;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::SetBorderColor(COLORREF Clr)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    Path().SetBorderColor(Clr);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Vmr9::GetBorderColor(COLORREF *lpClr)
{
    if (!Windowless())
        return VFW_E_WRONG_STATE;
    if (!lpClr)
        return E_POINTER;
    *lpClr = Path().BorderColor();
    return S_OK;
}

// ---- IVMRMixerBitmap9 ----------------------------------------------------------------

// The bitmap is read from the caller's DC at once (the caller may delete it
// right after the call); a Direct3D surface is not available on this platform.
HRESULT STDMETHODCALLTYPE Vmr9::SetAlphaBitmap(const VMR9AlphaBitmap *pBmpParms)
{
    if (!pBmpParms)
        return E_POINTER;
    const VMR9AlphaBitmap &p = *pBmpParms;
    if (p.dwFlags & VMR9AlphaBitmap_Disable)
        return Path().SetAlphaBitmap(p, {}, 0, 0);
    if (!(p.dwFlags & VMR9AlphaBitmap_hDC) || !p.hdc || p.pDDS)
        return E_INVALIDARG;
    const RECT &src = p.rSrc;
    std::vector<uint32_t> pixels;
    if (!twgui::ReadPicture(p.hdc, src, &pixels))
        return E_INVALIDARG;
    return Path().SetAlphaBitmap(p, std::move(pixels), int(src.right - src.left), int(src.bottom - src.top));
}

HRESULT STDMETHODCALLTYPE Vmr9::UpdateAlphaBitmapParameters(const VMR9AlphaBitmap *pBmpParms)
{
    if (!pBmpParms)
        return E_POINTER;
    return Path().UpdateAlphaBitmap(*pBmpParms);
}

HRESULT STDMETHODCALLTYPE Vmr9::GetAlphaBitmapParameters(VMR9AlphaBitmap *pBmpParms)
{
    if (!pBmpParms)
        return E_POINTER;
    return Path().GetAlphaBitmap(pBmpParms);
}

} // namespace twds
