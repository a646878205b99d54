// IBasicAudio and IBasicVideo: passed to the renderer that offers them, E_NOTIMPL
// when none does.
#include "filter_graph.h"

#include "graph/graph_pins.h"

namespace twds {

template <class I>
twcom::ComPtr<I> FilterGraph::RendererOffering(REFIID iid)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    // Connected renderers first; a filter that offers it anywhere else after them.
    for (Member &m : m_filters)
        if (IsRenderer(m.filter.get()))
            if (auto p = twcom::QueryAs<I>(m.filter.get(), iid))
                return p;
    for (Member &m : m_filters)
        if (auto p = twcom::QueryAs<I>(m.filter.get(), iid))
            return p;
    return nullptr;
}

#define TW_PASS_AUDIO(call)                                                   \
    {                                                                         \
        auto target = RendererOffering<IBasicAudio>(IID_IBasicAudio);         \
        return target ? target->call : E_NOTIMPL;                             \
    }
#define TW_PASS_VIDEO(call)                                                   \
    {                                                                         \
        auto target = RendererOffering<IBasicVideo>(IID_IBasicVideo);         \
        return target ? target->call : E_NOTIMPL;                             \
    }

HRESULT STDMETHODCALLTYPE FilterGraph::put_Volume(LONG lVolume)
{
    if (lVolume < -10000 || lVolume > 0)
        return E_INVALIDARG;
    TW_PASS_AUDIO(put_Volume(lVolume))
}
HRESULT STDMETHODCALLTYPE FilterGraph::get_Volume(LONG *p) TW_PASS_AUDIO(get_Volume(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_Balance(LONG lBalance)
{
    if (lBalance < -10000 || lBalance > 10000)
        return E_INVALIDARG;
    TW_PASS_AUDIO(put_Balance(lBalance))
}
HRESULT STDMETHODCALLTYPE FilterGraph::get_Balance(LONG *p) TW_PASS_AUDIO(get_Balance(p))

HRESULT STDMETHODCALLTYPE FilterGraph::get_AvgTimePerFrame(REFTIME *p) TW_PASS_VIDEO(get_AvgTimePerFrame(p))
HRESULT STDMETHODCALLTYPE FilterGraph::get_BitRate(LONG *p) TW_PASS_VIDEO(get_BitRate(p))
HRESULT STDMETHODCALLTYPE FilterGraph::get_BitErrorRate(LONG *p) TW_PASS_VIDEO(get_BitErrorRate(p))
HRESULT STDMETHODCALLTYPE FilterGraph::get_VideoWidth(LONG *p) TW_PASS_VIDEO(get_VideoWidth(p))
HRESULT STDMETHODCALLTYPE FilterGraph::get_VideoHeight(LONG *p) TW_PASS_VIDEO(get_VideoHeight(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_SourceLeft(LONG v) TW_PASS_VIDEO(put_SourceLeft(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_SourceLeft(LONG *p) TW_PASS_VIDEO(get_SourceLeft(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_SourceWidth(LONG v) TW_PASS_VIDEO(put_SourceWidth(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_SourceWidth(LONG *p) TW_PASS_VIDEO(get_SourceWidth(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_SourceTop(LONG v) TW_PASS_VIDEO(put_SourceTop(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_SourceTop(LONG *p) TW_PASS_VIDEO(get_SourceTop(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_SourceHeight(LONG v) TW_PASS_VIDEO(put_SourceHeight(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_SourceHeight(LONG *p) TW_PASS_VIDEO(get_SourceHeight(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_DestinationLeft(LONG v) TW_PASS_VIDEO(put_DestinationLeft(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_DestinationLeft(LONG *p) TW_PASS_VIDEO(get_DestinationLeft(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_DestinationWidth(LONG v) TW_PASS_VIDEO(put_DestinationWidth(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_DestinationWidth(LONG *p) TW_PASS_VIDEO(get_DestinationWidth(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_DestinationTop(LONG v) TW_PASS_VIDEO(put_DestinationTop(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_DestinationTop(LONG *p) TW_PASS_VIDEO(get_DestinationTop(p))
HRESULT STDMETHODCALLTYPE FilterGraph::put_DestinationHeight(LONG v) TW_PASS_VIDEO(put_DestinationHeight(v))
HRESULT STDMETHODCALLTYPE FilterGraph::get_DestinationHeight(LONG *p) TW_PASS_VIDEO(get_DestinationHeight(p))
HRESULT STDMETHODCALLTYPE FilterGraph::SetSourcePosition(LONG l, LONG t, LONG w, LONG h)
    TW_PASS_VIDEO(SetSourcePosition(l, t, w, h))
HRESULT STDMETHODCALLTYPE FilterGraph::GetSourcePosition(LONG *l, LONG *t, LONG *w, LONG *h)
    TW_PASS_VIDEO(GetSourcePosition(l, t, w, h))
HRESULT STDMETHODCALLTYPE FilterGraph::SetDefaultSourcePosition() TW_PASS_VIDEO(SetDefaultSourcePosition())
HRESULT STDMETHODCALLTYPE FilterGraph::SetDestinationPosition(LONG l, LONG t, LONG w, LONG h)
    TW_PASS_VIDEO(SetDestinationPosition(l, t, w, h))
HRESULT STDMETHODCALLTYPE FilterGraph::GetDestinationPosition(LONG *l, LONG *t, LONG *w, LONG *h)
    TW_PASS_VIDEO(GetDestinationPosition(l, t, w, h))
HRESULT STDMETHODCALLTYPE FilterGraph::SetDefaultDestinationPosition() TW_PASS_VIDEO(SetDefaultDestinationPosition())
HRESULT STDMETHODCALLTYPE FilterGraph::GetVideoSize(LONG *w, LONG *h) TW_PASS_VIDEO(GetVideoSize(w, h))
HRESULT STDMETHODCALLTYPE FilterGraph::GetVideoPaletteEntries(LONG s, LONG n, LONG *r, LONG *p)
    TW_PASS_VIDEO(GetVideoPaletteEntries(s, n, r, p))
HRESULT STDMETHODCALLTYPE FilterGraph::GetCurrentImage(LONG *size, LONG *image)
    TW_PASS_VIDEO(GetCurrentImage(size, image))
HRESULT STDMETHODCALLTYPE FilterGraph::IsUsingDefaultSource() TW_PASS_VIDEO(IsUsingDefaultSource())
HRESULT STDMETHODCALLTYPE FilterGraph::IsUsingDefaultDestination() TW_PASS_VIDEO(IsUsingDefaultDestination())

} // namespace twds
