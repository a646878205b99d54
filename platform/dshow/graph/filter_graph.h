// The filter graph manager (CLSID_FilterGraph): builds graphs (adding, connecting
// and rendering, intelligent connect through the filter mapper by merit), runs
// them (state changes from the renderers upstream, the reference clock), queues
// their events for the application, and passes seeking, audio and video
// properties to the filters that offer them.
//
// Threads: the application calls in from any thread; building and state changes
// are serialised by m_lock, which is never held while waiting for a renderer
// (GetState time-outs). A Run whose renderers have no data yet is completed by
// the cue thread (m_cueThread), which starts the clock once every renderer has its
// first sample. Filters call back only into IMediaEventSink, which
// takes the event queue's lock alone, so a streaming thread never waits for
// m_lock or for the application's thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <control.h>

#include "graph/event_queue.h"
#include "kit/interfaces.h"

TWCOM_INTERFACE(IFilterGraph2, IID_IFilterGraph2, IID_IGraphBuilder, IID_IFilterGraph)
TWCOM_INTERFACE(IMediaControl, IID_IMediaControl, IID_IDispatch)
TWCOM_INTERFACE(IMediaEventEx, IID_IMediaEventEx, IID_IMediaEvent, IID_IDispatch)
TWCOM_INTERFACE(IMediaEventSink, IID_IMediaEventSink)
TWCOM_INTERFACE(IMediaFilter, IID_IMediaFilter, IID_IPersist)
TWCOM_INTERFACE(IMediaPosition, IID_IMediaPosition)
TWCOM_INTERFACE(IBasicAudio, IID_IBasicAudio)
TWCOM_INTERFACE(IBasicVideo, IID_IBasicVideo)

namespace twds {

class FilterGraph final
    : public twcom::Object<FilterGraph, IFilterGraph2, IMediaControl, IMediaEventEx, IMediaEventSink, IMediaFilter,
                           IMediaSeeking, IMediaPosition, IBasicAudio, IBasicVideo> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    FilterGraph() = default;
    ~FilterGraph() override;

