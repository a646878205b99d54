// IBasicVideo of the video renderers, over their picture path: the native size,
// the frame rate, and the source and destination rectangles.
//
// Threads: called on any application thread; the picture path keeps its own lock.
#pragma once
#include <control.h>
#include <twcom/object.h>

#include "filters/video/picture_path.h"

namespace twds {

class BasicVideo : public IBasicVideo {
public:
    // IDispatch (no type information: the interface is used through its vtable)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }

    // IBasicVideo
    HRESULT STDMETHODCALLTYPE get_AvgTimePerFrame(REFTIME *pAvgTimePerFrame) override;
    HRESULT STDMETHODCALLTYPE get_BitRate(LONG *pBitRate) override;
    HRESULT STDMETHODCALLTYPE get_BitErrorRate(LONG *pBitErrorRate) override;
    HRESULT STDMETHODCALLTYPE get_VideoWidth(LONG *pVideoWidth) override;
    HRESULT STDMETHODCALLTYPE get_VideoHeight(LONG *pVideoHeight) override;
    HRESULT STDMETHODCALLTYPE put_SourceLeft(LONG v) override { return PutSource(0, v); }
    HRESULT STDMETHODCALLTYPE get_SourceLeft(LONG *p) override { return GetSource(0, p); }
    HRESULT STDMETHODCALLTYPE put_SourceWidth(LONG v) override { return PutSource(2, v); }
    HRESULT STDMETHODCALLTYPE get_SourceWidth(LONG *p) override { return GetSource(2, p); }
    HRESULT STDMETHODCALLTYPE put_SourceTop(LONG v) override { return PutSource(1, v); }
    HRESULT STDMETHODCALLTYPE get_SourceTop(LONG *p) override { return GetSource(1, p); }
    HRESULT STDMETHODCALLTYPE put_SourceHeight(LONG v) override { return PutSource(3, v); }
    HRESULT STDMETHODCALLTYPE get_SourceHeight(LONG *p) override { return GetSource(3, p); }
    HRESULT STDMETHODCALLTYPE put_DestinationLeft(LONG v) override { return PutDest(0, v); }
    HRESULT STDMETHODCALLTYPE get_DestinationLeft(LONG *p) override { return GetDest(0, p); }
    HRESULT STDMETHODCALLTYPE put_DestinationWidth(LONG v) override { return PutDest(2, v); }
    HRESULT STDMETHODCALLTYPE get_DestinationWidth(LONG *p) override { return GetDest(2, p); }
    HRESULT STDMETHODCALLTYPE put_DestinationTop(LONG v) override { return PutDest(1, v); }
    HRESULT STDMETHODCALLTYPE get_DestinationTop(LONG *p) override { return GetDest(1, p); }
    HRESULT STDMETHODCALLTYPE put_DestinationHeight(LONG v) override { return PutDest(3, v); }
    HRESULT STDMETHODCALLTYPE get_DestinationHeight(LONG *p) override { return GetDest(3, p); }
    HRESULT STDMETHODCALLTYPE SetSourcePosition(LONG Left, LONG Top, LONG Width, LONG Height) override;
    HRESULT STDMETHODCALLTYPE GetSourcePosition(LONG *pLeft, LONG *pTop, LONG *pWidth, LONG *pHeight) override;
    HRESULT STDMETHODCALLTYPE SetDefaultSourcePosition() override;
    HRESULT STDMETHODCALLTYPE SetDestinationPosition(LONG Left, LONG Top, LONG Width, LONG Height) override;
    HRESULT STDMETHODCALLTYPE GetDestinationPosition(LONG *pLeft, LONG *pTop, LONG *pWidth, LONG *pHeight) override;
    HRESULT STDMETHODCALLTYPE SetDefaultDestinationPosition() override;
    HRESULT STDMETHODCALLTYPE GetVideoSize(LONG *pWidth, LONG *pHeight) override;
    HRESULT STDMETHODCALLTYPE GetVideoPaletteEntries(LONG, LONG, LONG *, LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentImage(LONG *pBufferSize, LONG *pDIBImage) override;
    HRESULT STDMETHODCALLTYPE IsUsingDefaultSource() override;
    HRESULT STDMETHODCALLTYPE IsUsingDefaultDestination() override;

protected:
    ~BasicVideo() = default;
    // The renderer's picture path.
    virtual PicturePath &VideoPath() = 0;
    // The destination a renderer uses by default (its window's client area).
    virtual RECT DefaultDestination() = 0;

private:
    // Rectangle parts by index: left, top, width, height.
    HRESULT PutSource(int part, LONG value);
    HRESULT GetSource(int part, LONG *value);
    HRESULT PutDest(int part, LONG value);
    HRESULT GetDest(int part, LONG *value);
};

} // namespace twds

TWCOM_INTERFACE(twds::BasicVideo, IID_IBasicVideo)
