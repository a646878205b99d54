#include "writer.h"

#include <algorithm>
#include <new>
#include <nserror.h>

#include "profile.h"
#include "samplebuffer.h"
#include "text.h"

namespace twwmf {

namespace {

// File-level string attributes and the names the ASF muxer files them under.
struct MetadataName {
    const char16_t *attribute;
    const char *key;
};
constexpr MetadataName kMetadataNames[] = {
    {u"Title", "Title"},
    {u"Author", "Author"},
    {u"Copyright", "Copyright"},
    {u"Description", "Description"},
};

} // namespace

Writer::~Writer()
{
    for (Output &out : m_outputs)
        FinishOutput(out);
}

// ---- IWMWriter ----

STDMETHODIMP Writer::SetProfileByID(REFGUID) { return E_NOTIMPL; }

STDMETHODIMP Writer::SetProfile(IWMProfile *pProfile)
{
    if (!pProfile)
        return E_POINTER;
    ProfileData data;
    HRESULT hr = ReadProfileData(pProfile, data);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = CheckProfileData(data)))
        return hr;
    if (data.streams.empty())
        return NS_E_NO_STREAM;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_writing)
        return NS_E_INVALID_REQUEST;
    m_streams = std::move(data.streams);
    m_configured = true;
    return S_OK;
}

STDMETHODIMP Writer::SetOutputFilename(const WCHAR *pwszFilename)
{
    if (!pwszFilename)
        return E_POINTER;
    auto sink = twcom::Make<FileSink>();
    if (!sink)
        return E_OUTOFMEMORY;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_writing)
        return NS_E_INVALID_REQUEST;
    HRESULT hr = sink->Open(pwszFilename);
    if (FAILED(hr))
        return hr;
    m_outputs.clear();
    m_outputs.push_back(Output{sink, nullptr});
    return S_OK;
}

STDMETHODIMP Writer::GetInputCount(DWORD *pcInputs)
{
    if (!pcInputs)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_configured)
        return NS_E_NOT_CONFIGURED;
    *pcInputs = static_cast<DWORD>(m_streams.size());
    return S_OK;
}

STDMETHODIMP Writer::GetInputProps(DWORD, IWMInputMediaProps **ppInput)
{
    if (ppInput)
        *ppInput = nullptr;
    return E_NOTIMPL;
}

// Every input passes its stream's compressed samples through; that is the only
// mode there is, so only null properties are accepted.
STDMETHODIMP Writer::SetInputProps(DWORD dwInputNum, IWMInputMediaProps *pInput)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_configured)
        return NS_E_NOT_CONFIGURED;
    if (dwInputNum >= m_streams.size())
        return E_INVALIDARG;
    if (m_writing)
        return NS_E_INVALID_REQUEST;
    return pInput ? NS_E_INVALID_INPUT_FORMAT : S_OK;
}

STDMETHODIMP Writer::GetInputFormatCount(DWORD dwInputNumber, DWORD *pcFormats)
{
    if (!pcFormats)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_configured)
        return NS_E_NOT_CONFIGURED;
    if (dwInputNumber >= m_streams.size())
        return E_INVALIDARG;
    *pcFormats = 0;
    return S_OK;
}

STDMETHODIMP Writer::GetInputFormat(DWORD, DWORD, IWMInputMediaProps **pProps)
{
    if (pProps)
        *pProps = nullptr;
    return E_INVALIDARG;
}

AsfMuxer::Metadata Writer::FileMetadata() const
{
    AsfMuxer::Metadata metadata;
    for (const AttributeStore::Attribute &a : m_attributes.All()) {
        if (a.stream != 0 || a.type != WMT_TYPE_STRING)
            continue;
        std::u16string text(reinterpret_cast<const char16_t *>(a.value.data()), a.value.size() / 2 - 1);
        std::string key = twk::Utf8FromWide(a.name);
        for (const MetadataName &m : kMetadataNames)
            if (a.name == m.attribute)
                key = m.key;
        metadata.emplace_back(key, twk::Utf8FromWide(text));
    }
    return metadata;
}

STDMETHODIMP Writer::BeginWriting()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_writing)
        return NS_E_INVALID_REQUEST;
    if (!m_configured || m_outputs.empty())
        return NS_E_NOT_CONFIGURED;
    AsfMuxer::Metadata metadata = FileMetadata();
    HRESULT hr = S_OK;
    size_t started = 0;
    for (; started < m_outputs.size(); ++started) {
        Output &out = m_outputs[started];
        AVIOContext *io = out.sink->BeginUse();
        if (!io) {
            hr = NS_E_NOT_CONFIGURED; // the sink has no open file
            break;
        }
        hr = AsfMuxer::Create(io, m_streams, metadata, out.muxer);
        if (FAILED(hr)) {
            out.sink->EndUse();
            break;
        }
    }
    if (FAILED(hr)) {
        for (size_t i = 0; i < started; ++i) {
            FinishOutput(m_outputs[i]);
        }
        return hr;
    }
    m_writerTime = 0;
    m_writing = true;
    return S_OK;
}

