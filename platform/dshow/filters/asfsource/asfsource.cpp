#include "asfsource.h"

#include <algorithm>
#include <cstring>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <twcom/builtin_classes.h>

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_registration(CLSID_NetShowSource, AsfSource::Create);

// Packets held per pin between the reader and the delivery thread: a few seconds
// of video frames or audio packets at the bit rates of network streams.
constexpr size_t kQueuePackets = 256;
// The stop position of a stream without a duration.
constexpr LONGLONG kEndless = 0x7fffffffffffffffLL;

kit::MediaType ToMediaType(const twwmf::MediaFormat &f)
{
    AM_MEDIA_TYPE mt{};
    mt.majortype = f.majortype;
    mt.subtype = f.subtype;
    mt.bFixedSizeSamples = f.bFixedSizeSamples;
    mt.bTemporalCompression = f.bTemporalCompression;
    mt.lSampleSize = f.lSampleSize;
    mt.formattype = f.formattype;
    mt.cbFormat = static_cast<ULONG>(f.format.size());
    mt.pbFormat = const_cast<BYTE *>(f.format.data());
    return kit::MediaType(mt);
}

// A buffer that holds the stream's largest compressed sample: a key frame of a
// video stream can be a good part of a second's data.
LONG BufferSize(const twwmf::AsfStreamDesc &s)
{
    bool video = s.streamType == WMMEDIATYPE_Video;
    LONG floor = video ? 512 * 1024 : 64 * 1024;
    return std::max<LONG>(floor, static_cast<LONG>(std::min<DWORD>(s.bitrate, 64u << 20) / (video ? 4 : 8)));
}

LONG Clamp(uint64_t v)
{
    return static_cast<LONG>(std::min<uint64_t>(v, 0x7fffffff));
}

} // namespace

HRESULT AsfSource::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<AsfSource>(), riid, ppv);
}

AsfSource::AsfSource()
{
    SetClassId(CLSID_NetShowSource);
}

AsfSource::~AsfSource()
{
    // FillSample and the reader use this class's members: stop before they go.
    Stop();
}

HRESULT STDMETHODCALLTYPE AsfSource::Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *)
{
    if (!pszFileName)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (!m_url.empty() || State() != State_Stopped)
        return E_UNEXPECTED;
    auto input = std::make_shared<twwmf::AsfInput>(m_settings);
    {
        std::lock_guard<std::mutex> holdInput(m_inputLock);
        m_input = input;        // so that the network status answers while opening
    }
    std::u16string url(pszFileName);
    HRESULT hr = input->Open(url);
    if (FAILED(hr)) {
        std::lock_guard<std::mutex> holdInput(m_inputLock);
        m_input.reset();
        return hr;
    }
    const twwmf::AsfHeaderInfo &header = input->Header();
    if (header.streams.empty()) {
        std::lock_guard<std::mutex> holdInput(m_inputLock);
        m_input.reset();
        return VFW_E_NO_ACCEPTABLE_TYPES;
    }
    m_url = url;
    m_broadcast = header.broadcast;
    m_seekable = header.seekable;
    m_duration = header.broadcast ? 0 : static_cast<LONGLONG>(header.duration);
    m_stop = kEndless;
    for (const twwmf::AsfStreamDesc &desc : header.streams) {
        Stream s;
        s.number = desc.number;
        s.type = ToMediaType(desc.mediaType);
        s.bufferSize = BufferSize(desc);
        s.queue = std::make_unique<PacketQueue>(kQueuePackets);
        m_streams.push_back(std::move(s));
        std::string name = "Stream " + std::to_string(desc.number);
        AddPin(std::u16string(name.begin(), name.end()));
    }
    std::lock_guard<std::mutex> holdInput(m_inputLock);
    m_inputOpened = true;
    return S_OK;
}

size_t AsfSource::QueuedPackets() const
{
    size_t n = 0;
    for (const Stream &s : m_streams)
        n += s.queue->Size();
    return n;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt)
{
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = nullptr;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_url.empty())
        return E_FAIL;
    size_t bytes = (m_url.size() + 1) * sizeof(char16_t);
    auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, m_url.c_str(), bytes);
    *ppszFileName = copy;
    if (pmt) {
        *pmt = AM_MEDIA_TYPE{};
        pmt->majortype = MEDIATYPE_Stream;
    }
    return S_OK;
}

// --- Streaming -----------------------------------------------------------------

