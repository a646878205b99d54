// Filter graph control through automation-compatible interfaces: run state, the
// event queue, position in seconds, and the basic video and audio properties.
#pragma once
#include <oaidl.h>
#include <strmif.h>

typedef LONG OAFilterState;
typedef LONG_PTR OAHWND;
typedef LONG_PTR OAEVENT;

DEFINE_GUID(IID_IMediaControl, 0x56a868b1, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEventEx, 0x56a868c0, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaPosition, 0x56a868b2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IBasicAudio, 0x56a868b3, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IBasicVideo, 0x56a868b5, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);

#ifdef __cplusplus

struct IMediaControl : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Run() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState *pfs) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderFile(BSTR strFilename) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR strFilename, IDispatch **ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch **ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch **ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopWhenReady() = 0;
};

struct IMediaEvent : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT *hEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEvent(LONG *lEventCode, LONG_PTR *lParam1, LONG_PTR *lParam2,
                                               LONG msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForCompletion(LONG msTimeout, LONG *pEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelDefaultHandling(LONG lEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(LONG lEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;
};

struct IMediaEventEx : public IMediaEvent {
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyFlags(LONG lNoNotifyFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNotifyFlags(LONG *lplNoNotifyFlags) = 0;
};

struct IMediaPosition : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Duration(REFTIME *plength) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME llTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME *pllTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME *pllTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME llTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME *pllTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME llTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Rate(double dRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Rate(double *pdRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE CanSeekForward(LONG *pCanSeekForward) = 0;
    virtual HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG *pCanSeekBackward) = 0;
};

// Volume in hundredths of a decibel (0 is full, -10000 silence); balance from
// -10000 (left only) to 10000 (right only).
struct IBasicAudio : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Volume(LONG lVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Volume(LONG *plVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Balance(LONG lBalance) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Balance(LONG *plBalance) = 0;
};

struct IBasicVideo : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_AvgTimePerFrame(REFTIME *pAvgTimePerFrame) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BitRate(LONG *pBitRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BitErrorRate(LONG *pBitErrorRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VideoWidth(LONG *pVideoWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VideoHeight(LONG *pVideoHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SourceLeft(LONG SourceLeft) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SourceLeft(LONG *pSourceLeft) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SourceWidth(LONG SourceWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SourceWidth(LONG *pSourceWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SourceTop(LONG SourceTop) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SourceTop(LONG *pSourceTop) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SourceHeight(LONG SourceHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SourceHeight(LONG *pSourceHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DestinationLeft(LONG DestinationLeft) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DestinationLeft(LONG *pDestinationLeft) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DestinationWidth(LONG DestinationWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DestinationWidth(LONG *pDestinationWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DestinationTop(LONG DestinationTop) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DestinationTop(LONG *pDestinationTop) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DestinationHeight(LONG DestinationHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DestinationHeight(LONG *pDestinationHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourcePosition(LONG Left, LONG Top, LONG Width, LONG Height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSourcePosition(LONG *pLeft, LONG *pTop, LONG *pWidth, LONG *pHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultSourcePosition() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDestinationPosition(LONG Left, LONG Top, LONG Width, LONG Height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDestinationPosition(LONG *pLeft, LONG *pTop, LONG *pWidth,
                                                             LONG *pHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultDestinationPosition() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVideoSize(LONG *pWidth, LONG *pHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVideoPaletteEntries(LONG StartIndex, LONG Entries, LONG *pRetrieved,
                                                             LONG *pPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentImage(LONG *pBufferSize, LONG *pDIBImage) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsUsingDefaultSource() = 0;
    virtual HRESULT STDMETHODCALLTYPE IsUsingDefaultDestination() = 0;
};

#endif
