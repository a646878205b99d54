#include "vidrend.h"

#include <evcode.h>
#include <uuids.h>

#include <twcom/builtin_classes.h>

#include "mapper/builtin_filters.h"

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_class(CLSID_VideoRenderer, VideoRendererFilter::Create);

BuiltinFilterRegistration s_filter(RegisteredFilter{
    CLSID_VideoRenderer,
    u"Video Renderer",
    MERIT_PREFERRED + 1,
    {RegisteredPin{u"Input", true, false, false, false, GUID_NULL, u"", {{MEDIATYPE_Video, MEDIASUBTYPE_RGB32}}}}});

} // namespace

HRESULT VideoRendererFilter::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<VideoRendererFilter>(), riid, ppv);
}

VideoRendererFilter::VideoRendererFilter()
    : m_window(Path(), "ActiveMovie Window", [this] { NotifyEvent(EC_USERABORT, 0, 0); })
{
    SetClassId(CLSID_VideoRenderer);
    Input().Rename(u"Input");
}

VideoRendererFilter::~VideoRendererFilter()
{
    Stop();
}

HRESULT VideoRendererFilter::OnPause(FILTER_STATE from)
{
    HRESULT hr = VideoRenderer::OnPause(from);
    if (FAILED(hr))
        return hr;
    LONG width = 0, height = 0;
    if (from == State_Stopped && Path().NativeSize(&width, &height))
        m_window.Show(width, height);
    return S_OK;
}

RECT VideoRendererFilter::DefaultDestination()
{
    RECT client{0, 0, 0, 0};
    if (HWND hwnd = m_window.Handle())
        GetClientRect(hwnd, &client);
    return client;
}

} // namespace twds
