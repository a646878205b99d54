#include "basic_video.h"

#include <cstring>
#include <vector>

#include <vfwmsgs.h>

namespace twds {
namespace {

LONG Part(const RECT &r, int part)
{
    switch (part) {
    case 0: return r.left;
    case 1: return r.top;
    case 2: return r.right - r.left;
    default: return r.bottom - r.top;
    }
}

// The rectangle with one part replaced; a width or height keeps the left or top.
RECT WithPart(RECT r, int part, LONG value)
{
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    switch (part) {
    case 0: r.left = value; r.right = value + w; break;
    case 1: r.top = value; r.bottom = value + h; break;
    case 2: r.right = r.left + value; break;
    default: r.bottom = r.top + value; break;
    }
    return r;
}

} // namespace

HRESULT STDMETHODCALLTYPE BasicVideo::GetTypeInfoCount(UINT *pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::get_AvgTimePerFrame(REFTIME *pAvgTimePerFrame)
{
    if (!pAvgTimePerFrame)
        return E_POINTER;
    LONG w = 0, h = 0;
    if (!VideoPath().NativeSize(&w, &h))
        return VFW_E_NOT_CONNECTED;
    *pAvgTimePerFrame = double(VideoPath().AvgTimePerFrame()) / 10000000.0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::get_BitRate(LONG *pBitRate)
{
    if (!pBitRate)
        return E_POINTER;
    *pBitRate = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::get_BitErrorRate(LONG *pBitErrorRate)
{
    if (!pBitErrorRate)
        return E_POINTER;
    *pBitErrorRate = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::get_VideoWidth(LONG *pVideoWidth)
{
    LONG h = 0;
    return GetVideoSize(pVideoWidth, pVideoWidth ? &h : nullptr);
}

HRESULT STDMETHODCALLTYPE BasicVideo::get_VideoHeight(LONG *pVideoHeight)
{
    LONG w = 0;
    return GetVideoSize(pVideoHeight ? &w : nullptr, pVideoHeight);
}

HRESULT STDMETHODCALLTYPE BasicVideo::GetVideoSize(LONG *pWidth, LONG *pHeight)
{
    if (!pWidth || !pHeight)
        return E_POINTER;
    return VideoPath().NativeSize(pWidth, pHeight) ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT BasicVideo::PutSource(int part, LONG value)
{
    RECT source;
    VideoPath().GetPosition(&source, nullptr);
    source = WithPart(source, part, value);
    return VideoPath().SetPosition(&source, nullptr);
}

HRESULT BasicVideo::GetSource(int part, LONG *value)
{
    if (!value)
        return E_POINTER;
    RECT source;
    VideoPath().GetPosition(&source, nullptr);
    *value = Part(source, part);
    return S_OK;
}

HRESULT BasicVideo::PutDest(int part, LONG value)
{
    RECT dest;
    VideoPath().GetPosition(nullptr, &dest);
    dest = WithPart(dest, part, value);
    return VideoPath().SetPosition(nullptr, &dest);
}

HRESULT BasicVideo::GetDest(int part, LONG *value)
{
    if (!value)
        return E_POINTER;
    RECT dest;
    VideoPath().GetPosition(nullptr, &dest);
    *value = Part(dest, part);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::SetSourcePosition(LONG Left, LONG Top, LONG Width, LONG Height)
{
    const RECT source{Left, Top, Left + Width, Top + Height};
    return VideoPath().SetPosition(&source, nullptr);
}

HRESULT STDMETHODCALLTYPE BasicVideo::GetSourcePosition(LONG *pLeft, LONG *pTop, LONG *pWidth, LONG *pHeight)
{
    if (!pLeft || !pTop || !pWidth || !pHeight)
        return E_POINTER;
    RECT r;
    VideoPath().GetPosition(&r, nullptr);
    *pLeft = r.left;
    *pTop = r.top;
    *pWidth = r.right - r.left;
    *pHeight = r.bottom - r.top;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::SetDefaultSourcePosition()
{
    VideoPath().DefaultSource();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::SetDestinationPosition(LONG Left, LONG Top, LONG Width, LONG Height)
{
    const RECT dest{Left, Top, Left + Width, Top + Height};
    return VideoPath().SetPosition(nullptr, &dest);
}

HRESULT STDMETHODCALLTYPE BasicVideo::GetDestinationPosition(LONG *pLeft, LONG *pTop, LONG *pWidth, LONG *pHeight)
{
    if (!pLeft || !pTop || !pWidth || !pHeight)
        return E_POINTER;
    RECT r;
    VideoPath().GetPosition(nullptr, &r);
    *pLeft = r.left;
    *pTop = r.top;
    *pWidth = r.right - r.left;
    *pHeight = r.bottom - r.top;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::SetDefaultDestinationPosition()
{
    const RECT dest = DefaultDestination();
    return VideoPath().SetPosition(nullptr, &dest);
}

HRESULT STDMETHODCALLTYPE BasicVideo::GetCurrentImage(LONG *pBufferSize, LONG *pDIBImage)
{
    if (!pBufferSize)
        return E_POINTER;
    std::vector<BYTE> dib;
    HRESULT hr = VideoPath().CurrentImage(&dib);
    if (FAILED(hr))
        return hr;
    if (!pDIBImage) {
        *pBufferSize = LONG(dib.size());
        return S_OK;
    }
    if (*pBufferSize < LONG(dib.size()))
        return E_OUTOFMEMORY;
    std::memcpy(pDIBImage, dib.data(), dib.size());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BasicVideo::IsUsingDefaultSource()
{
    LONG w = 0, h = 0;
    VideoPath().NativeSize(&w, &h);
    RECT r;
    VideoPath().GetPosition(&r, nullptr);
    return r.left == 0 && r.top == 0 && r.right == w && r.bottom == h ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE BasicVideo::IsUsingDefaultDestination()
{
    const RECT d = DefaultDestination();
    RECT r;
    VideoPath().GetPosition(nullptr, &r);
    return std::memcmp(&r, &d, sizeof(RECT)) == 0 ? S_OK : S_FALSE;
}

} // namespace twds
