// Profiles: the streams of an ASF file, their order and descriptions.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "streamconfig.h"

TWCOM_INTERFACE(IWMProfile, IID_IWMProfile)

namespace twwmf {

struct ProfileData {
    WMT_VERSION version = WMT_VER_9_0;
    std::u16string name;
    std::u16string description;
    std::vector<StreamInfo> streams; // in profile order

    bool operator==(const ProfileData &o) const;
};

// Checks what a profile must satisfy: stream numbers in range and distinct,
// each stream's media type of its stream type with a complete format block.
HRESULT CheckProfileData(const ProfileData &data);

// Reads a profile through its interface, whoever implements it.
HRESULT ReadProfileData(IWMProfile *profile, ProfileData &out);

class Profile final : public twcom::Object<Profile, IWMProfile> {
public:
    explicit Profile(ProfileData data) : m_data(std::move(data)) {}
    // A new profile holding a copy of data, with the caller's reference.
    static HRESULT Create(const ProfileData &data, IWMProfile **ppProfile);

    ProfileData Data() const;

    STDMETHOD(GetVersion)(WMT_VERSION *pdwVersion) override;
    STDMETHOD(GetName)(WCHAR *pwszName, DWORD *pcchName) override;
    STDMETHOD(SetName)(const WCHAR *pwszName) override;
    STDMETHOD(GetDescription)(WCHAR *pwszDescription, DWORD *pcchDescription) override;
    STDMETHOD(SetDescription)(const WCHAR *pwszDescription) override;
    STDMETHOD(GetStreamCount)(DWORD *pcStreams) override;
    STDMETHOD(GetStream)(DWORD dwStreamIndex, IWMStreamConfig **ppConfig) override;
    STDMETHOD(GetStreamByNumber)(WORD wStreamNum, IWMStreamConfig **ppConfig) override;
    STDMETHOD(RemoveStream)(IWMStreamConfig *pConfig) override;
    STDMETHOD(RemoveStreamByNumber)(WORD wStreamNum) override;
    STDMETHOD(AddStream)(IWMStreamConfig *pConfig) override;
    STDMETHOD(ReconfigStream)(IWMStreamConfig *pConfig) override;
    STDMETHOD(CreateNewStream)(REFGUID guidStreamType, IWMStreamConfig **ppConfig) override;
    STDMETHOD(GetMutualExclusionCount)(DWORD *pcME) override;
    STDMETHOD(GetMutualExclusion)(DWORD dwMEIndex, IWMMutualExclusion **ppME) override;
    STDMETHOD(RemoveMutualExclusion)(IWMMutualExclusion *pME) override;
    STDMETHOD(AddMutualExclusion)(IWMMutualExclusion *pME) override;
    STDMETHOD(CreateNewMutualExclusion)(IWMMutualExclusion **ppME) override;

private:
    std::vector<StreamInfo>::iterator Find(WORD number);

    mutable std::mutex m_lock;
    ProfileData m_data;
};

} // namespace twwmf
