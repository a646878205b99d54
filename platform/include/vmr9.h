// Video Mixing Renderer 9: windowless presentation, the mixer's alpha bitmap and
// the renderer's configuration.
#pragma once
#include <unknwn.h>
#include <wtypes.h>
#include <strmif.h>

#ifdef __cplusplus
struct IDirect3DSurface9;
struct IVMRImageCompositor9;
#endif

DEFINE_GUID(IID_IVMRWindowlessControl9, 0x8f537d09, 0xf85e, 0x4414, 0xb2, 0x3b, 0x50, 0x2e, 0x54, 0xc7, 0x99, 0x27);
DEFINE_GUID(IID_IVMRMixerBitmap9, 0xced175e5, 0x1935, 0x4820, 0x81, 0xbd, 0xff, 0x6a, 0xd0, 0x0c, 0x91, 0x08);
DEFINE_GUID(IID_IVMRFilterConfig9, 0x5a804648, 0x4f66, 0x4867, 0x9c, 0x43, 0x4f, 0x5c, 0x82, 0x2c, 0xf1, 0xb8);

typedef enum _VMR9AspectRatioMode {
    VMR9ARMode_None = 0,
    VMR9ARMode_LetterBox = 1
} VMR9AspectRatioMode;

// A rectangle in the composition space, (0,0)-(1,1) being the whole output.
typedef struct _VMR9NormalizedRect {
    FLOAT left;
    FLOAT top;
    FLOAT right;
    FLOAT bottom;
} VMR9NormalizedRect;

typedef enum _VMR9AlphaBitmapFlags {
    VMR9AlphaBitmap_Disable = 0x1,
    VMR9AlphaBitmap_hDC = 0x2,
    VMR9AlphaBitmap_EntireDDS = 0x4,
    VMR9AlphaBitmap_SrcColorKey = 0x8,
    VMR9AlphaBitmap_SrcRect = 0x10,
    VMR9AlphaBitmap_FilterMode = 0x20
} VMR9AlphaBitmapFlags;

// The bitmap comes from hdc (VMR9AlphaBitmap_hDC, with rSrc) or from pDDS; it is
// blended over the video at rDest with opacity fAlpha (0 to 1).
typedef struct _VMR9AlphaBitmap {
    DWORD dwFlags;
    HDC hdc;
    IDirect3DSurface9 *pDDS;
    RECT rSrc;
    VMR9NormalizedRect rDest;
    FLOAT fAlpha;
    COLORREF clrSrcKey;
    DWORD dwFilterMode;
} VMR9AlphaBitmap;

typedef enum _VMR9RenderPrefs {
    RenderPrefs9_DoNotRenderBorder = 0x1,
    RenderPrefs9_Mask = 0x1
} VMR9RenderPrefs;

typedef enum _VMR9Mode {
    VMR9Mode_Windowed = 0x1,
    VMR9Mode_Windowless = 0x2,
    VMR9Mode_Renderless = 0x4,
    VMR9Mode_Mask = 0x7
} VMR9Mode;

#ifdef __cplusplus

struct IVMRWindowlessControl9 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetNativeVideoSize(LONG *lpWidth, LONG *lpHeight, LONG *lpARWidth,
                                                         LONG *lpARHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMinIdealVideoSize(LONG *lpWidth, LONG *lpHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaxIdealVideoSize(LONG *lpWidth, LONG *lpHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVideoPosition(const RECT *lpSRCRect, const RECT *lpDSTRect) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVideoPosition(RECT *lpSRCRect, RECT *lpDSTRect) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAspectRatioMode(DWORD *lpAspectRatioMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAspectRatioMode(DWORD AspectRatioMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVideoClippingWindow(HWND hwnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE RepaintVideo(HWND hwnd, HDC hdc) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisplayModeChanged() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentImage(BYTE **lpDib) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBorderColor(COLORREF Clr) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBorderColor(COLORREF *lpClr) = 0;
};

struct IVMRMixerBitmap9 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetAlphaBitmap(const VMR9AlphaBitmap *pBmpParms) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateAlphaBitmapParameters(const VMR9AlphaBitmap *pBmpParms) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAlphaBitmapParameters(VMR9AlphaBitmap *pBmpParms) = 0;
};

struct IVMRFilterConfig9 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetImageCompositor(IVMRImageCompositor9 *lpVMRImgCompositor) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNumberOfStreams(DWORD dwMaxStreams) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfStreams(DWORD *pdwMaxStreams) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderingPrefs(DWORD dwRenderFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderingPrefs(DWORD *pdwRenderFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderingMode(DWORD Mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderingMode(DWORD *pMode) = 0;
};

#endif