    // IFilterGraph
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter *pFilter, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter *pFilter) override;
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters **ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter **ppFilter) override;
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin *ppinOut, IPin *ppinIn, const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE Reconnect(IPin *ppin) override;
    HRESULT STDMETHODCALLTYPE Disconnect(IPin *ppin) override;
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override;
    // IGraphBuilder
    HRESULT STDMETHODCALLTYPE Connect(IPin *ppinOut, IPin *ppinIn) override;
    HRESULT STDMETHODCALLTYPE Render(IPin *ppinOut) override;
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
    HRESULT STDMETHODCALLTYPE AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                              IBaseFilter **ppFilter) override;
    HRESULT STDMETHODCALLTYPE SetLogFile(DWORD_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Abort() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShouldOperationContinue() override { return S_OK; }
    // IFilterGraph2
    HRESULT STDMETHODCALLTYPE AddSourceFilterForMoniker(IMoniker *pMoniker, IBindCtx *pCtx, LPCWSTR lpcwstrFilterName,
                                                        IBaseFilter **ppFilter) override;
    HRESULT STDMETHODCALLTYPE ReconnectEx(IPin *ppin, const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE RenderEx(IPin *pPinOut, DWORD dwFlags, DWORD *pvContext) override;

    // IDispatch (no type information: the interfaces are used through their vtables)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        return E_NOTIMPL;
    }

    // IMediaControl (Pause and Stop are shared with IMediaFilter)
    HRESULT STDMETHODCALLTYPE Run() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState *pfs) override;
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR strFilename) override;
    HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR strFilename, IDispatch **ppUnk) override;
    HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StopWhenReady() override;

    // IMediaEvent / IMediaEventEx
    HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT *hEvent) override;
    HRESULT STDMETHODCALLTYPE GetEvent(LONG *lEventCode, LONG_PTR *lParam1, LONG_PTR *lParam2,
                                       LONG msTimeout) override;
    HRESULT STDMETHODCALLTYPE WaitForCompletion(LONG msTimeout, LONG *pEvCode) override;
    HRESULT STDMETHODCALLTYPE CancelDefaultHandling(LONG lEvCode) override;
    HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(LONG lEvCode) override;
    HRESULT STDMETHODCALLTYPE FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) override;
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) override;
    HRESULT STDMETHODCALLTYPE SetNotifyFlags(LONG lNoNotifyFlags) override;
    HRESULT STDMETHODCALLTYPE GetNotifyFlags(LONG *lplNoNotifyFlags) override;

    // IMediaEventSink
    HRESULT STDMETHODCALLTYPE Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

    // IMediaFilter
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *pClassID) override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE *State) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock *pClock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock **pClock) override;

    // IMediaSeeking
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD *pCapabilities) override;
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD *pCapabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID *pFormat) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG *pDuration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG *pStop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG *pCurrent) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                                const GUID *pSourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop,
                                           DWORD dwStopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG *pCurrent, LONGLONG *pStop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest) override;
    HRESULT STDMETHODCALLTYPE SetRate(double dRate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double *pdRate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG *pllPreroll) override;

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME *plength) override;
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME llTime) override;
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME *pllTime) override;
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME *pllTime) override;
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME llTime) override;
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME *pllTime) override;
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME llTime) override;
    HRESULT STDMETHODCALLTYPE put_Rate(double dRate) override;
    HRESULT STDMETHODCALLTYPE get_Rate(double *pdRate) override;
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG *pCanSeekForward) override;
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG *pCanSeekBackward) override;

    // IBasicAudio
    HRESULT STDMETHODCALLTYPE put_Volume(LONG lVolume) override;
    HRESULT STDMETHODCALLTYPE get_Volume(LONG *plVolume) override;
    HRESULT STDMETHODCALLTYPE put_Balance(LONG lBalance) override;
    HRESULT STDMETHODCALLTYPE get_Balance(LONG *plBalance) override;

    // IBasicVideo
    HRESULT STDMETHODCALLTYPE get_AvgTimePerFrame(REFTIME *p) override;
    HRESULT STDMETHODCALLTYPE get_BitRate(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_BitErrorRate(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_VideoWidth(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_VideoHeight(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_SourceLeft(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_SourceLeft(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_SourceWidth(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_SourceWidth(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_SourceTop(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_SourceTop(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_SourceHeight(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_SourceHeight(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_DestinationLeft(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_DestinationLeft(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_DestinationWidth(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_DestinationWidth(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_DestinationTop(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_DestinationTop(LONG *p) override;
    HRESULT STDMETHODCALLTYPE put_DestinationHeight(LONG v) override;
    HRESULT STDMETHODCALLTYPE get_DestinationHeight(LONG *p) override;
    HRESULT STDMETHODCALLTYPE SetSourcePosition(LONG l, LONG t, LONG w, LONG h) override;
    HRESULT STDMETHODCALLTYPE GetSourcePosition(LONG *l, LONG *t, LONG *w, LONG *h) override;
    HRESULT STDMETHODCALLTYPE SetDefaultSourcePosition() override;
    HRESULT STDMETHODCALLTYPE SetDestinationPosition(LONG l, LONG t, LONG w, LONG h) override;
    HRESULT STDMETHODCALLTYPE GetDestinationPosition(LONG *l, LONG *t, LONG *w, LONG *h) override;
    HRESULT STDMETHODCALLTYPE SetDefaultDestinationPosition() override;
    HRESULT STDMETHODCALLTYPE GetVideoSize(LONG *w, LONG *h) override;
    HRESULT STDMETHODCALLTYPE GetVideoPaletteEntries(LONG s, LONG n, LONG *r, LONG *p) override;
    HRESULT STDMETHODCALLTYPE GetCurrentImage(LONG *size, LONG *image) override;
    HRESULT STDMETHODCALLTYPE IsUsingDefaultSource() override;
    HRESULT STDMETHODCALLTYPE IsUsingDefaultDestination() override;

private:
    struct Member {
        twcom::ComPtr<IBaseFilter> filter;
        std::u16string name;
    };

    // Building (graph_build.cpp); m_lock held.
    bool Contains(IBaseFilter *filter);
    bool NameTaken(const std::u16string &name);
    HRESULT AddLocked(IBaseFilter *filter, LPCWSTR name);
    HRESULT RemoveLocked(IBaseFilter *filter);
    // Connects out to in directly or through intermediate filters; `added`
    // collects the filters this attempt added.
    HRESULT ConnectVia(IPin *out, IPin *in, int depth, std::vector<IBaseFilter *> &added);
    // Renders out to a renderer; depth bounds the chain.
    HRESULT RenderPin(IPin *out, int depth, std::vector<IBaseFilter *> &added);
    // Tries one filter as the next step from out: connects one of its free inputs,
    // then `next` for its outputs. The filter is in the graph.
    template <class Next>
    HRESULT TryThrough(IPin *out, IBaseFilter *filter, Next next);
    // Tries the filters in the graph (but those in `avoid`), then the mapper's, as
    // the next step from out.
    template <class Next>
    HRESULT TryFilters(IPin *out, const std::set<IBaseFilter *> &avoid, std::vector<IBaseFilter *> &added, Next next);
    // Filters registered for out's media types, by merit, with their names.
    std::vector<CLSID> Candidates(IPin *out, std::vector<std::u16string> &names);
    void Undo(std::vector<IBaseFilter *> &added, size_t keep);
    HRESULT CreateSource(LPCWSTR url, LPCWSTR name, twcom::ComPtr<IBaseFilter> &source);

    // Control (graph_control.cpp); m_lock held.
    std::vector<twcom::ComPtr<IBaseFilter>> DownstreamFirst();
    HRESULT ForEachDownstreamFirst(const std::function<HRESULT(IBaseFilter *)> &change);
    int CountRenderers();
    HRESULT EnsureClock();
    HRESULT PauseLocked();
    HRESULT RunLocked(REFERENCE_TIME start);
    HRESULT StopLocked();
    // Starts the clock: stream time goes on from where the pause left it.
    HRESULT StartClockLocked();
    // Whether every filter has finished its pause (renderers hold their first sample).
    bool AllCuedLocked();
    // A pending run is given up (Pause, Stop, a new Run).
    void CancelPendingRunLocked();
    // The cue thread: waits for requests, then for the renderers, then runs.
    void CueLoop();
    void CueThenRun(unsigned generation);
    // Waits up to timeoutMs for every filter to finish its state change; without m_lock.
    HRESULT WaitStates(DWORD timeoutMs);

    // Passing on (graph_seeking.cpp, graph_basic.cpp).
    std::vector<twcom::ComPtr<IMediaSeeking>> SeekingTargets();
    template <class I>
    twcom::ComPtr<I> RendererOffering(REFIID iid);
    REFERENCE_TIME StreamTime();

    std::recursive_mutex m_lock;
    std::vector<Member> m_filters;                  // m_lock
    FILTER_STATE m_state = State_Stopped;           // m_lock
    twcom::ComPtr<IReferenceClock> m_clock;         // m_lock
    bool m_clockChosen = false;                     // m_lock: set by SetSyncSource or the default choice
    REFERENCE_TIME m_start = 0;                     // m_lock: stream time 0 on the clock while running
    REFERENCE_TIME m_pausedAt = 0;                  // m_lock: stream time reached when paused
    REFERENCE_TIME m_seekBase = 0;                  // m_lock: media position of stream time 0
    EventQueue m_events;                            // its own lock

    // A Run waiting for the renderers' first samples: the filters are paused, the
    // application sees the graph running (intermediate) until the clock starts.
    bool m_runPending = false;                      // m_lock
    std::atomic<unsigned> m_runGeneration{0};       // written under m_lock; a pending run's number
    std::mutex m_cueLock;                           // guards the three below, never held with m_lock
    std::condition_variable m_cueWake;
    unsigned m_cueRequested = 0;                    // m_cueLock: the run generation to cue
    bool m_cueQuit = false;                         // m_cueLock: the graph is going away
    std::thread m_cueThread;                        // started by the first deferred Run (m_lock); joined by the destructor
};

} // namespace twds
