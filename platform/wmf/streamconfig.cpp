#include "streamconfig.h"

#include <new>

#include "text.h"

namespace twwmf {

bool StreamInfo::operator==(const StreamInfo &o) const
{
    return streamType == o.streamType && number == o.number && name == o.name && connection == o.connection &&
           bitrate == o.bitrate && bufferWindow == o.bufferWindow && mediaType == o.mediaType;
}

static HRESULT ReadName(IWMStreamConfig *config, bool connection, std::u16string &out)
{
    WORD cch = 0;
    HRESULT hr = connection ? config->GetConnectionName(nullptr, &cch) : config->GetStreamName(nullptr, &cch);
    if (FAILED(hr))
        return hr;
    std::u16string buffer(cch + 1u, u'\0');
    hr = connection ? config->GetConnectionName(buffer.data(), &cch) : config->GetStreamName(buffer.data(), &cch);
    if (FAILED(hr))
        return hr;
    out = WideString(buffer.c_str());
    return S_OK;
}

HRESULT ReadStreamInfo(IWMStreamConfig *config, StreamInfo &out)
{
    if (!config)
        return E_POINTER;
    if (auto *own = dynamic_cast<StreamConfig *>(config)) {
        out = own->Info();
        return S_OK;
    }
    StreamInfo info;
    HRESULT hr;
    if (FAILED(hr = config->GetStreamType(&info.streamType)) || FAILED(hr = config->GetStreamNumber(&info.number)) ||
        FAILED(hr = ReadName(config, false, info.name)) || FAILED(hr = ReadName(config, true, info.connection)) ||
        FAILED(hr = config->GetBitrate(&info.bitrate)) || FAILED(hr = config->GetBufferWindow(&info.bufferWindow)))
        return hr;
    auto props = twcom::QueryAs<IWMMediaProps>(config, IID_IWMMediaProps);
    if (!props)
        return E_NOINTERFACE;
    DWORD cb = 0;
    if (FAILED(hr = props->GetMediaType(nullptr, &cb)))
        return hr;
    if (cb < sizeof(WM_MEDIA_TYPE))
        return E_UNEXPECTED;
    std::vector<unsigned long long> storage((cb + 7) / 8);
    auto *mt = reinterpret_cast<WM_MEDIA_TYPE *>(storage.data());
    if (FAILED(hr = props->GetMediaType(mt, &cb)) || FAILED(hr = MediaFormat::FromWmType(mt, info.mediaType)))
        return hr;
    out = std::move(info);
    return S_OK;
}

HRESULT StreamConfig::Create(const StreamInfo &info, IWMStreamConfig **ppConfig)
{
    if (!ppConfig)
        return E_POINTER;
    *ppConfig = twcom::Make<StreamConfig>(info).detach();
    return *ppConfig ? S_OK : E_OUTOFMEMORY;
}

StreamInfo StreamConfig::Info() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_info;
}

STDMETHODIMP StreamConfig::GetStreamType(GUID *pguidStreamType)
{
    if (!pguidStreamType)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pguidStreamType = m_info.streamType;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetStreamNumber(WORD *pwStreamNum)
{
    if (!pwStreamNum)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pwStreamNum = m_info.number;
    return S_OK;
}

STDMETHODIMP StreamConfig::SetStreamNumber(WORD wStreamNum)
{
    if (wStreamNum < kMinStreamNumber || wStreamNum > kMaxStreamNumber)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_lock);
    m_info.number = wStreamNum;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetStreamName(WCHAR *pwszStreamName, WORD *pcchStreamName)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return CopyOutText(m_info.name, pwszStreamName, pcchStreamName);
}

// Names are counted in WORDs by the getters, so longer ones are refused.
static HRESULT SetName(std::u16string &target, const WCHAR *value)
{
    if (!value)
        return E_POINTER;
    std::u16string s = WideString(value);
    if (s.size() >= 0xFFFF)
        return E_INVALIDARG;
    target = std::move(s);
    return S_OK;
}

STDMETHODIMP StreamConfig::SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE pwszStreamName)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return SetName(m_info.name, pwszStreamName);
}

STDMETHODIMP StreamConfig::GetConnectionName(WCHAR *pwszInputName, WORD *pcchInputName)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return CopyOutText(m_info.connection, pwszInputName, pcchInputName);
}

STDMETHODIMP StreamConfig::SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE pwszInputName)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return SetName(m_info.connection, pwszInputName);
}

STDMETHODIMP StreamConfig::GetBitrate(DWORD *pdwBitrate)
{
    if (!pdwBitrate)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pdwBitrate = m_info.bitrate;
    return S_OK;
}

STDMETHODIMP StreamConfig::SetBitrate(DWORD dwBitrate)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_info.bitrate = dwBitrate;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetBufferWindow(DWORD *pmsBufferWindow)
{
    if (!pmsBufferWindow)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pmsBufferWindow = m_info.bufferWindow;
    return S_OK;
}

STDMETHODIMP StreamConfig::SetBufferWindow(DWORD msBufferWindow)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_info.bufferWindow = msBufferWindow;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetType(GUID *pguidType)
{
    if (!pguidType)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pguidType = m_info.mediaType.majortype;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetMediaType(WM_MEDIA_TYPE *pType, DWORD *pcbType)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_info.mediaType.ToWmType(pType, pcbType);
}

STDMETHODIMP StreamConfig::SetMediaType(WM_MEDIA_TYPE *pType)
{
    MediaFormat mt;
    HRESULT hr = MediaFormat::FromWmType(pType, mt);
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> guard(m_lock);
    if (mt.majortype != m_info.streamType)
        return E_INVALIDARG;
    m_info.mediaType = std::move(mt);
    return S_OK;
}

} // namespace twwmf
