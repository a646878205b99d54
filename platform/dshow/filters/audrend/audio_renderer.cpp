#include "audio_renderer.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <uuids.h>

#include <twcom/builtin_classes.h>

#include "filters/audrend/pcm_gain.h"
#include "mapper/builtin_filters.h"

namespace twds {
namespace {

const char16_t kName[] = u"Default DirectSound Device";
const char16_t kPinName[] = u"Audio Input pin (rendered)";

// How long before its time a sample goes to the sound server: a little less
// than the server's buffer, so that the write rarely blocks.
const REFERENCE_TIME kDeviceLead = 2000000;      // 200 ms

twcom::BuiltinClassRegistration s_class(CLSID_DSoundRender, AudioRenderer::Create);

// The only filter of the platform that takes PCM in, so Render of a PCM pin
// picks it; a registered renderer of the same merit comes first (the mapper
// lists registry entries before built-ins).
BuiltinFilterRegistration s_filter(RegisteredFilter{
    CLSID_DSoundRender, kName, MERIT_NORMAL,
    {RegisteredPin{kPinName, true, false, false, false, GUID_NULL, u"", {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}}}});

// The wave format of a type the renderer takes, or null.
const WAVEFORMATEX *PcmFormat(const AM_MEDIA_TYPE &mt)
{
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt.subtype, MEDIASUBTYPE_PCM) ||
        !IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) || !mt.pbFormat || mt.cbFormat < sizeof(WAVEFORMATEX))
        return nullptr;
    auto *wf = reinterpret_cast<const WAVEFORMATEX *>(mt.pbFormat);
    if (wf->wFormatTag != WAVE_FORMAT_PCM || wf->wBitsPerSample != 16 || wf->nChannels == 0 ||
        wf->nSamplesPerSec == 0 || wf->nBlockAlign != wf->nChannels * 2)
        return nullptr;
    return wf;
}

} // namespace

HRESULT AudioRenderer::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<AudioRenderer>(), riid, ppv);
}

AudioRenderer::AudioRenderer() : m_timer(twcom::Make<SystemClock>())
{
    SetClassId(CLSID_DSoundRender);
    Input().Rename(kPinName);
}

AudioRenderer::~AudioRenderer()
{
    Stop();
}

HRESULT AudioRenderer::CheckMediaType(const AM_MEDIA_TYPE &mt)
{
    return PcmFormat(mt) ? S_OK : S_FALSE;
}

HRESULT AudioRenderer::OnPause(FILTER_STATE from)
{
    if (from == State_Stopped) {
        kit::MediaType type = Input().Type();
        const WAVEFORMATEX *wf = PcmFormat(type.get());
        if (wf) {
            m_channels = wf->nChannels;
            std::string why;
            auto device = PulseOutput::Open(*wf, &why);
            std::lock_guard<std::mutex> hold(m_deviceLock);
            m_device = std::move(device);
            m_toDevice = static_cast<bool>(m_device);
        }
    }
    return Renderer::OnPause(from);
}

HRESULT AudioRenderer::OnStop()
{
    // The kit first releases a streaming thread waiting for the clock, then the
    // device goes once a write in progress has returned.
    HRESULT hr = Renderer::OnStop();
    CloseDevice();
    return hr;
}

void AudioRenderer::CloseDevice()
{
    std::lock_guard<std::mutex> hold(m_deviceLock);
    if (m_device)
        m_device->Flush();
    m_device.reset();
    m_anchors.clear();
    m_bytesWritten = 0;
    m_toDevice = false;
}

REFERENCE_TIME AudioRenderer::PresentAhead()
{
    return m_toDevice.load() ? kDeviceLead : 0;
}

HRESULT AudioRenderer::DoRenderSample(IMediaSample *sample, REFERENCE_TIME)
{
    if (!m_toDevice.load())
        return S_OK;        // silent: presenting at its time is all there is to do
    BYTE *data = nullptr;
    LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || !data || length <= 0)
        return S_OK;
    // Scaled in a copy: the sample's buffer belongs to the upstream filter.
    std::vector<int16_t> pcm(static_cast<size_t>(length) / sizeof(int16_t));
    std::memcpy(pcm.data(), data, pcm.size() * sizeof(int16_t));
    ApplyGain(pcm.data(), pcm.size(), m_channels.load(), m_volume.load(), m_balance.load());
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::lock_guard<std::mutex> hold(m_deviceLock);
    if (!m_device || Input().Flushing())
        return S_OK;
    if (timed)
        m_anchors.push_back({m_bytesWritten, start});
    if (!m_device->Write(pcm.data(), pcm.size() * sizeof(int16_t))) {
        // The server went away: the rest of the run is silent, still on time.
        std::fprintf(stderr, "audio renderer: the sound server stopped taking samples; playing on silently\n");
        m_device.reset();
        m_anchors.clear();
        m_toDevice = false;
        return S_OK;
    }
    m_bytesWritten += pcm.size() * sizeof(int16_t);
    ObserveDevice();
    return S_OK;
}

