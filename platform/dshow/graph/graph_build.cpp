// Building: membership, direct and intelligent connection, rendering, sources.
#include "filter_graph.h"

#include <algorithm>
#include <set>

#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <twcom/builtin_classes.h>
#include "mapper/filter_mapper.h"
#include "graph/graph_pins.h"
#include "kit/enumerators.h"
#include "media/media_types.h"
#include "graph/source_choice.h"
#include <twcom/guidtext.h>
#include <twkernel/textconv.h>

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_registration(CLSID_FilterGraph, FilterGraph::Create);

// How many filters intelligent connect may chain between two pins.
const int kMaxDepth = 5;

std::u16string Text(LPCWSTR s)
{
    return s ? std::u16string(reinterpret_cast<const char16_t *>(s)) : std::u16string();
}

// Filters upstream of a pin's filter (the filter itself included): candidates
// there would close a loop.
void CollectUpstream(IBaseFilter *filter, std::set<IBaseFilter *> &seen)
{
    if (!filter || !seen.insert(filter).second)
        return;
    for (auto &pin : PinsOf(filter, PINDIR_INPUT)) {
        twcom::ComPtr<IPin> peer;
        if (SUCCEEDED(pin->ConnectedTo(peer.put())) && peer)
            CollectUpstream(FilterOf(peer.get()).get(), seen);
    }
}

} // namespace

HRESULT FilterGraph::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<FilterGraph>(), riid, ppv);
}

FilterGraph::~FilterGraph()
{
    // The cue thread ends first; it may be waiting for m_lock, so it is joined
    // without it.
    {
        std::lock_guard<std::mutex> cue(m_cueLock);
        m_cueQuit = true;
    }
    m_cueWake.notify_all();
    if (m_cueThread.joinable())
        m_cueThread.join();
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    StopLocked();
    // Connected pins hold each other's filters: break every connection first.
    for (Member &m : m_filters)
        for (auto &pin : PinsOf(m.filter.get()))
            pin->Disconnect();
    for (Member &m : m_filters)
        m.filter->JoinFilterGraph(nullptr, nullptr);
    m_filters.clear();
}

bool FilterGraph::Contains(IBaseFilter *filter)
{
    for (Member &m : m_filters)
        if (m.filter.get() == filter)
            return true;
    return false;
}

bool FilterGraph::NameTaken(const std::u16string &name)
{
    for (Member &m : m_filters)
        if (m.name == name)
            return true;
    return false;
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddFilter(IBaseFilter *pFilter, LPCWSTR pName)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return AddLocked(pFilter, pName);
}

HRESULT FilterGraph::AddLocked(IBaseFilter *filter, LPCWSTR name)
{
    if (!filter)
        return E_POINTER;
    if (Contains(filter))
        return VFW_E_DUPLICATE_NAME;
    // A missing or taken name gets a number, as "Name 0001".
    std::u16string base = name && *name ? Text(name) : std::u16string(u"Filter");
    base = base.substr(0, MAX_FILTER_NAME - 6);
    std::u16string chosen = base;
    for (int n = 1; NameTaken(chosen); ++n) {
        char digits[16];
        snprintf(digits, sizeof(digits), " %04d", n);
        chosen = base + twk::WideFromUtf8(digits);
    }
    HRESULT hr = filter->JoinFilterGraph(static_cast<IFilterGraph2 *>(this), reinterpret_cast<LPCWSTR>(chosen.c_str()));
    if (FAILED(hr))
        return hr;
    m_filters.push_back({twcom::ComPtr<IBaseFilter>::Share(filter), chosen});
    if (m_clock)
        filter->SetSyncSource(m_clock.get());
    return name && *name && chosen != base ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::RemoveFilter(IBaseFilter *pFilter)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return RemoveLocked(pFilter);
}

