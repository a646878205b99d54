// WMCreateProfileManager: empty profiles, and profiles saved and loaded as XML.
#include <new>
#include <nserror.h>

#include <twcom/object.h>

#include "profilexml.h"
#include "text.h"

TWCOM_INTERFACE(IWMProfileManager, IID_IWMProfileManager)

namespace twwmf {
namespace {

class ProfileManager final : public twcom::Object<ProfileManager, IWMProfileManager> {
public:
    STDMETHOD(CreateEmptyProfile)(WMT_VERSION dwVersion, IWMProfile **ppProfile) override
    {
        if (!ppProfile)
            return E_POINTER;
        *ppProfile = nullptr;
        if (dwVersion != WMT_VER_4_0 && dwVersion != WMT_VER_7_0 && dwVersion != WMT_VER_8_0 &&
            dwVersion != WMT_VER_9_0)
            return E_INVALIDARG;
        ProfileData data;
        data.version = dwVersion;
        return Profile::Create(data, ppProfile);
    }

    STDMETHOD(LoadProfileByID)(REFGUID, IWMProfile **ppProfile) override
    {
        if (ppProfile)
            *ppProfile = nullptr;
        return E_NOTIMPL;
    }

    STDMETHOD(LoadProfileByData)(const WCHAR *pwszProfile, IWMProfile **ppProfile) override
    {
        if (!pwszProfile || !ppProfile)
            return E_POINTER;
        *ppProfile = nullptr;
        ProfileData data;
        HRESULT hr = LoadProfileXml(WideString(pwszProfile), data);
        if (FAILED(hr))
            return hr;
        return Profile::Create(data, ppProfile);
    }

    // *pdwLength counts characters including the NUL, as for the size query.
    STDMETHOD(SaveProfile)(IWMProfile *pIWMProfile, WCHAR *pwszProfile, DWORD *pdwLength) override
    {
        if (!pIWMProfile || !pdwLength)
            return E_POINTER;
        ProfileData data;
        HRESULT hr = ReadProfileData(pIWMProfile, data);
        if (FAILED(hr))
            return hr;
        std::u16string xml;
        if (FAILED(hr = SaveProfileXml(data, xml)))
            return hr;
        return CopyOutText(xml, pwszProfile, pdwLength);
    }

    STDMETHOD(GetSystemProfileCount)(DWORD *pcProfiles) override
    {
        if (!pcProfiles)
            return E_POINTER;
        *pcProfiles = 0;
        return S_OK;
    }

    STDMETHOD(LoadSystemProfile)(DWORD, IWMProfile **ppProfile) override
    {
        if (ppProfile)
            *ppProfile = nullptr;
        return E_INVALIDARG;
    }
};

} // namespace
} // namespace twwmf

extern "C" HRESULT STDAPICALLTYPE WMCreateProfileManager(IWMProfileManager **ppProfileManager)
{
    if (!ppProfileManager)
        return E_POINTER;
    *ppProfileManager = twcom::Make<twwmf::ProfileManager>().detach();
    return *ppProfileManager ? S_OK : E_OUTOFMEMORY;
}