void AudioRenderer::ObserveDevice()
{
    unsigned long long played = 0;
    if (State() != State_Running || m_anchors.empty() || !m_device->PlayedBytes(&played))
        return;
    REFERENCE_TIME now = SystemClock::Now();
    // The last anchor at or before the byte being heard; older ones are done with.
    size_t i = 0;
    while (i + 1 < m_anchors.size() && m_anchors[i + 1].byte <= played)
        ++i;
    m_anchors.erase(m_anchors.begin(), m_anchors.begin() + static_cast<std::ptrdiff_t>(i));
    const Anchor &a = m_anchors.front();
    if (played < a.byte)
        return;
    REFERENCE_TIME heard = a.start + static_cast<REFERENCE_TIME>((played - a.byte) * 10000000ull /
                                                                m_device->BytesPerSecond());
    std::lock_guard<std::mutex> hold(m_clockLock);
    m_time.Observe(now, StartTime() + heard);
}

HRESULT AudioRenderer::EndOfStream(kit::InputPin *pin)
{
    {
        std::lock_guard<std::mutex> hold(m_deviceLock);
        if (m_device && !Input().Flushing())
            m_device->Drain();
    }
    return Renderer::EndOfStream(pin);
}

HRESULT AudioRenderer::BeginFlush(kit::InputPin *pin)
{
    HRESULT hr = Renderer::BeginFlush(pin);
    std::lock_guard<std::mutex> hold(m_deviceLock);
    if (m_device)
        m_device->Flush();
    m_anchors.clear();
    m_bytesWritten = 0;
    return hr;
}

HRESULT STDMETHODCALLTYPE AudioRenderer::put_Volume(LONG lVolume)
{
    if (lVolume < kVolumeSilent || lVolume > kVolumeFull)
        return E_INVALIDARG;
    m_volume = lVolume;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioRenderer::get_Volume(LONG *plVolume)
{
    if (!plVolume)
        return E_POINTER;
    *plVolume = m_volume.load();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioRenderer::put_Balance(LONG lBalance)
{
    if (lBalance < kBalanceLeft || lBalance > kBalanceRight)
        return E_INVALIDARG;
    m_balance = lBalance;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioRenderer::get_Balance(LONG *plBalance)
{
    if (!plBalance)
        return E_POINTER;
    *plBalance = m_balance.load();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioRenderer::GetTime(REFERENCE_TIME *pTime)
{
    if (!pTime)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_clockLock);
    *pTime = m_time.At(SystemClock::Now());
    return S_OK;
}

REFERENCE_TIME AudioRenderer::ClockOffset()
{
    std::lock_guard<std::mutex> hold(m_clockLock);
    return m_time.Offset();
}

HRESULT STDMETHODCALLTYPE AudioRenderer::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                                    HEVENT hEvent, DWORD_PTR *pdwAdviseCookie)
{
    if (!m_timer)
        return E_OUTOFMEMORY;
    return m_timer->AdviseTime(baseTime - ClockOffset(), streamTime, hEvent, pdwAdviseCookie);
}

HRESULT STDMETHODCALLTYPE AudioRenderer::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                                        HSEMAPHORE hSemaphore, DWORD_PTR *pdwAdviseCookie)
{
    if (!m_timer)
        return E_OUTOFMEMORY;
    return m_timer->AdvisePeriodic(startTime - ClockOffset(), periodTime, hSemaphore, pdwAdviseCookie);
}

HRESULT STDMETHODCALLTYPE AudioRenderer::Unadvise(DWORD_PTR dwAdviseCookie)
{
    return m_timer ? m_timer->Unadvise(dwAdviseCookie) : S_FALSE;
}

HRESULT STDMETHODCALLTYPE AudioRenderer::JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName)
{
    if (!pGraph) {
        twcom::ComPtr<IReferenceClock> clock = Clock();
        if (clock.get() == static_cast<IReferenceClock *>(this))
            SetSyncSource(nullptr);
    }
    return Renderer::JoinFilterGraph(pGraph, pName);
}

HRESULT STDMETHODCALLTYPE AudioRenderer::GetTypeInfoCount(UINT *pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

} // namespace twds