HRESULT FilterGraph::RemoveLocked(IBaseFilter *filter)
{
    if (!filter)
        return E_POINTER;
    auto it = std::find_if(m_filters.begin(), m_filters.end(), [&](const Member &m) { return m.filter.get() == filter; });
    if (it == m_filters.end())
        return VFW_E_NOT_FOUND;
    twcom::ComPtr<IBaseFilter> keep = it->filter;
    keep->Stop();
    for (auto &pin : PinsOf(filter)) {
        twcom::ComPtr<IPin> peer;
        if (SUCCEEDED(pin->ConnectedTo(peer.put())) && peer) {
            peer->Disconnect();
            pin->Disconnect();
        }
    }
    keep->SetSyncSource(nullptr);
    keep->JoinFilterGraph(nullptr, nullptr);
    m_filters.erase(it);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::EnumFilters(IEnumFilters **ppEnum)
{
    std::vector<twcom::ComPtr<IBaseFilter>> filters;
    {
        std::lock_guard<std::recursive_mutex> hold(m_lock);
        for (Member &m : m_filters)
            filters.push_back(m.filter);
    }
    return kit::InterfaceEnum<IEnumFilters, IBaseFilter>::Create(std::move(filters), ppEnum);
}

HRESULT STDMETHODCALLTYPE FilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter **ppFilter)
{
    if (!ppFilter)
        return E_POINTER;
    *ppFilter = nullptr;
    if (!pName)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    std::u16string name = Text(pName);
    for (Member &m : m_filters) {
        if (m.name == name) {
            m.filter.copy_to(ppFilter);
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE FilterGraph::ConnectDirect(IPin *ppinOut, IPin *ppinIn, const AM_MEDIA_TYPE *pmt)
{
    if (!ppinOut || !ppinIn)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (!Contains(FilterOf(ppinOut).get()) || !Contains(FilterOf(ppinIn).get()))
        return VFW_E_NOT_IN_GRAPH;
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!DirectionIs(ppinOut, PINDIR_OUTPUT) || !DirectionIs(ppinIn, PINDIR_INPUT))
        return VFW_E_INVALID_DIRECTION;
    return ppinOut->Connect(ppinIn, pmt);
}

HRESULT STDMETHODCALLTYPE FilterGraph::Disconnect(IPin *ppin)
{
    if (!ppin)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return ppin->Disconnect();
}

HRESULT STDMETHODCALLTYPE FilterGraph::Reconnect(IPin *ppin)
{
    return ReconnectEx(ppin, nullptr);
}

HRESULT STDMETHODCALLTYPE FilterGraph::ReconnectEx(IPin *ppin, const AM_MEDIA_TYPE *pmt)
{
    if (!ppin)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    twcom::ComPtr<IPin> peer;
    if (FAILED(ppin->ConnectedTo(peer.put())) || !peer)
        return VFW_E_NOT_CONNECTED;
    IPin *out = DirectionIs(ppin, PINDIR_OUTPUT) ? ppin : peer.get();
    IPin *in = out == ppin ? peer.get() : ppin;
    twcom::ComPtr<IPin> keepOut = twcom::ComPtr<IPin>::Share(out), keepIn = twcom::ComPtr<IPin>::Share(in);
    AM_MEDIA_TYPE old{};
    bool haveOld = !pmt && SUCCEEDED(out->ConnectionMediaType(&old));
    in->Disconnect();
    out->Disconnect();
    HRESULT hr = out->Connect(in, pmt ? pmt : haveOld ? &old : nullptr);
    if (FAILED(hr) && haveOld)
        hr = out->Connect(in, nullptr);
    if (haveOld)
        FreeMediaType(&old);
    return hr;
}

void FilterGraph::Undo(std::vector<IBaseFilter *> &added, size_t keep)
{
    while (added.size() > keep) {
        RemoveLocked(added.back());
        added.pop_back();
    }
}

std::vector<CLSID> FilterGraph::Candidates(IPin *out, std::vector<std::u16string> &names)
{
    FilterQuery query;
    query.minMerit = MERIT_DO_NOT_USE + 1;
    query.inputNeeded = true;
    twcom::ComPtr<IEnumMediaTypes> e;
    if (SUCCEEDED(out->EnumMediaTypes(e.put())) && e) {
        AM_MEDIA_TYPE *mt = nullptr;
        while (e->Next(1, &mt, nullptr) == S_OK) {
            query.inputTypes.push_back({mt->majortype, mt->subtype});
            DeleteMediaType(mt);
        }
    }
    std::vector<CLSID> found;
    names.clear();
    for (const RegisteredFilter &f : FindMatchingFilters(query)) {
        found.push_back(f.clsid);
        names.push_back(f.name);
    }
    return found;
}

template <class Next>
HRESULT FilterGraph::TryThrough(IPin *out, IBaseFilter *filter, Next next)
{
    for (auto &in : PinsOf(filter, PINDIR_INPUT)) {
        if (IsConnected(in.get()) || FAILED(out->Connect(in.get(), nullptr)))
            continue;
        auto outputs = PinsOf(filter, PINDIR_OUTPUT);
        if (outputs.empty()) {
            if (SUCCEEDED(next(nullptr)))
                return S_OK;
        }
        bool any = false;
        for (auto &o : outputs)
            if (!IsConnected(o.get()) && SUCCEEDED(next(o.get())))
                any = true;
        if (any)
            return S_OK;
        in->Disconnect();
        out->Disconnect();
    }
    return VFW_E_CANNOT_CONNECT;
}

template <class Next>
HRESULT FilterGraph::TryFilters(IPin *out, const std::set<IBaseFilter *> &avoid, std::vector<IBaseFilter *> &added,
                                Next next)
{
    // Filters already in the graph first, then new ones from the mapper by merit;
    // a new filter that leads nowhere is taken out again.
    std::vector<twcom::ComPtr<IBaseFilter>> present;
    for (Member &m : m_filters)
        if (!avoid.count(m.filter.get()))
            present.push_back(m.filter);
    for (auto &f : present)
        if (SUCCEEDED(TryThrough(out, f.get(), next)))
            return S_OK;
    size_t mark = added.size();
    std::vector<std::u16string> names;
    auto clsids = Candidates(out, names);
    for (size_t i = 0; i < clsids.size(); ++i) {
        twcom::ComPtr<IBaseFilter> f;
        if (FAILED(CoCreateInstance(clsids[i], nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.put_void())))
            continue;
        if (FAILED(AddLocked(f.get(), reinterpret_cast<LPCWSTR>(names[i].c_str()))))
            continue;
        added.push_back(f.get());
        if (SUCCEEDED(TryThrough(out, f.get(), next)))
            return S_OK;
        Undo(added, mark);
    }
    return E_FAIL;
}

HRESULT FilterGraph::ConnectVia(IPin *out, IPin *in, int depth, std::vector<IBaseFilter *> &added)
{
    if (SUCCEEDED(out->Connect(in, nullptr)))
        return S_OK;
    if (depth >= kMaxDepth)
        return VFW_E_CANNOT_CONNECT;
    std::set<IBaseFilter *> avoid;
    CollectUpstream(FilterOf(out).get(), avoid);
    auto target = FilterOf(in);
    avoid.insert(target.get());
    auto next = [&](IPin *o) -> HRESULT {
        return o ? ConnectVia(o, in, depth + 1, added) : VFW_E_CANNOT_CONNECT;
    };
    return SUCCEEDED(TryFilters(out, avoid, added, next)) ? S_OK : VFW_E_CANNOT_CONNECT;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Connect(IPin *ppinOut, IPin *ppinIn)
{
    if (!ppinOut || !ppinIn)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (!Contains(FilterOf(ppinOut).get()) || !Contains(FilterOf(ppinIn).get()))
        return VFW_E_NOT_IN_GRAPH;
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!DirectionIs(ppinOut, PINDIR_OUTPUT) || !DirectionIs(ppinIn, PINDIR_INPUT))
        return VFW_E_INVALID_DIRECTION;
    if (IsConnected(ppinOut) || IsConnected(ppinIn))
        return VFW_E_ALREADY_CONNECTED;
    std::vector<IBaseFilter *> added;
    HRESULT hr = ConnectVia(ppinOut, ppinIn, 0, added);
    if (FAILED(hr))
        Undo(added, 0);
    return hr;
}

HRESULT FilterGraph::RenderPin(IPin *out, int depth, std::vector<IBaseFilter *> &added)
{
    if (depth >= kMaxDepth)
        return VFW_E_CANNOT_RENDER;
    std::set<IBaseFilter *> avoid;
    CollectUpstream(FilterOf(out).get(), avoid);
    auto next = [&](IPin *o) -> HRESULT { return o ? RenderPin(o, depth + 1, added) : S_OK; };
    return SUCCEEDED(TryFilters(out, avoid, added, next)) ? S_OK : VFW_E_CANNOT_RENDER;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Render(IPin *ppinOut)
{
    return RenderEx(ppinOut, 0, nullptr);
}

HRESULT STDMETHODCALLTYPE FilterGraph::RenderEx(IPin *pPinOut, DWORD, DWORD *)
{
    if (!pPinOut)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (!Contains(FilterOf(pPinOut).get()))
        return VFW_E_NOT_IN_GRAPH;
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!DirectionIs(pPinOut, PINDIR_OUTPUT))
        return VFW_E_INVALID_DIRECTION;
    if (IsConnected(pPinOut))
        return VFW_E_ALREADY_CONNECTED;
    std::vector<IBaseFilter *> added;
    HRESULT hr = RenderPin(pPinOut, 0, added);
    if (FAILED(hr))
        Undo(added, 0);
    return hr;
}

HRESULT FilterGraph::CreateSource(LPCWSTR url, LPCWSTR name, twcom::ComPtr<IBaseFilter> &source)
{
    CLSID clsid;
    HRESULT hr = ChooseSourceFilter(url, &clsid);
    if (FAILED(hr))
        return hr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, source.put_void())))
        return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
    auto file = twcom::QueryAs<IFileSourceFilter>(source.get(), IID_IFileSourceFilter);
    if (!file)
        return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
    hr = file->Load(url, nullptr);
    if (FAILED(hr))
        return hr;
    return AddLocked(source.get(), name ? name : url);
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                                       IBaseFilter **ppFilter)
{
    if (!lpcwstrFileName || !ppFilter)
        return E_POINTER;
    *ppFilter = nullptr;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    twcom::ComPtr<IBaseFilter> source;
    HRESULT hr = CreateSource(lpcwstrFileName, lpcwstrFilterName, source);
    if (SUCCEEDED(hr))
        *ppFilter = source.detach();
    return hr;
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddSourceFilterForMoniker(IMoniker *, IBindCtx *, LPCWSTR, IBaseFilter **)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::RenderFile(LPCWSTR lpcwstrFile, LPCWSTR)
{
    if (!lpcwstrFile)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    twcom::ComPtr<IBaseFilter> source;
    HRESULT hr = CreateSource(lpcwstrFile, lpcwstrFile, source);
    if (FAILED(hr))
        return hr;
    int rendered = 0, failed = 0, audioFailed = 0, videoFailed = 0;
    for (auto &pin : PinsOf(source.get(), PINDIR_OUTPUT)) {
        if (IsConnected(pin.get()))
            continue;
        std::vector<IBaseFilter *> added;
        if (SUCCEEDED(RenderPin(pin.get(), 0, added))) {
            ++rendered;
            continue;
        }
        Undo(added, 0);
        ++failed;
        GUID major = MajorTypeOf(pin.get());
        audioFailed += major == MEDIATYPE_Audio;
        videoFailed += major == MEDIATYPE_Video;
    }
    if (rendered == 0) {
        // Nothing could be shown: the graph is left as it was.
        RemoveLocked(source.get());
        return VFW_E_CANNOT_RENDER;
    }
    if (failed == 0)
        return S_OK;
    if (failed == audioFailed)
        return VFW_S_AUDIO_NOT_RENDERED;
    if (failed == videoFailed)
        return VFW_S_VIDEO_NOT_RENDERED;
    return VFW_S_PARTIAL_RENDER;
}

HRESULT STDMETHODCALLTYPE FilterGraph::RenderFile(BSTR strFilename)
{
    return RenderFile(strFilename, nullptr);
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddSourceFilter(BSTR strFilename, IDispatch **ppUnk)
{
    if (ppUnk)
        *ppUnk = nullptr;
    (void)strFilename;
    return E_NOTIMPL;
}

} // namespace twds
