// Stream configurations: what a profile knows of one stream, and the COM object
// (IWMStreamConfig with IWMMediaProps) that hands it to callers.
#pragma once
#include <mutex>
#include <string>

#include <twcom/object.h>

#include <twwmf/mediatype.h>

TWCOM_INTERFACE(IWMStreamConfig, IID_IWMStreamConfig)
TWCOM_INTERFACE(IWMMediaProps, IID_IWMMediaProps)

namespace twwmf {

// ASF stream numbers a profile accepts.
constexpr WORD kMinStreamNumber = 1;
constexpr WORD kMaxStreamNumber = 63;

struct StreamInfo {
    GUID streamType = GUID_NULL;
    WORD number = 0;
    std::u16string name;
    std::u16string connection;
    DWORD bitrate = 0;
    DWORD bufferWindow = 0;
    MediaFormat mediaType;

    bool operator==(const StreamInfo &o) const;
};

// Reads a stream configuration through its interfaces, whoever implements it.
HRESULT ReadStreamInfo(IWMStreamConfig *config, StreamInfo &out);

class StreamConfig final : public twcom::Object<StreamConfig, IWMStreamConfig, IWMMediaProps> {
public:
    explicit StreamConfig(StreamInfo info) : m_info(std::move(info)) {}
    // A new object holding a copy of info, with the caller's reference.
    static HRESULT Create(const StreamInfo &info, IWMStreamConfig **ppConfig);

    StreamInfo Info() const;

    // IWMStreamConfig
    STDMETHOD(GetStreamType)(GUID *pguidStreamType) override;
    STDMETHOD(GetStreamNumber)(WORD *pwStreamNum) override;
    STDMETHOD(SetStreamNumber)(WORD wStreamNum) override;
    STDMETHOD(GetStreamName)(WCHAR *pwszStreamName, WORD *pcchStreamName) override;
    STDMETHOD(SetStreamName)(LPCWSTR_WMSDK_TYPE_SAFE pwszStreamName) override;
    STDMETHOD(GetConnectionName)(WCHAR *pwszInputName, WORD *pcchInputName) override;
    STDMETHOD(SetConnectionName)(LPCWSTR_WMSDK_TYPE_SAFE pwszInputName) override;
    STDMETHOD(GetBitrate)(DWORD *pdwBitrate) override;
    STDMETHOD(SetBitrate)(DWORD dwBitrate) override;
    STDMETHOD(GetBufferWindow)(DWORD *pmsBufferWindow) override;
    STDMETHOD(SetBufferWindow)(DWORD msBufferWindow) override;

    // IWMMediaProps
    STDMETHOD(GetType)(GUID *pguidType) override;
    STDMETHOD(GetMediaType)(WM_MEDIA_TYPE *pType, DWORD *pcbType) override;
    STDMETHOD(SetMediaType)(WM_MEDIA_TYPE *pType) override;

private:
    mutable std::mutex m_lock;
    StreamInfo m_info;
};

} // namespace twwmf
