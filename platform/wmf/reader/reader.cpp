// The Windows Media reader over the ASF input module.
#include "reader/reader.h"

#include <cstring>
#include <nserror.h>
#include <utility>

#include "text.h"

namespace twwmf {

namespace {

// Attribute names as the header-info interface spells them.
const std::u16string kTitle = u"Title";
const std::u16string kAuthor = u"Author";
const std::u16string kCopyright = u"Copyright";
const std::u16string kDescription = u"Description";
const std::u16string kDuration = u"Duration";
const std::u16string kSeekable = u"Seekable";
const std::u16string kBroadcast = u"Broadcast";

struct Attribute {
    std::u16string name;
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
};

// A string attribute: UTF-16 with its NUL, its byte length within a WORD. Text
// longer than that is cut, never in the middle of a surrogate pair.
std::vector<BYTE> StringValue(std::u16string text)
{
    const size_t maxChars = 0xFFFF / sizeof(char16_t) - 1;
    if (text.size() > maxChars) {
        size_t cut = maxChars;
        if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF)
            --cut;
        text.resize(cut);
    }
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(char16_t), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(char16_t));
    return bytes;
}

template <class T>
std::vector<BYTE> ScalarValue(T value)
{
    std::vector<BYTE> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

// The file-level attributes of an opened stream. Text attributes the stream
// does not carry (or carries empty) are absent.
std::vector<Attribute> FileAttributes(const AsfHeaderInfo &header)
{
    std::vector<Attribute> out;
    const std::pair<const std::u16string *, const std::u16string *> texts[] = {
        {&kTitle, &header.title},
        {&kAuthor, &header.author},
        {&kCopyright, &header.copyright},
        {&kDescription, &header.description}};
    for (const auto &[name, text] : texts) {
        if (!text->empty())
            out.push_back({*name, WMT_TYPE_STRING, StringValue(*text)});
    }
    // A broadcast has no length: its duration reads 0.
    out.push_back({kDuration, WMT_TYPE_QWORD, ScalarValue<QWORD>(header.broadcast ? 0 : header.duration)});
    out.push_back({kSeekable, WMT_TYPE_BOOL, ScalarValue<BOOL>(header.seekable ? TRUE : FALSE)});
    out.push_back({kBroadcast, WMT_TYPE_BOOL, ScalarValue<BOOL>(header.broadcast ? TRUE : FALSE)});
    return out;
}

// Hands out an attribute's value: a null buffer asks for the length.
HRESULT CopyOutAttribute(const Attribute &attr, WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength)
{
    if (!pcbLength || !pType)
        return E_INVALIDARG;
    *pType = attr.type;
    WORD needed = static_cast<WORD>(attr.value.size());
    if (!pValue) {
        *pcbLength = needed;
        return S_OK;
    }
    if (*pcbLength < needed) {
        *pcbLength = needed;
        return ASF_E_BUFFERTOOSMALL;
    }
    std::memcpy(pValue, attr.value.data(), needed);
    *pcbLength = needed;
    return S_OK;
}

} // namespace

Reader::Reader(const AsfInputSettings &settings) : m_settings(settings) {}

Reader::~Reader()
{
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_input)
            m_input->Cancel();
        worker = std::move(m_worker);
    }
    Finish(worker);
}

void Reader::Finish(std::thread &worker)
{
    if (!worker.joinable())
        return;
    if (worker.get_id() == std::this_thread::get_id())
        worker.detach(); // released from inside a callback: the thread ends right after it
    else
        worker.join();
}

STDMETHODIMP Reader::QueryInterface(REFIID iid, void **ppv)
{
    if (ppv && std::memcmp(&iid, &IID_IWMProfile, sizeof(IID)) == 0) {
        std::lock_guard<std::mutex> lock(m_lock);
        *ppv = nullptr;
        if (!m_profile)
            return E_NOINTERFACE;
        return m_profile->QueryInterface(iid, ppv);
    }
    return Object::QueryInterface(iid, ppv);
}

