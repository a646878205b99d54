// The default audio renderer (CLSID_DSoundRender, "Default DirectSound Device"):
// one rendered input pin for 16-bit PCM (FORMAT_WaveFormatEx, any rate and
// channel count), IBasicAudio, played on the PulseAudio server. When no sound
// server answers at the pause out of Stopped, the same filter renders silently:
// the kit presents each sample at its time on the graph's clock, so playback
// keeps real time on a machine without sound.
//
// With a server the kit hands each sample over kDeviceLead before its time, so
// that the server's buffer never runs dry; the server's own pacing does the
// rest. End of stream waits until the server has played everything, then the
// kit sends EC_COMPLETE.
//
// Threads: the graph's thread changes state (filter lock); the upstream
// streaming thread writes samples and drains at end of stream under
// m_deviceLock, which a Stop or flush takes after the kit released its waiters,
// so a write blocked on a full server buffer delays them by at most that buffer.
// Volume and balance are atomics that any thread may set.
//
// The filter is also the graph's reference clock when it is the renderer the
// graph manager finds first: the machine's clock, pulled toward the position the
// sound server reports while it plays (see SlavedTime); without a server it is
// the machine's clock. Advises go to a system clock of the filter's own,
// shifted by the difference. Any thread reads the clock (m_clockLock, taken
// under no other lock of the filter but the kit's render lock).
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <control.h>

#include "clock/system_clock.h"
#include "filters/audrend/pulse_output.h"
#include "filters/audrend/slaved_time.h"
#include "kit/renderer.h"

TWCOM_INTERFACE(IBasicAudio, IID_IBasicAudio)

namespace twds {

class AudioRenderer final
    : public twcom::Object<AudioRenderer, kit::Renderer, IBasicAudio, IReferenceClock, IAMFilterMiscFlags> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    AudioRenderer();
    ~AudioRenderer() override;

    // Whether the current run plays to a sound server (false: silently).
    bool PlaysToDevice() const { return m_toDevice.load(); }

    // IBasicAudio
    HRESULT STDMETHODCALLTYPE put_Volume(LONG lVolume) override;
    HRESULT STDMETHODCALLTYPE get_Volume(LONG *plVolume) override;
    HRESULT STDMETHODCALLTYPE put_Balance(LONG lBalance) override;
    HRESULT STDMETHODCALLTYPE get_Balance(LONG *plBalance) override;
    // IDispatch (no type information: the interface is used through its vtable)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        return E_NOTIMPL;
    }
    // IReferenceClock
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME *pTime) override;
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                                         DWORD_PTR *pdwAdviseCookie) override;
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                             HSEMAPHORE hSemaphore, DWORD_PTR *pdwAdviseCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR dwAdviseCookie) override;
    // IBaseFilter: leaving a graph drops the filter's own clock, which would
    // otherwise keep the filter alive through itself.
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName) override;
    // IAMFilterMiscFlags
    ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

protected:
    // Renderer
    HRESULT CheckMediaType(const AM_MEDIA_TYPE &mt) override;
    HRESULT DoRenderSample(IMediaSample *sample, REFERENCE_TIME lateness) override;
    REFERENCE_TIME PresentAhead() override;

    // Filter
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;

    // InputHandler
    HRESULT EndOfStream(kit::InputPin *pin) override;
    HRESULT BeginFlush(kit::InputPin *pin) override;

private:
    // Where the written bytes stand on the media timeline: a sample's start at
    // the byte count written before it, kept while its bytes may be playing.
    struct Anchor {
        unsigned long long byte;
        REFERENCE_TIME start;
    };

    void CloseDevice();
    // The clock's reading minus the machine's (advises are shifted by it).
    REFERENCE_TIME ClockOffset();
    // After a write: tells the clock where the server's playback stands. m_deviceLock held.
    void ObserveDevice();

    std::atomic<LONG> m_volume{0};
    std::atomic<LONG> m_balance{0};
    std::atomic<bool> m_toDevice{false};        // written under the filter lock
    std::atomic<unsigned> m_channels{0};        // written under the filter lock at the pause
    std::mutex m_deviceLock;
    std::unique_ptr<PulseOutput> m_device;      // m_deviceLock; opened at Pause from Stopped, closed at Stop
    std::vector<Anchor> m_anchors;              // m_deviceLock; emptied with every flush
    unsigned long long m_bytesWritten = 0;      // m_deviceLock; since the device's last flush
    std::mutex m_clockLock;
    SlavedTime m_time;                          // m_clockLock
    twcom::ComPtr<SystemClock> m_timer;         // set in construction: serves the advises
};

} // namespace twds
