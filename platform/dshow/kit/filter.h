// The kit's base filter: IBaseFilter with the filter state, the reference clock,
// graph membership and event notification. A concrete filter is
//
//   class Tee final : public twcom::Object<Tee, twds::kit::Filter, ...> { ... };
//
// (kit::Filter, and each kit base, answers IID_IBaseFilter, IID_IMediaFilter and IID_IPersist), owns
// its pins as members and lists them in Pins().
//
// Threads: state changes, SetSyncSource and JoinFilterGraph come from the graph's
// (application) thread and run under m_lock, the filter lock. Streaming threads
// read the state through State() (atomic) and the clock through Clock() (under
// m_lock) and never take m_lock while they wait. OnStop/OnPause/OnRun run with
// m_lock held; AfterStop runs after it is released, for joining threads.
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "kit/interfaces.h"

namespace twds::kit {

class Filter : public IBaseFilter {
public:
    // IPersist / IMediaFilter
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *pClassID) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE *State) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock *pClock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock **pClock) override;
    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin **ppPin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO *pInfo) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR *pVendorInfo) override;

    // The filter's identity, for pins and for events.
    IUnknown *Self() { return static_cast<IBaseFilter *>(this); }
    FILTER_STATE State() const { return m_state.load(); }
    // The stream-time origin given to Run (valid while running).
    REFERENCE_TIME StartTime() const { return m_start.load(); }
    // The clock or null; a reference for the caller.
    twcom::ComPtr<IReferenceClock> Clock();
    // Sends an event to the graph; S_FALSE when the filter is in no graph.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    // The graph the filter belongs to (not counted), or null. Graph thread only.
    IFilterGraph *Graph() const { return m_graph; }

protected:
    // The COM object kit builds the filter with no arguments; the concrete
    // filter names its class in its constructor.
    Filter() = default;
    virtual ~Filter() = default;
    void SetClassId(const CLSID &clsid) { m_clsid = clsid; }

    // The pins in enumeration order; called with m_lock held.
    virtual std::vector<IPin *> Pins() = 0;
    // State hooks, m_lock held. A failure leaves the state unchanged.
    virtual HRESULT OnPause(FILTER_STATE from) { (void)from; return S_OK; }
    virtual HRESULT OnRun(REFERENCE_TIME start) { (void)start; return S_OK; }
    virtual HRESULT OnStop() { return S_OK; }
    // After Stop released m_lock: join streaming threads here.
    virtual void AfterStop() {}
    // Whether the state reached is complete, or VFW_S_STATE_INTERMEDIATE (a
    // renderer waiting for its first sample). Waits up to timeoutMs.
    virtual HRESULT WaitStateComplete(DWORD timeoutMs) { (void)timeoutMs; return S_OK; }

    std::recursive_mutex m_lock;                 // the filter lock
    // Held across a whole state change; a subclass holds it (outside m_lock) for
    // work that must not interleave with one, such as restarting its streaming.
    std::recursive_mutex &TransitionLock() { return m_transition; }

private:
    // Held across a whole state change (Stop with AfterStop), outside m_lock, so
    // that a Pause cannot start streaming before the last Stop joined its threads.
    std::recursive_mutex m_transition;
    CLSID m_clsid = GUID_NULL;                          // set in construction
    std::atomic<FILTER_STATE> m_state{State_Stopped};  // written under m_lock
    std::atomic<REFERENCE_TIME> m_start{0};             // written under m_lock
    twcom::ComPtr<IReferenceClock> m_clock;             // m_lock
    IFilterGraph *m_graph = nullptr;                    // m_lock; not counted: the graph holds us
    std::mutex m_sinkLock;                              // held across Notify, so leaving a graph waits for it
    IMediaEventSink *m_sink = nullptr;                  // m_sinkLock; not counted, as m_graph
    std::u16string m_name;                              // m_lock
};

} // namespace twds::kit

TWCOM_INTERFACE(twds::kit::Filter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