HRESULT Writer::FinishOutput(Output &out)
{
    if (!out.muxer)
        return S_OK;
    HRESULT hr = out.muxer->Finish();
    out.muxer.reset();
    HRESULT closed = out.sink->EndUse();
    out.sink->OnEndWriting();
    return FAILED(hr) ? hr : closed;
}

STDMETHODIMP Writer::EndWriting()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_writing)
        return NS_E_INVALID_REQUEST;
    HRESULT result = S_OK;
    for (Output &out : m_outputs) {
        HRESULT hr = FinishOutput(out);
        if (SUCCEEDED(result) && FAILED(hr))
            result = hr;
    }
    m_writing = false;
    return result;
}

STDMETHODIMP Writer::AllocateSample(DWORD dwSampleSize, INSSBuffer **ppSample)
{
    return SampleBuffer::Create(dwSampleSize, ppSample);
}

STDMETHODIMP Writer::WriteSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags, INSSBuffer *pSample)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_writing)
        return NS_E_INVALID_REQUEST;
    if (dwInputNum >= m_streams.size())
        return E_INVALIDARG;
    return WriteLocked(dwInputNum, cnsSampleTime, 0, dwFlags, pSample);
}

STDMETHODIMP Writer::Flush()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_writing)
        return NS_E_INVALID_REQUEST;
    HRESULT result = S_OK;
    for (Output &out : m_outputs) {
        HRESULT hr = out.muxer->Flush();
        if (SUCCEEDED(result) && FAILED(hr))
            result = hr;
    }
    return result;
}

// ---- IWMWriterAdvanced ----

STDMETHODIMP Writer::GetSinkCount(DWORD *pcSinks)
{
    if (!pcSinks)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pcSinks = static_cast<DWORD>(m_outputs.size());
    return S_OK;
}

STDMETHODIMP Writer::GetSink(DWORD dwSinkNum, IWMWriterSink **ppSink)
{
    if (!ppSink)
        return E_POINTER;
    *ppSink = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    if (dwSinkNum >= m_outputs.size())
        return E_INVALIDARG;
    *ppSink = m_outputs[dwSinkNum].sink.get();
    (*ppSink)->AddRef();
    return S_OK;
}

// Samples reach files through the platform's own file sinks only.
STDMETHODIMP Writer::AddSink(IWMWriterSink *pSink)
{
    if (!pSink)
        return E_POINTER;
    auto *sink = dynamic_cast<FileSink *>(pSink);
    if (!sink)
        return E_NOTIMPL;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_writing)
        return NS_E_INVALID_REQUEST;
    for (const Output &out : m_outputs)
        if (out.sink.get() == sink)
            return E_INVALIDARG;
    m_outputs.push_back(Output{twcom::ComPtr<FileSink>::Share(sink), nullptr});
    return S_OK;
}

// A sink removed while writing gets its file finished first.
STDMETHODIMP Writer::RemoveSink(IWMWriterSink *pSink)
{
    if (!pSink)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = std::find_if(m_outputs.begin(), m_outputs.end(), [pSink](const Output &out) {
        return static_cast<IWMWriterSink *>(out.sink.get()) == pSink;
    });
    if (it == m_outputs.end())
        return E_INVALIDARG;
    HRESULT hr = FinishOutput(*it);
    m_outputs.erase(it);
    return hr;
}

HRESULT Writer::WriteLocked(size_t streamIndex, QWORD time, QWORD duration, DWORD flags, INSSBuffer *pSample)
{
    if (!pSample)
        return E_POINTER;
    BYTE *data = nullptr;
    DWORD length = 0;
    HRESULT hr = pSample->GetBufferAndLength(&data, &length);
    if (FAILED(hr))
        return hr;
    // A buffer of the writer's own reaches the files without a copy.
    auto *own = dynamic_cast<SampleBuffer *>(pSample);
    HRESULT result = S_OK;
    for (Output &out : m_outputs) {
        AVBufferRef *shared = own ? own->Share() : nullptr;
        hr = out.muxer->Write(streamIndex, data, length, time, duration, (flags & WM_SF_CLEANPOINT) != 0, shared);
        if (SUCCEEDED(result) && FAILED(hr))
            result = hr;
    }
    if (SUCCEEDED(result))
        m_writerTime = std::max(m_writerTime, time);
    return result;
}

