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
#pragma once
#include <atomic>
#include <memory>
#include <mutex>

#include <control.h>

#include "filters/audrend/pulse_output.h"
#include "kit/renderer.h"

TWCOM_INTERFACE(IBasicAudio, IID_IBasicAudio)

namespace twds {

class AudioRenderer final
    : public twcom::Object<AudioRenderer, kit::Renderer, IBasicAudio, IAMFilterMiscFlags> {
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
    void CloseDevice();

    std::atomic<LONG> m_volume{0};
    std::atomic<LONG> m_balance{0};
    std::atomic<bool> m_toDevice{false};        // written under the filter lock
    std::atomic<unsigned> m_channels{0};        // written under the filter lock at the pause
    std::mutex m_deviceLock;
    std::unique_ptr<PulseOutput> m_device;      // m_deviceLock; opened at Pause from Stopped, closed at Stop
};

} // namespace twds