// ---- IWMReader ----

STDMETHODIMP Reader::Open(const WCHAR *pwszURL, IWMReaderCallback *pCallback, void *pvContext)
{
    if (!pwszURL || !pCallback)
        return E_INVALIDARG;
    std::u16string url(reinterpret_cast<const char16_t *>(pwszURL));
    if (url.empty())
        return E_INVALIDARG;
    std::thread previous;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != State::Closed && m_state != State::Failed)
            return NS_E_INVALID_REQUEST;
        auto input = std::make_unique<AsfInput>(m_settings);
        previous = std::move(m_worker);
        m_input = input.get();
        m_opened.reset();
        m_profile = nullptr;
        m_selections.clear();
        m_manualSelection = false;
        m_callback = twcom::ComPtr<IWMReaderCallback>::Share(pCallback);
        m_context = pvContext;
        m_state = State::Opening;
        m_worker = std::thread(&Reader::RunOpen, this, std::move(input), std::move(url), m_callback, pvContext);
    }
    // A close that has reported may still be returning from its callback.
    Finish(previous);
    return S_OK;
}

void Reader::RunOpen(std::unique_ptr<AsfInput> input, std::u16string url,
                     twcom::ComPtr<IWMReaderCallback> callback, void *context)
{
    HRESULT hr = input->Open(url);
    twcom::ComPtr<IWMProfile> profile;
    if (SUCCEEDED(hr))
        hr = input->CreateProfile(profile.put());
    if (SUCCEEDED(hr))
        hr = S_OK;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_input = nullptr;
        // A close that came while opening takes over; the open is still answered.
        if (m_state == State::Opening) {
            if (SUCCEEDED(hr)) {
                for (const AsfStreamDesc &stream : input->Header().streams)
                    m_selections.push_back({stream.number, WMT_ON});
                m_opened = std::move(input);
                m_profile = std::move(profile);
                m_state = State::Open;
            } else {
                m_state = State::Failed;
            }
        }
    }
    // Nothing of the reader is touched after the callback: it may release the reader.
    callback->OnStatus(WMT_OPENED, hr, WMT_TYPE_DWORD, nullptr, context);
}

STDMETHODIMP Reader::Close()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Closed || m_state == State::Closing)
        return NS_E_INVALID_REQUEST;
    if (m_input)
        m_input->Cancel(); // an open still going ends within the input's cancel time
    m_state = State::Closing;
    std::thread opener = std::move(m_worker);
    m_worker = std::thread(&Reader::RunClose, this, std::move(opener), std::move(m_callback), m_context);
    return S_OK;
}

void Reader::RunClose(std::thread opener, twcom::ComPtr<IWMReaderCallback> callback, void *context)
{
    Finish(opener);
    std::unique_ptr<AsfInput> input;
    twcom::ComPtr<IWMProfile> profile;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        input = std::move(m_opened);
        profile = std::move(m_profile);
        m_selections.clear();
        m_manualSelection = false;
        m_context = nullptr;
        m_state = State::Closed;
    }
    if (input)
        input->Close();
    input.reset();
    profile = nullptr;
    callback->OnStatus(WMT_CLOSED, S_OK, WMT_TYPE_DWORD, nullptr, context);
}

STDMETHODIMP Reader::GetOutputCount(DWORD *pcOutputs)
{
    if (!pcOutputs)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != State::Open)
        return NS_E_INVALID_REQUEST;
    *pcOutputs = static_cast<DWORD>(m_selections.size());
    return S_OK;
}

// The reader delivers no samples, so it has no output formats and never runs.
STDMETHODIMP Reader::GetOutputProps(DWORD, IWMOutputMediaProps **) { return E_NOTIMPL; }
STDMETHODIMP Reader::SetOutputProps(DWORD, IWMOutputMediaProps *) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetOutputFormatCount(DWORD, DWORD *) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetOutputFormat(DWORD, DWORD, IWMOutputMediaProps **) { return E_NOTIMPL; }
STDMETHODIMP Reader::Start(QWORD, QWORD, float, void *) { return E_NOTIMPL; }
STDMETHODIMP Reader::Stop() { return E_NOTIMPL; }
STDMETHODIMP Reader::Pause() { return E_NOTIMPL; }
STDMETHODIMP Reader::Resume() { return E_NOTIMPL; }

