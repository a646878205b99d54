#include "test_filters.h"

#include <cstring>

#include <objbase.h>
#include <windows.h>

#include <twcom/builtin_classes.h>
#include "mapper/registry_key.h"
#include <twcom/guidtext.h>
#include <twkernel/textconv.h>

namespace dstest {

using twds::kit::MediaType;
using twds::kit::OutputPin;

const CLSID CLSID_TestSource = {0x7c1f0a01, 0x5b1e, 0x4c55, {0x9a, 0x31, 0x0d, 0x7e, 0x3c, 0x9b, 0x2a, 0x01}};
const CLSID CLSID_TestVideoDecoder = {0x7c1f0a02, 0x5b1e, 0x4c55, {0x9a, 0x31, 0x0d, 0x7e, 0x3c, 0x9b, 0x2a, 0x01}};
const CLSID CLSID_TestAudioDecoder = {0x7c1f0a03, 0x5b1e, 0x4c55, {0x9a, 0x31, 0x0d, 0x7e, 0x3c, 0x9b, 0x2a, 0x01}};
const CLSID CLSID_TestVideoRenderer = {0x7c1f0a04, 0x5b1e, 0x4c55, {0x9a, 0x31, 0x0d, 0x7e, 0x3c, 0x9b, 0x2a, 0x01}};
const CLSID CLSID_TestAudioRenderer = {0x7c1f0a05, 0x5b1e, 0x4c55, {0x9a, 0x31, 0x0d, 0x7e, 0x3c, 0x9b, 0x2a, 0x01}};
const CLSID CLSID_TestShyRenderer = {0x7c1f0a06, 0x5b1e, 0x4c55, {0x9a, 0x31, 0x0d, 0x7e, 0x3c, 0x9b, 0x2a, 0x01}};

namespace {

MediaType FullType(const GUID &major, const GUID &sub)
{
    MediaType mt(major, sub);
    AM_MEDIA_TYPE raw = mt.get();
    raw.formattype = FORMAT_None;
    return MediaType(raw);
}

} // namespace

// ---- TimedSource -------------------------------------------------------------

TimedSource::TimedSource(std::vector<StreamSpec> streams)
    : m_streams(std::move(streams)), m_next(m_streams.size(), 0)
{
    SetClassId(CLSID_TestSource);
    for (const StreamSpec &s : m_streams)
        AddPin(s.pin);
}

TimedSource::~TimedSource()
{
    Stop();
}

HRESULT STDMETHODCALLTYPE TimedSource::Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *)
{
    if (!pszFileName)
        return E_POINTER;
    std::u16string url(reinterpret_cast<const char16_t *>(pszFileName));
    if (url.find(u"unreachable") != std::u16string::npos)
        return kUnreachable;
    if (url.find(u"audio=other") != std::u16string::npos && m_streams.size() > 1)
        m_streams[1].sub = MEDIASUBTYPE_WMAudioV9;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TimedSource::GetCurFile(LPOLESTR *, AM_MEDIA_TYPE *)
{
    return E_NOTIMPL;
}

size_t TimedSource::IndexOf(OutputPin *pin)
{
    for (size_t i = 0; i < PinCount(); ++i)
        if (&Pin(i) == pin)
            return i;
    return 0;
}

HRESULT TimedSource::CheckOutputType(OutputPin *pin, const AM_MEDIA_TYPE &mt)
{
    const StreamSpec &s = m_streams[IndexOf(pin)];
    return mt.majortype == s.major && mt.subtype == s.sub ? S_OK : S_FALSE;
}

std::vector<MediaType> TimedSource::OutputTypes(OutputPin *pin)
{
    const StreamSpec &s = m_streams[IndexOf(pin)];
    return {FullType(s.major, s.sub)};
}

HRESULT TimedSource::DecideBufferSize(OutputPin *, ALLOCATOR_PROPERTIES *props)
{
    props->cBuffers = std::max<LONG>(props->cBuffers, 4);
    props->cbBuffer = std::max<LONG>(props->cbBuffer, 64);
    return S_OK;
}

void TimedSource::OnThreadStart(size_t index)
{
    m_next[index] = 0;
}

HRESULT TimedSource::FillSample(size_t index, IMediaSample *sample)
{
    const StreamSpec &s = m_streams[index];
    if (s.samples < 0) {
        // A stream that never delivers, until the filter stops.
        while (State() != State_Stopped)
            Sleep(1);
        return S_FALSE;
    }
    int i = m_next[index]++;
    if (i >= s.samples)
        return S_FALSE;
    for (int waited = 0; i == 0 && waited < s.firstDelayMs && State() != State_Stopped; ++waited)
        Sleep(1);
    BYTE *p = nullptr;
    sample->GetPointer(&p);
    std::memcpy(p, &i, sizeof(i));
    sample->SetActualDataLength(sizeof(i));
    REFERENCE_TIME start = i * s.period, stop = (i + 1) * s.period;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

// ---- PassThrough ---------------------------------------------------------------

PassThrough::PassThrough(const CLSID &clsid, const GUID &major, const GUID &in, const GUID &out)
    : m_major(major), m_in(in), m_out(out)
{
    SetClassId(clsid);
}

HRESULT PassThrough::CheckInput(const AM_MEDIA_TYPE &mt)
{
    return mt.majortype == m_major && mt.subtype == m_in ? S_OK : S_FALSE;
}

HRESULT PassThrough::CheckTransform(const AM_MEDIA_TYPE &, const AM_MEDIA_TYPE &out)
{
    return out.majortype == m_major && out.subtype == m_out ? S_OK : S_FALSE;
}

std::vector<MediaType> PassThrough::TypesFor(const AM_MEDIA_TYPE &)
{
    return {FullType(m_major, m_out)};
}

HRESULT PassThrough::DecideBufferSize(OutputPin *, ALLOCATOR_PROPERTIES *props)
{
    props->cBuffers = std::max<LONG>(props->cBuffers, 2);
    props->cbBuffer = std::max<LONG>(props->cbBuffer, 64);
    return S_OK;
}

HRESULT PassThrough::DoTransform(IMediaSample *in, IMediaSample *out)
{
    BYTE *src = nullptr, *dst = nullptr;
    in->GetPointer(&src);
    out->GetPointer(&dst);
    LONG n = std::min(in->GetActualDataLength(), out->GetSize());
    std::memcpy(dst, src, n);
    out->SetActualDataLength(n);
    return S_OK;
}

// ---- RecordingRenderer -------------------------------------------------------------

RecordingRenderer::RecordingRenderer(const CLSID &clsid, const GUID &major, const GUID &sub, bool dropsLate)
    : m_major(major), m_sub(sub), m_dropsLate(dropsLate)
{
    SetClassId(clsid);
}

std::vector<Presentation> RecordingRenderer::Seen()
{
    std::lock_guard<std::mutex> hold(m_seenLock);
    return m_seen;
}

HRESULT RecordingRenderer::CheckMediaType(const AM_MEDIA_TYPE &mt)
{
    return mt.majortype == m_major && mt.subtype == m_sub ? S_OK : S_FALSE;
}

HRESULT RecordingRenderer::DoRenderSample(IMediaSample *sample, REFERENCE_TIME lateness)
{
    BYTE *p = nullptr;
    sample->GetPointer(&p);
    Presentation seen{-1, 0, lateness};
    if (sample->GetActualDataLength() >= static_cast<LONG>(sizeof(int)))
        std::memcpy(&seen.index, p, sizeof(int));
    REFERENCE_TIME stop;
    sample->GetTime(&seen.start, &stop);
    std::lock_guard<std::mutex> hold(m_seenLock);
    m_seen.push_back(seen);
    return S_OK;
}

// ---- Registration --------------------------------------------------------------------

std::vector<StreamSpec> TwoStreams(int samples, REFERENCE_TIME period)
{
    return {{u"Stream 1", MEDIATYPE_Video, MEDIASUBTYPE_WMV2, samples, period},
            {u"Stream 2", MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV2, samples, period}};
}

namespace {

template <class T, class... Args>
HRESULT CreateTest(IUnknown *outer, REFIID riid, void **ppv, Args... args)
{
    if (ppv)
        *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<T>(args...), riid, ppv);
}

HRESULT CreateSource(IUnknown *o, REFIID r, void **p)
{
    return CreateTest<TimedSource>(o, r, p, TwoStreams(10, 400000));
}
HRESULT CreateVideoDecoder(IUnknown *o, REFIID r, void **p)
{
    return CreateTest<PassThrough>(o, r, p, CLSID_TestVideoDecoder, MEDIATYPE_Video, MEDIASUBTYPE_WMV2,
                                   MEDIASUBTYPE_RGB32);
}
HRESULT CreateAudioDecoder(IUnknown *o, REFIID r, void **p)
{
    return CreateTest<PassThrough>(o, r, p, CLSID_TestAudioDecoder, MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV2,
                                   MEDIASUBTYPE_PCM);
}
HRESULT CreateVideoRenderer(IUnknown *o, REFIID r, void **p)
{
    return CreateTest<RecordingRenderer>(o, r, p, CLSID_TestVideoRenderer, MEDIATYPE_Video, MEDIASUBTYPE_RGB32,
                                         true);
}
HRESULT CreateAudioRenderer(IUnknown *o, REFIID r, void **p)
{
    return CreateTest<RecordingRenderer>(o, r, p, CLSID_TestAudioRenderer, MEDIATYPE_Audio, MEDIASUBTYPE_PCM,
                                         false);
}
HRESULT CreateShyRenderer(IUnknown *o, REFIID r, void **p)
{
    return CreateTest<RecordingRenderer>(o, r, p, CLSID_TestShyRenderer, MEDIATYPE_Video, MEDIASUBTYPE_RGB32,
                                         false);
}

HRESULT Register(IFilterMapper2 *mapper, REFCLSID clsid, LPCWSTR name, DWORD merit, const GUID &major,
                 const GUID *in, const GUID *out)
{
    REGPINTYPES inType{&major, in};
    REGPINTYPES outType{&major, out};
    REGFILTERPINS pins[2] = {
        {const_cast<LPWSTR>(OLESTR("In")), out == nullptr, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &inType},
        {const_cast<LPWSTR>(OLESTR("Out")), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &outType},
    };
    REGFILTER2 rf2{};
    rf2.dwVersion = 1;
    rf2.dwMerit = merit;
    rf2.cPins = out ? 2 : 1;
    rf2.rgPins = pins;
    return mapper->RegisterFilter(clsid, name, nullptr, nullptr, nullptr, &rf2);
}

} // namespace

void RegisterTestFilters(bool inMapper)
{
    static bool registered = [] {
        twcom::RegisterBuiltinClass(CLSID_TestSource, CreateSource);
        twcom::RegisterBuiltinClass(CLSID_TestVideoDecoder, CreateVideoDecoder);
        twcom::RegisterBuiltinClass(CLSID_TestAudioDecoder, CreateAudioDecoder);
        twcom::RegisterBuiltinClass(CLSID_TestVideoRenderer, CreateVideoRenderer);
        twcom::RegisterBuiltinClass(CLSID_TestAudioRenderer, CreateAudioRenderer);
        twcom::RegisterBuiltinClass(CLSID_TestShyRenderer, CreateShyRenderer);
        return true;
    }();
    (void)registered;
    if (!inMapper)
        return;
    twds::RegistryKey ext;
    if (ext.Create(HKEY_CLASSES_ROOT, "Media Type\\Extensions\\.tws") == ERROR_SUCCESS)
        ext.SetString("Source Filter", twcom::GuidText(CLSID_TestSource));
    twcom::ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.put_void())))
        return;
    Register(mapper.get(), CLSID_TestVideoDecoder, u"WMVideo Decoder DMO", MERIT_NORMAL, MEDIATYPE_Video,
             &MEDIASUBTYPE_WMV2, &MEDIASUBTYPE_RGB32);
    Register(mapper.get(), CLSID_TestAudioDecoder, u"WMAudio Decoder DMO", MERIT_NORMAL, MEDIATYPE_Audio,
             &MEDIASUBTYPE_WMAudioV2, &MEDIASUBTYPE_PCM);
    Register(mapper.get(), CLSID_TestVideoRenderer, u"Video Renderer", MERIT_NORMAL, MEDIATYPE_Video,
             &MEDIASUBTYPE_RGB32, nullptr);
    Register(mapper.get(), CLSID_TestAudioRenderer, u"Audio Renderer", MERIT_NORMAL, MEDIATYPE_Audio,
             &MEDIASUBTYPE_PCM, nullptr);
    Register(mapper.get(), CLSID_TestShyRenderer, u"Shy Renderer", MERIT_DO_NOT_USE, MEDIATYPE_Video,
             &MEDIASUBTYPE_RGB32, nullptr);
}

} // namespace dstest
