#include "profile.h"

#include <algorithm>
#include <new>
#include <nserror.h>
#include <set>

#include "text.h"

namespace twwmf {

bool ProfileData::operator==(const ProfileData &o) const
{
    return version == o.version && name == o.name && description == o.description && streams == o.streams;
}

static HRESULT CheckStream(const StreamInfo &s)
{
    if (s.number < kMinStreamNumber || s.number > kMaxStreamNumber)
        return NS_E_INVALID_STREAM;
    if (s.mediaType.majortype != s.streamType)
        return NS_E_INVALID_STREAM;
    return CheckFormatBlock(s.mediaType.formattype, s.mediaType.format.data(), s.mediaType.format.size());
}

HRESULT CheckProfileData(const ProfileData &data)
{
    std::set<WORD> numbers;
    for (const StreamInfo &s : data.streams) {
        HRESULT hr = CheckStream(s);
        if (FAILED(hr))
            return hr;
        if (!numbers.insert(s.number).second)
            return NS_E_INVALID_STREAM;
    }
    return S_OK;
}

static HRESULT ReadText(IWMProfile *profile, bool description, std::u16string &out)
{
    DWORD cch = 0;
    HRESULT hr = description ? profile->GetDescription(nullptr, &cch) : profile->GetName(nullptr, &cch);
    if (FAILED(hr))
        return hr;
    std::u16string buffer(static_cast<size_t>(cch) + 1, u'\0');
    hr = description ? profile->GetDescription(buffer.data(), &cch) : profile->GetName(buffer.data(), &cch);
    if (FAILED(hr))
        return hr;
    out = WideString(buffer.c_str());
    return S_OK;
}

HRESULT ReadProfileData(IWMProfile *profile, ProfileData &out)
{
    if (!profile)
        return E_POINTER;
    if (auto *own = dynamic_cast<Profile *>(profile)) {
        out = own->Data();
        return S_OK;
    }
    ProfileData data;
    DWORD count = 0;
    HRESULT hr;
    if (FAILED(hr = profile->GetVersion(&data.version)) || FAILED(hr = ReadText(profile, false, data.name)) ||
        FAILED(hr = ReadText(profile, true, data.description)) || FAILED(hr = profile->GetStreamCount(&count)))
        return hr;
    for (DWORD i = 0; i < count; ++i) {
        twcom::ComPtr<IWMStreamConfig> config;
        StreamInfo info;
        if (FAILED(hr = profile->GetStream(i, config.put())) || FAILED(hr = ReadStreamInfo(config.get(), info)))
            return hr;
        data.streams.push_back(std::move(info));
    }
    out = std::move(data);
    return S_OK;
}

HRESULT Profile::Create(const ProfileData &data, IWMProfile **ppProfile)
{
    if (!ppProfile)
        return E_POINTER;
    *ppProfile = twcom::Make<Profile>(data).detach();
    return *ppProfile ? S_OK : E_OUTOFMEMORY;
}

ProfileData Profile::Data() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_data;
}

std::vector<StreamInfo>::iterator Profile::Find(WORD number)
{
    return std::find_if(m_data.streams.begin(), m_data.streams.end(),
                        [number](const StreamInfo &s) { return s.number == number; });
}

STDMETHODIMP Profile::GetVersion(WMT_VERSION *pdwVersion)
{
    if (!pdwVersion)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pdwVersion = m_data.version;
    return S_OK;
}

STDMETHODIMP Profile::GetName(WCHAR *pwszName, DWORD *pcchName)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return CopyOutText(m_data.name, pwszName, pcchName);
}

STDMETHODIMP Profile::SetName(const WCHAR *pwszName)
{
    if (!pwszName)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    m_data.name = pwszName;
    return S_OK;
}

STDMETHODIMP Profile::GetDescription(WCHAR *pwszDescription, DWORD *pcchDescription)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return CopyOutText(m_data.description, pwszDescription, pcchDescription);
}