STDMETHODIMP Writer::WriteStreamSample(WORD wStreamNum, QWORD cnsSampleTime, DWORD, QWORD cnsSampleDuration,
                                       DWORD dwFlags, INSSBuffer *pSample)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_writing)
        return NS_E_INVALID_REQUEST;
    auto it = std::find_if(m_streams.begin(), m_streams.end(),
                           [wStreamNum](const StreamInfo &s) { return s.number == wStreamNum; });
    if (it == m_streams.end())
        return NS_E_INVALID_STREAM;
    return WriteLocked(static_cast<size_t>(it - m_streams.begin()), cnsSampleTime, cnsSampleDuration, dwFlags,
                       pSample);
}

STDMETHODIMP Writer::SetLiveSource(BOOL fIsLiveSource)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_live = fIsLiveSource;
    return S_OK;
}

STDMETHODIMP Writer::IsRealTime(BOOL *pfRealTime)
{
    if (!pfRealTime)
        return E_POINTER;
    *pfRealTime = FALSE;
    return S_OK;
}

STDMETHODIMP Writer::GetWriterTime(QWORD *pcnsCurrentTime)
{
    if (!pcnsCurrentTime)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pcnsCurrentTime = m_writerTime;
    return S_OK;
}

STDMETHODIMP Writer::GetStatistics(WORD, WM_WRITER_STATISTICS *) { return E_NOTIMPL; }

STDMETHODIMP Writer::SetSyncTolerance(DWORD msWindow)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_syncTolerance = msWindow;
    return S_OK;
}

STDMETHODIMP Writer::GetSyncTolerance(DWORD *pmsWindow)
{
    if (!pmsWindow)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pmsWindow = m_syncTolerance;
    return S_OK;
}

STDMETHODIMP Writer::GetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE *, BYTE *, WORD *) { return E_NOTIMPL; }
STDMETHODIMP Writer::SetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE *, WORD) { return E_NOTIMPL; }
STDMETHODIMP Writer::GetStatisticsEx(WORD, WM_WRITER_STATISTICS_EX *) { return E_NOTIMPL; }
STDMETHODIMP Writer::SetNonBlocking() { return S_OK; }

// ---- IWMHeaderInfo ----

STDMETHODIMP Writer::GetAttributeCount(WORD wStreamNum, WORD *pcAttributes)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_attributes.Count(wStreamNum, pcAttributes);
}

STDMETHODIMP Writer::GetAttributeByIndex(WORD wIndex, WORD *pwStreamNum, WCHAR *pwszName, WORD *pcchNameLen,
                                         WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_attributes.ByIndex(wIndex, pwStreamNum, pwszName, pcchNameLen, pType, pValue, pcbLength);
}

STDMETHODIMP Writer::GetAttributeByName(WORD *pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                                        WORD *pcbLength)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_attributes.ByName(pwStreamNum, pszName, pType, pValue, pcbLength);
}

STDMETHODIMP Writer::SetAttribute(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE *pValue,
                                  WORD cbLength)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_writing)
        return NS_E_INVALID_REQUEST;
    return m_attributes.Set(wStreamNum, pszName, Type, pValue, cbLength);
}

STDMETHODIMP Writer::GetMarkerCount(WORD *pcMarkers)
{
    if (!pcMarkers)
        return E_POINTER;
    *pcMarkers = 0;
    return S_OK;
}

STDMETHODIMP Writer::GetMarker(WORD, WCHAR *, WORD *, QWORD *) { return E_INVALIDARG; }
STDMETHODIMP Writer::AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) { return E_NOTIMPL; }
STDMETHODIMP Writer::RemoveMarker(WORD) { return E_INVALIDARG; }

STDMETHODIMP Writer::GetScriptCount(WORD *pcScripts)
{
    if (!pcScripts)
        return E_POINTER;
    *pcScripts = 0;
    return S_OK;
}

STDMETHODIMP Writer::GetScript(WORD, WCHAR *, WORD *, WCHAR *, WORD *, QWORD *) { return E_INVALIDARG; }
STDMETHODIMP Writer::AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) { return E_NOTIMPL; }
STDMETHODIMP Writer::RemoveScript(WORD) { return E_INVALIDARG; }

} // namespace twwmf

extern "C" HRESULT STDAPICALLTYPE WMCreateWriter(IUnknown *, IWMWriter **ppWriter)
{
    if (!ppWriter)
        return E_POINTER;
    *ppWriter = twcom::Make<twwmf::Writer>().detach();
    return *ppWriter ? S_OK : E_OUTOFMEMORY;
}