// ---- IWMReaderAdvanced ----

STDMETHODIMP Reader::SetUserProvidedClock(BOOL) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetUserProvidedClock(BOOL *pfUserClock)
{
    if (!pfUserClock)
        return E_POINTER;
    *pfUserClock = FALSE;
    return S_OK;
}
STDMETHODIMP Reader::DeliverTime(QWORD) { return E_NOTIMPL; }

// Manual selection: the reader picks nothing itself; every stream stays on until
// SetStreamsSelected says otherwise. Back to automatic, every stream is on again.
STDMETHODIMP Reader::SetManualStreamSelection(BOOL fSelection)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != State::Open)
        return NS_E_INVALID_REQUEST;
    m_manualSelection = fSelection != FALSE;
    if (!m_manualSelection) {
        for (Selection &s : m_selections)
            s.selection = WMT_ON;
    }
    return S_OK;
}

STDMETHODIMP Reader::GetManualStreamSelection(BOOL *pfSelection)
{
    if (!pfSelection)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *pfSelection = m_manualSelection ? TRUE : FALSE;
    return S_OK;
}

STDMETHODIMP Reader::SetStreamsSelected(WORD cStreamCount, WORD *pwStreamNumbers, WMT_STREAM_SELECTION *pSelections)
{
    if (cStreamCount == 0 || !pwStreamNumbers || !pSelections)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != State::Open || !m_manualSelection)
        return NS_E_INVALID_REQUEST;
    // All or nothing: every number must name a stream and every value be valid.
    std::vector<Selection> next = m_selections;
    for (WORD i = 0; i < cStreamCount; ++i) {
        if (pSelections[i] != WMT_OFF && pSelections[i] != WMT_CLEANPOINT_ONLY && pSelections[i] != WMT_ON)
            return E_INVALIDARG;
        bool found = false;
        for (Selection &s : next) {
            if (s.number == pwStreamNumbers[i]) {
                s.selection = pSelections[i];
                found = true;
            }
        }
        if (!found)
            return E_INVALIDARG;
    }
    m_selections = std::move(next);
    return S_OK;
}

STDMETHODIMP Reader::GetStreamSelected(WORD wStreamNum, WMT_STREAM_SELECTION *pSelection)
{
    if (!pSelection)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != State::Open)
        return NS_E_INVALID_REQUEST;
    for (const Selection &s : m_selections) {
        if (s.number == wStreamNum) {
            *pSelection = s.selection;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

STDMETHODIMP Reader::SetReceiveSelectionCallbacks(BOOL) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetReceiveSelectionCallbacks(BOOL *) { return E_NOTIMPL; }
STDMETHODIMP Reader::SetReceiveStreamSamples(WORD, BOOL) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetReceiveStreamSamples(WORD, BOOL *) { return E_NOTIMPL; }
STDMETHODIMP Reader::SetAllocateForOutput(DWORD, BOOL) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetAllocateForOutput(DWORD, BOOL *) { return E_NOTIMPL; }
STDMETHODIMP Reader::SetAllocateForStream(WORD, BOOL) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetAllocateForStream(WORD, BOOL *) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetStatistics(WM_READER_STATISTICS *) { return E_NOTIMPL; }
STDMETHODIMP Reader::SetClientInfo(WM_READER_CLIENTINFO *) { return S_OK; }
STDMETHODIMP Reader::GetMaxOutputSampleSize(DWORD, DWORD *) { return E_NOTIMPL; }
STDMETHODIMP Reader::GetMaxStreamSampleSize(WORD, DWORD *) { return E_NOTIMPL; }
STDMETHODIMP Reader::NotifyLateDelivery(QWORD) { return S_OK; }

// ---- IWMHeaderInfo ----

STDMETHODIMP Reader::GetAttributeCount(WORD wStreamNum, WORD *pcAttributes)
{
    if (!pcAttributes)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_opened)
        return NS_E_INVALID_REQUEST;
    *pcAttributes = wStreamNum == 0 ? static_cast<WORD>(FileAttributes(m_opened->Header()).size()) : 0;
    return S_OK;
}

STDMETHODIMP Reader::GetAttributeByIndex(WORD wIndex, WORD *pwStreamNum, WCHAR *pwszName, WORD *pcchNameLen,
                                         WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength)
{
    if (!pwStreamNum || !pcchNameLen)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_opened)
        return NS_E_INVALID_REQUEST;
    if (*pwStreamNum != 0)
        return E_INVALIDARG;
    std::vector<Attribute> attrs = FileAttributes(m_opened->Header());
    if (wIndex >= attrs.size())
        return E_INVALIDARG;
    HRESULT hr = CopyOutText(attrs[wIndex].name, pwszName, pcchNameLen);
    if (FAILED(hr))
        return hr;
    return CopyOutAttribute(attrs[wIndex], pType, pValue, pcbLength);
}

