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
    auto input = std::make_shared<twwmf::AsfInput>();
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
    HRESULT hr = Source::OnPause(from);
    if (FAILED(hr))
        return hr;
    // The input of this run: Load's while it is unread, else a new one that the
    // reader opens (Stop can cancel it from the start).
    std::shared_ptr<twwmf::AsfInput> input;
    bool opened;
    {
        std::lock_guard<std::mutex> hold(m_inputLock);
        if (!m_input || !m_inputOpened)
            m_input = std::make_shared<twwmf::AsfInput>();
        input = m_input;
        opened = m_inputOpened;
        m_inputOpened = false;
    }
    m_reader = std::thread([this, input, opened] { ReaderThread(input, opened); });
    return S_OK;
}

HRESULT AsfSource::OnStop()
{
    {
        std::lock_guard<std::mutex> hold(m_inputLock);
        if (m_input)
            m_input->Cancel();
    }
    CloseQueues(E_ABORT);
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

void AsfSource::ReaderThread(std::shared_ptr<twwmf::AsfInput> input, bool opened)
{
    // While the input fills its preroll (at the start, after a stall or a
    // reconnect), packets are held here and go downstream together once it is
    // full: the renderers start on a full buffer. The preroll bounds the hold.
    std::vector<twwmf::AsfPacket> held;
    auto deliver = [this](twwmf::AsfPacket &&packet) {
        for (Stream &s : m_streams)
            if (s.number == packet.streamNumber && s.connected)
                return s.queue->Push(std::move(packet));
        return true;            // a stream nobody takes
    };
    HRESULT hr = opened ? S_OK : input->Open(m_url);
    while (SUCCEEDED(hr)) {
        twwmf::AsfPacket packet;
        hr = input->ReadPacket(packet);
        if (hr != S_OK)
            break;
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
    if (hr == E_ABORT)
        return S_FALSE;         // stopping: the kit's thread ends quietly
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
    REFERENCE_TIME start = packet.time;
    REFERENCE_TIME stop = packet.time + packet.duration;
    sample->SetTime(&start, packet.duration > 0 ? &stop : nullptr);
    sample->SetSyncPoint(packet.keyFrame ? TRUE : FALSE);
    sample->SetDiscontinuity(packet.discontinuity ? TRUE : FALSE);
    sample->SetPreroll(FALSE);
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
    // The preroll is filled at the start of a run and after each reconnect.
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
