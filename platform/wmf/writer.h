// The writer: a profile's streams, pass-through inputs, and one ASF muxer per
// file sink while writing.
#pragma once
#include <memory>
#include <mutex>
#include <vector>
#include <wmsdkidl.h>

#include <twcom/object.h>

#include "attributes.h"
#include "filesink.h"
#include "muxer.h"

TWCOM_INTERFACE(IWMWriter, IID_IWMWriter)
TWCOM_INTERFACE(IWMWriterAdvanced3, IID_IWMWriterAdvanced3, IID_IWMWriterAdvanced2, IID_IWMWriterAdvanced)
TWCOM_INTERFACE(IWMHeaderInfo, IID_IWMHeaderInfo)

namespace twwmf {

class Writer final : public twcom::Object<Writer, IWMWriter, IWMWriterAdvanced3, IWMHeaderInfo> {
public:
    Writer() = default;
    // A writer released while writing finishes its files.
    ~Writer();

    // IWMWriter
    STDMETHOD(SetProfileByID)(REFGUID guidProfile) override;
    STDMETHOD(SetProfile)(IWMProfile *pProfile) override;
    STDMETHOD(SetOutputFilename)(const WCHAR *pwszFilename) override;
    STDMETHOD(GetInputCount)(DWORD *pcInputs) override;
    STDMETHOD(GetInputProps)(DWORD dwInputNum, IWMInputMediaProps **ppInput) override;
    STDMETHOD(SetInputProps)(DWORD dwInputNum, IWMInputMediaProps *pInput) override;
    STDMETHOD(GetInputFormatCount)(DWORD dwInputNumber, DWORD *pcFormats) override;
    STDMETHOD(GetInputFormat)(DWORD dwInputNumber, DWORD dwFormatNumber, IWMInputMediaProps **pProps) override;
    STDMETHOD(BeginWriting)() override;
    STDMETHOD(EndWriting)() override;
    STDMETHOD(AllocateSample)(DWORD dwSampleSize, INSSBuffer **ppSample) override;
    STDMETHOD(WriteSample)(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags, INSSBuffer *pSample) override;
    STDMETHOD(Flush)() override;

    // IWMWriterAdvanced
    STDMETHOD(GetSinkCount)(DWORD *pcSinks) override;
    STDMETHOD(GetSink)(DWORD dwSinkNum, IWMWriterSink **ppSink) override;
    STDMETHOD(AddSink)(IWMWriterSink *pSink) override;
    STDMETHOD(RemoveSink)(IWMWriterSink *pSink) override;
    STDMETHOD(WriteStreamSample)(WORD wStreamNum, QWORD cnsSampleTime, DWORD msSampleSendTime,
                                 QWORD cnsSampleDuration, DWORD dwFlags, INSSBuffer *pSample) override;
    STDMETHOD(SetLiveSource)(BOOL fIsLiveSource) override;
    STDMETHOD(IsRealTime)(BOOL *pfRealTime) override;
    STDMETHOD(GetWriterTime)(QWORD *pcnsCurrentTime) override;
    STDMETHOD(GetStatistics)(WORD wStreamNum, WM_WRITER_STATISTICS *pStats) override;
    STDMETHOD(SetSyncTolerance)(DWORD msWindow) override;
    STDMETHOD(GetSyncTolerance)(DWORD *pmsWindow) override;

    // IWMWriterAdvanced2
    STDMETHOD(GetInputSetting)(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                               WORD *pcbLength) override;
    STDMETHOD(SetInputSetting)(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE *pValue,
                               WORD cbLength) override;

    // IWMWriterAdvanced3
    STDMETHOD(GetStatisticsEx)(WORD wStreamNum, WM_WRITER_STATISTICS_EX *pStats) override;
    STDMETHOD(SetNonBlocking)() override;

    // IWMHeaderInfo: attributes set before BeginWriting go into the file header.
    STDMETHOD(GetAttributeCount)(WORD wStreamNum, WORD *pcAttributes) override;
    STDMETHOD(GetAttributeByIndex)(WORD wIndex, WORD *pwStreamNum, WCHAR *pwszName, WORD *pcchNameLen,
                                   WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength) override;
    STDMETHOD(GetAttributeByName)(WORD *pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                                  WORD *pcbLength) override;
    STDMETHOD(SetAttribute)(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE *pValue,
                            WORD cbLength) override;
    STDMETHOD(GetMarkerCount)(WORD *pcMarkers) override;
    STDMETHOD(GetMarker)(WORD wIndex, WCHAR *pwszMarkerName, WORD *pcchMarkerNameLen, QWORD *pcnsMarkerTime) override;
    STDMETHOD(AddMarker)(LPCWSTR_WMSDK_TYPE_SAFE pwszMarkerName, QWORD cnsMarkerTime) override;
    STDMETHOD(RemoveMarker)(WORD wIndex) override;
    STDMETHOD(GetScriptCount)(WORD *pcScripts) override;
    STDMETHOD(GetScript)(WORD wIndex, WCHAR *pwszType, WORD *pcchTypeLen, WCHAR *pwszCommand, WORD *pcchCommandLen,
                         QWORD *pcnsScriptTime) override;
    STDMETHOD(AddScript)(LPCWSTR_WMSDK_TYPE_SAFE pwszType, LPCWSTR_WMSDK_TYPE_SAFE pwszCommand,
                         QWORD cnsScriptTime) override;
    STDMETHOD(RemoveScript)(WORD wIndex) override;

private:
    struct Output {
        twcom::ComPtr<FileSink> sink;
        std::unique_ptr<AsfMuxer> muxer; // present while writing
    };

    HRESULT WriteLocked(size_t streamIndex, QWORD time, QWORD duration, DWORD flags, INSSBuffer *pSample);
    // Finishes one output's file; the first failure of trailer or close.
    static HRESULT FinishOutput(Output &out);
    AsfMuxer::Metadata FileMetadata() const;

    // Every method runs under m_lock, so a caller's streaming threads and its control
    // thread may share the writer; it guards all the members below.
    std::mutex m_lock;
    std::vector<StreamInfo> m_streams; // the profile's, in its order
    bool m_configured = false;
    bool m_writing = false;
    std::vector<Output> m_outputs;
    AttributeStore m_attributes;
    QWORD m_writerTime = 0;
    DWORD m_syncTolerance = 3000;
    BOOL m_live = FALSE;
};

} // namespace twwmf