HRESULT AsfSource::OnPause(FILTER_STATE from)
{
    if (from != State_Stopped)
        return S_OK;
    if (m_url.empty())
        return VFW_E_NOT_CONNECTED;
    for (size_t i = 0; i < m_streams.size(); ++i) {
        m_streams[i].queue->Reset();
        m_streams[i].connected = Pin(i).IsConnected();
    }
    SetSegment(m_position, m_stop.load());
    m_delivered = -1;
    HRESULT hr = Source::OnPause(from);
    if (FAILED(hr))
        return hr;
    StartReader();
    return S_OK;
}

void AsfSource::StartReader()
{
    // The input of this run: Load's while it is unread, else a new one that the
    // reader opens (Stop can cancel it from the start).
    std::shared_ptr<twwmf::AsfInput> input;
    bool opened;
    {
        std::lock_guard<std::mutex> hold(m_inputLock);
        if (!m_input || !m_inputOpened)
            m_input = std::make_shared<twwmf::AsfInput>(m_settings);
        input = m_input;
        opened = m_inputOpened;
        m_inputOpened = false;
    }
    LONGLONG from = m_position;
    m_reader = std::thread([this, input, opened, from] { ReaderThread(input, opened, from); });
}

void AsfSource::InterruptReader()
{
    {
        std::lock_guard<std::mutex> hold(m_inputLock);
        if (m_input)
            m_input->Cancel();
    }
    CloseQueues(E_ABORT);
}

HRESULT AsfSource::OnStop()
{
    InterruptReader();
    return Source::OnStop();
}

void AsfSource::AfterStop()
{
    Source::AfterStop();
    if (m_reader.joinable())
        m_reader.join();
}

void AsfSource::CloseQueues(HRESULT end)
{
    for (Stream &s : m_streams)
        s.queue->Close(end);
}

void AsfSource::ReaderThread(std::shared_ptr<twwmf::AsfInput> input, bool opened, LONGLONG from)
{
    // While the input fills its buffer (its preroll, or a second of a broadcast;
    // at the start, after a stall or a reconnect), packets are held here and go
    // downstream together once it is full: the renderers start on a full buffer.
    // The buffer bounds the hold.
    std::vector<twwmf::AsfPacket> held;
    auto deliver = [this](twwmf::AsfPacket &&packet) {
        for (Stream &s : m_streams)
            if (s.number == packet.streamNumber && s.connected)
                return s.queue->Push(std::move(packet));
        return true;            // a stream nobody takes
    };
    HRESULT hr = opened ? S_OK : input->Open(m_url);
    // After a seek, video starts at a key frame and audio at the position: the
    // input goes back to the key frame at or before it, and sound before the
    // position would only be thrown away downstream.
    std::vector<WORD> awaitKey;
    std::vector<WORD> gapPending;   // streams whose dropped packets carried the discontinuity
    if (SUCCEEDED(hr) && from > 0) {
        hr = input->Seek(from);
        for (const Stream &s : m_streams)
            if (IsEqualGUID(s.type.get().majortype, MEDIATYPE_Video))
                awaitKey.push_back(s.number);
    }
    while (SUCCEEDED(hr)) {
        twwmf::AsfPacket packet;
        hr = input->ReadPacket(packet);
        if (hr != S_OK)
            break;
        if (packet.time >= m_stop.load()) {
            hr = S_FALSE;       // the stop position: the end of this segment
            break;
        }
        if (from > 0) {
            auto waiting = std::find(awaitKey.begin(), awaitKey.end(), packet.streamNumber);
            bool video = false;
            for (const Stream &s : m_streams)
                if (s.number == packet.streamNumber)
                    video = IsEqualGUID(s.type.get().majortype, MEDIATYPE_Video);
            bool drop = false;
            if (waiting != awaitKey.end()) {
                drop = !packet.keyFrame;
                if (!drop)
                    awaitKey.erase(waiting);
            } else if (!video && packet.time + std::max<LONGLONG>(packet.duration, 1) <= from) {
                drop = true;
            }
            auto gap = std::find(gapPending.begin(), gapPending.end(), packet.streamNumber);
            if (drop) {
                if (packet.discontinuity && gap == gapPending.end())
                    gapPending.push_back(packet.streamNumber);
                continue;
            }
            if (gap != gapPending.end()) {
                packet.discontinuity = true;
                gapPending.erase(gap);
            }
        }
        held.push_back(std::move(packet));
        if (input->Statistics().buffering)
            continue;
        for (twwmf::AsfPacket &p : held)
            if (!deliver(std::move(p)))
                hr = E_ABORT;   // stopping
        held.clear();
    }
    if (hr == E_ABORT) {
        CloseQueues(E_ABORT);
        return;
    }
    for (twwmf::AsfPacket &p : held)
        if (!deliver(std::move(p)))
            return;             // stopping
    if (FAILED(hr))
        NotifyEvent(EC_ERRORABORT, hr, 0);
    // Every pin delivers what it holds, then EndOfStream.
    CloseQueues(S_FALSE);
}

