// The Video Mixing Renderer 9 (CLSID_VideoMixingRenderer9), created by name only
// (the mapper never offers it to intelligent connect). Windowed, its default
// mode, it shows the video in a window of its own as the "Video Renderer" does;
// windowless (IVMRFilterConfig9, before the input connects), it draws into the
// application's clipping window at the destination rectangle from the streaming
// thread, and the application repaints it on WM_PAINT (RepaintVideo). The mixer
// bitmap (IVMRMixerBitmap9) is blended into every picture.
//
// Threads: configuration calls come from the application's threads; the mode is
// changed only while the input is unconnected (filter lock); the clipping window
// is atomic, read by the streaming thread.
#pragma once
#include <atomic>

#include <vmr9.h>

#include "filters/video/basic_video.h"
#include "filters/video/video_renderer.h"
#include "filters/video/video_window.h"

TWCOM_INTERFACE(IVMRFilterConfig9, IID_IVMRFilterConfig9)
TWCOM_INTERFACE(IVMRWindowlessControl9, IID_IVMRWindowlessControl9)
TWCOM_INTERFACE(IVMRMixerBitmap9, IID_IVMRMixerBitmap9)

namespace twds {

class Vmr9 final : public twcom::Object<Vmr9, VideoRenderer, BasicVideo, IVMRFilterConfig9, IVMRWindowlessControl9,
                                        IVMRMixerBitmap9, IAMFilterMiscFlags> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    Vmr9();
    ~Vmr9() override;

    ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // IVMRFilterConfig9
    HRESULT STDMETHODCALLTYPE SetImageCompositor(IVMRImageCompositor9 *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetNumberOfStreams(DWORD dwMaxStreams) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfStreams(DWORD *pdwMaxStreams) override;
    HRESULT STDMETHODCALLTYPE SetRenderingPrefs(DWORD dwRenderFlags) override;
    HRESULT STDMETHODCALLTYPE GetRenderingPrefs(DWORD *pdwRenderFlags) override;
    HRESULT STDMETHODCALLTYPE SetRenderingMode(DWORD Mode) override;
    HRESULT STDMETHODCALLTYPE GetRenderingMode(DWORD *pMode) override;

    // IVMRWindowlessControl9
    HRESULT STDMETHODCALLTYPE GetNativeVideoSize(LONG *lpWidth, LONG *lpHeight, LONG *lpARWidth,
                                                 LONG *lpARHeight) override;
    HRESULT STDMETHODCALLTYPE GetMinIdealVideoSize(LONG *lpWidth, LONG *lpHeight) override;
    HRESULT STDMETHODCALLTYPE GetMaxIdealVideoSize(LONG *lpWidth, LONG *lpHeight) override;
    HRESULT STDMETHODCALLTYPE SetVideoPosition(const RECT *lpSRCRect, const RECT *lpDSTRect) override;
    HRESULT STDMETHODCALLTYPE GetVideoPosition(RECT *lpSRCRect, RECT *lpDSTRect) override;
    HRESULT STDMETHODCALLTYPE GetAspectRatioMode(DWORD *lpAspectRatioMode) override;
    HRESULT STDMETHODCALLTYPE SetAspectRatioMode(DWORD AspectRatioMode) override;
    HRESULT STDMETHODCALLTYPE SetVideoClippingWindow(HWND hwnd) override;
    HRESULT STDMETHODCALLTYPE RepaintVideo(HWND hwnd, HDC hdc) override;
    HRESULT STDMETHODCALLTYPE DisplayModeChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurrentImage(BYTE **lpDib) override;
    HRESULT STDMETHODCALLTYPE SetBorderColor(COLORREF Clr) override;
    HRESULT STDMETHODCALLTYPE GetBorderColor(COLORREF *lpClr) override;

    // IVMRMixerBitmap9
    HRESULT STDMETHODCALLTYPE SetAlphaBitmap(const VMR9AlphaBitmap *pBmpParms) override;
    HRESULT STDMETHODCALLTYPE UpdateAlphaBitmapParameters(const VMR9AlphaBitmap *pBmpParms) override;
    HRESULT STDMETHODCALLTYPE GetAlphaBitmapParameters(VMR9AlphaBitmap *pBmpParms) override;

    // The windowed mode's own window (null otherwise, or before the graph paused).
    HWND OwnWindow() const { return m_window.Handle(); }

protected:
    HWND TargetWindow() override;
    HRESULT OnPause(FILTER_STATE from) override;
    PicturePath &VideoPath() override { return Path(); }
    RECT DefaultDestination() override;

private:
    bool Windowless() const { return m_mode.load() == VMR9Mode_Windowless; }

    std::atomic<DWORD> m_mode{VMR9Mode_Windowed};   // changed under the filter lock while unconnected
    std::atomic<HWND> m_clip{nullptr};              // the windowless clipping window
    std::atomic<DWORD> m_streams{0};                // filter lock
    std::atomic<DWORD> m_prefs{0};
    VideoWindow m_window;                           // windowed mode; graph thread
};

} // namespace twds