STDMETHODIMP Reader::GetAttributeByName(WORD *pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType,
                                        BYTE *pValue, WORD *pcbLength)
{
    if (!pwStreamNum || !pszName)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_opened)
        return NS_E_INVALID_REQUEST;
    if (*pwStreamNum != 0)
        return ASF_E_NOTFOUND; // streams carry no attributes of their own here
    std::u16string name(reinterpret_cast<const char16_t *>(pszName));
    for (const Attribute &attr : FileAttributes(m_opened->Header())) {
        if (attr.name == name)
            return CopyOutAttribute(attr, pType, pValue, pcbLength);
    }
    return ASF_E_NOTFOUND;
}

// The reader's header is read-only; markers and scripts are not read.
STDMETHODIMP Reader::SetAttribute(WORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE *, WORD)
{
    return NS_E_INVALID_REQUEST;
}
STDMETHODIMP Reader::GetMarkerCount(WORD *pcMarkers)
{
    if (!pcMarkers)
        return E_INVALIDARG;
    *pcMarkers = 0;
    return S_OK;
}
STDMETHODIMP Reader::GetMarker(WORD, WCHAR *, WORD *, QWORD *) { return E_INVALIDARG; }
STDMETHODIMP Reader::AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) { return NS_E_INVALID_REQUEST; }
STDMETHODIMP Reader::RemoveMarker(WORD) { return NS_E_INVALID_REQUEST; }
STDMETHODIMP Reader::GetScriptCount(WORD *pcScripts)
{
    if (!pcScripts)
        return E_INVALIDARG;
    *pcScripts = 0;
    return S_OK;
}
STDMETHODIMP Reader::GetScript(WORD, WCHAR *, WORD *, WCHAR *, WORD *, QWORD *) { return E_INVALIDARG; }
STDMETHODIMP Reader::AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD)
{
    return NS_E_INVALID_REQUEST;
}
STDMETHODIMP Reader::RemoveScript(WORD) { return NS_E_INVALID_REQUEST; }

// ---- IWMReaderStreamClock ----

STDMETHODIMP Reader::GetTime(QWORD *pcnsNow)
{
    if (!pcnsNow)
        return E_POINTER;
    *pcnsNow = 0;
    return S_OK;
}
STDMETHODIMP Reader::SetTimer(QWORD, void *, DWORD *) { return E_NOTIMPL; }
STDMETHODIMP Reader::KillTimer(DWORD) { return E_NOTIMPL; }

} // namespace twwmf

extern "C" HRESULT STDAPICALLTYPE WMCreateReader(IUnknown *, DWORD, IWMReader **ppReader)
{
    if (!ppReader)
        return E_POINTER;
    *ppReader = twcom::Make<twwmf::Reader>().detach();
    return *ppReader ? S_OK : E_OUTOFMEMORY;
}