STDMETHODIMP Profile::SetDescription(const WCHAR *pwszDescription)
{
    if (!pwszDescription)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    m_data.description = pwszDescription;
    return S_OK;
}

STDMETHODIMP Profile::GetStreamCount(DWORD *pcStreams)
{
    if (!pcStreams)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pcStreams = static_cast<DWORD>(m_data.streams.size());
    return S_OK;
}

// Configurations handed out are copies: changes reach the profile through ReconfigStream.
STDMETHODIMP Profile::GetStream(DWORD dwStreamIndex, IWMStreamConfig **ppConfig)
{
    if (!ppConfig)
        return E_POINTER;
    *ppConfig = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    if (dwStreamIndex >= m_data.streams.size())
        return E_INVALIDARG;
    return StreamConfig::Create(m_data.streams[dwStreamIndex], ppConfig);
}

STDMETHODIMP Profile::GetStreamByNumber(WORD wStreamNum, IWMStreamConfig **ppConfig)
{
    if (!ppConfig)
        return E_POINTER;
    *ppConfig = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = Find(wStreamNum);
    if (it == m_data.streams.end())
        return NS_E_NO_STREAM;
    return StreamConfig::Create(*it, ppConfig);
}

STDMETHODIMP Profile::RemoveStream(IWMStreamConfig *pConfig)
{
    if (!pConfig)
        return E_POINTER;
    WORD number = 0;
    HRESULT hr = pConfig->GetStreamNumber(&number);
    if (FAILED(hr))
        return hr;
    return RemoveStreamByNumber(number);
}

STDMETHODIMP Profile::RemoveStreamByNumber(WORD wStreamNum)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = Find(wStreamNum);
    if (it == m_data.streams.end())
        return NS_E_NO_STREAM;
    m_data.streams.erase(it);
    return S_OK;
}

STDMETHODIMP Profile::AddStream(IWMStreamConfig *pConfig)
{
    StreamInfo info;
    HRESULT hr = ReadStreamInfo(pConfig, info);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = CheckStream(info)))
        return hr;
    std::lock_guard<std::mutex> guard(m_lock);
    if (Find(info.number) != m_data.streams.end())
        return NS_E_INVALID_STREAM;
    m_data.streams.push_back(std::move(info));
    return S_OK;
}

STDMETHODIMP Profile::ReconfigStream(IWMStreamConfig *pConfig)
{
    StreamInfo info;
    HRESULT hr = ReadStreamInfo(pConfig, info);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = CheckStream(info)))
        return hr;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = Find(info.number);
    if (it == m_data.streams.end())
        return NS_E_NO_STREAM;
    *it = std::move(info);
    return S_OK;
}

STDMETHODIMP Profile::CreateNewStream(REFGUID guidStreamType, IWMStreamConfig **ppConfig)
{
    if (!ppConfig)
        return E_POINTER;
    *ppConfig = nullptr;
    if (guidStreamType != WMMEDIATYPE_Video && guidStreamType != WMMEDIATYPE_Audio)
        return NS_E_INVALID_STREAM;
    StreamInfo info;
    info.streamType = guidStreamType;
    info.mediaType.majortype = guidStreamType;
    return StreamConfig::Create(info, ppConfig);
}

STDMETHODIMP Profile::GetMutualExclusionCount(DWORD *pcME)
{
    if (!pcME)
        return E_POINTER;
    *pcME = 0;
    return S_OK;
}

STDMETHODIMP Profile::GetMutualExclusion(DWORD, IWMMutualExclusion **ppME)
{
    if (ppME)
        *ppME = nullptr;
    return E_INVALIDARG;
}

STDMETHODIMP Profile::RemoveMutualExclusion(IWMMutualExclusion *) { return E_NOTIMPL; }
STDMETHODIMP Profile::AddMutualExclusion(IWMMutualExclusion *) { return E_NOTIMPL; }

STDMETHODIMP Profile::CreateNewMutualExclusion(IWMMutualExclusion **ppME)
{
    if (ppME)
        *ppME = nullptr;
    return E_NOTIMPL;
}

} // namespace twwmf