HRESULT AsfSource::FillSample(size_t index, IMediaSample *sample)
{
    twwmf::AsfPacket packet;
    HRESULT hr = m_streams[index].queue->Pop(packet);
    if (hr != S_OK)
        return hr;
    BYTE *buffer = nullptr;
    hr = sample->GetPointer(&buffer);
    if (FAILED(hr))
        return hr;
    if (packet.data.size() > static_cast<size_t>(sample->GetSize()))
        return VFW_E_BUFFER_OVERFLOW;   // a sample larger than any the stream announced
    std::memcpy(buffer, packet.data.data(), packet.data.size());
    sample->SetActualDataLength(static_cast<LONG>(packet.data.size()));
    // Times count from the segment's start; what comes before it (from the key
    // frame before a seek position) is preroll: decoded, not shown.
    REFERENCE_TIME start = packet.time - m_position;
    REFERENCE_TIME stop = start + packet.duration;
    sample->SetTime(&start, packet.duration > 0 ? &stop : nullptr);
    sample->SetSyncPoint(packet.keyFrame ? TRUE : FALSE);
    sample->SetDiscontinuity(packet.discontinuity ? TRUE : FALSE);
    sample->SetPreroll(m_position > 0 && start < 0 ? TRUE : FALSE);
    LONGLONG delivered = m_delivered.load();
    while (packet.time > delivered && !m_delivered.compare_exchange_weak(delivered, packet.time)) {
    }
    return S_OK;
}

// --- Pins ----------------------------------------------------------------------

size_t AsfSource::IndexOf(kit::OutputPin *pin) const
{
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (&const_cast<AsfSource *>(this)->Pin(i) == pin)
            return i;
    return 0;
}

HRESULT AsfSource::CheckOutputType(kit::OutputPin *pin, const AM_MEDIA_TYPE &mt)
{
    const AM_MEDIA_TYPE &own = m_streams[IndexOf(pin)].type.get();
    bool same = mt.majortype == own.majortype && mt.subtype == own.subtype && mt.formattype == own.formattype &&
                mt.cbFormat == own.cbFormat &&
                (own.cbFormat == 0 || (mt.pbFormat && std::memcmp(mt.pbFormat, own.pbFormat, own.cbFormat) == 0));
    return same ? S_OK : S_FALSE;
}

std::vector<kit::MediaType> AsfSource::OutputTypes(kit::OutputPin *pin)
{
    return {m_streams[IndexOf(pin)].type};
}

HRESULT AsfSource::DecideBufferSize(kit::OutputPin *pin, ALLOCATOR_PROPERTIES *props)
{
    props->cBuffers = std::max<LONG>(props->cBuffers, 8);
    props->cbBuffer = std::max<LONG>(props->cbBuffer, m_streams[IndexOf(pin)].bufferSize);
    props->cbAlign = std::max<LONG>(props->cbAlign, 1);
    return S_OK;
}

// --- IMediaSeeking ------------------------------------------------------------

HRESULT STDMETHODCALLTYPE AsfSource::GetCapabilities(DWORD *pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    DWORD caps = AM_SEEKING_CanGetCurrentPos;
    if (!m_broadcast)
        caps |= AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    if (m_seekable)
        caps |= AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards;
    *pCapabilities = caps;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetDuration(LONGLONG *pDuration)
{
    if (!pDuration)
        return E_POINTER;
    *pDuration = m_duration;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetStopPosition(LONGLONG *pStop)
{
    if (!pStop)
        return E_POINTER;
    LONGLONG stop = m_stop.load();
    *pStop = stop == kEndless ? m_duration : stop;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetCurrentPosition(LONGLONG *pCurrent)
{
    if (!pCurrent)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    LONGLONG delivered = m_delivered.load();
    *pCurrent = delivered >= m_position ? delivered : m_position;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop,
                                                  DWORD dwStopFlags)
{
    DWORD currentKind = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
    DWORD stopKind = dwStopFlags & AM_SEEKING_PositioningBitsMask;
    if ((currentKind && !pCurrent) || (stopKind && !pStop))
        return E_POINTER;
    if (currentKind == AM_SEEKING_NoPositioning && stopKind == AM_SEEKING_NoPositioning)
        return S_OK;
    if (m_url.empty())
        return VFW_E_NOT_CONNECTED;
    if (!m_seekable)
        return E_NOTIMPL;       // a broadcast, or a protocol that cannot seek
    LONGLONG now = 0;
    GetCurrentPosition(&now);
    auto resolve = [&](DWORD kind, LONGLONG value, LONGLONG base, LONGLONG relativeTo) {
        LONGLONG t = kind == AM_SEEKING_AbsolutePositioning ? value
                     : kind == AM_SEEKING_RelativePositioning ? relativeTo + value
                     : kind == AM_SEEKING_IncrementalPositioning ? now + value
                                                                 : base;
        return std::clamp<LONGLONG>(t, 0, m_duration);
    };
    // The restart below takes the state-change lock before the filter lock, as
    // state changes do: no filter lock here.
    LONGLONG oldStop = m_stop.load() == kEndless ? m_duration : m_stop.load();
    LONGLONG current = resolve(currentKind, currentKind ? *pCurrent : 0, m_position, now);
    LONGLONG stop = resolve(stopKind, stopKind ? *pStop : 0, oldStop, oldStop);
    // A stop at the duration is the natural end: the last packets may reach past
    // the duration the header gives.
    if (stopKind)
        m_stop = stop >= m_duration ? kEndless : stop;
    HRESULT hr = S_OK;
    if (currentKind) {
        hr = Restart([this] { InterruptReader(); },
                     [this, current] {
                         if (m_reader.joinable())
                             m_reader.join();
                         m_position = current;
                         m_delivered = -1;
                         SetSegment(current, m_stop.load());
                         for (Stream &s : m_streams)
                             s.queue->Reset();
                         if (State() != State_Stopped)
                             StartReader();
                     });
    }
    if (pCurrent && (dwCurrentFlags & AM_SEEKING_ReturnTime))
        *pCurrent = current;
    if (pStop && (dwStopFlags & AM_SEEKING_ReturnTime))
        *pStop = stop;
    return hr;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetPositions(LONGLONG *pCurrent, LONGLONG *pStop)
{
    if (pCurrent)
        GetCurrentPosition(pCurrent);
    if (pStop)
        GetStopPosition(pStop);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    // What can be reached: the whole clip when it seeks, else what is playing.
    if (pEarliest)
        GetCurrentPosition(pEarliest);
    if (m_seekable && pEarliest)
        *pEarliest = 0;
    if (pLatest)
        *pLatest = m_duration;
    return S_OK;
}

// --- IAMNetworkStatus ----------------------------------------------------------

twwmf::AsfStatistics AsfSource::Statistics()
{
    std::lock_guard<std::mutex> hold(m_inputLock);
    return m_input ? m_input->Statistics() : twwmf::AsfStatistics();
}

template <typename Pick>
HRESULT AsfSource::Report(LONG *p, Pick pick)
{
    if (!p)
        return E_POINTER;
    *p = pick(Statistics());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::GetTypeInfoCount(UINT *pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsfSource::get_ReceivedPackets(LONG *p)
{
    return Report(p, [](const twwmf::AsfStatistics &s) { return Clamp(s.receivedPackets); });
}

HRESULT STDMETHODCALLTYPE AsfSource::get_RecoveredPackets(LONG *p)
{
    return Report(p, [](const twwmf::AsfStatistics &s) { return Clamp(s.recoveredPackets); });
}

HRESULT STDMETHODCALLTYPE AsfSource::get_LostPackets(LONG *p)
{
    return Report(p, [](const twwmf::AsfStatistics &s) { return Clamp(s.lostPackets); });
}

HRESULT STDMETHODCALLTYPE AsfSource::get_ReceptionQuality(LONG *p)
{
    return Report(p, [](const twwmf::AsfStatistics &s) { return Clamp(std::min<uint32_t>(s.receptionQuality, 100)); });
}

HRESULT STDMETHODCALLTYPE AsfSource::get_BufferingCount(LONG *p)
{
    // The buffer is filled at the start of a run and after each reconnect.
    return Report(p, [](const twwmf::AsfStatistics &s) {
        return s.receivedPackets || s.buffering ? Clamp(1 + uint64_t(s.reconnects)) : 0;
    });
}

HRESULT STDMETHODCALLTYPE AsfSource::get_BufferingProgress(LONG *p)
{
    return Report(p, [](const twwmf::AsfStatistics &s) { return Clamp(std::min<uint32_t>(s.bufferingProgress, 100)); });
}

HRESULT STDMETHODCALLTYPE AsfSource::get_IsBroadcast(VARIANT_BOOL *p)
{
    if (!p)
        return E_POINTER;
    *p = m_broadcast ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

} // namespace twds
