// Windows Media Format SDK: types, interfaces and entry points of the reader,
// profiles, the writer and its sinks.
#pragma once
#include <windef.h>
#include <unknwn.h>

typedef ULONGLONG QWORD;
typedef LPCWSTR LPCWSTR_WMSDK_TYPE_SAFE;

typedef struct _WMMediaType {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown *pUnk;
    ULONG cbFormat;
    BYTE *pbFormat;
} WM_MEDIA_TYPE;

typedef struct _WMWriterStatistics {
    QWORD qwSampleCount;
    QWORD qwByteCount;
    QWORD qwDroppedSampleCount;
    QWORD qwDroppedByteCount;
    DWORD dwCurrentBitrate;
    DWORD dwAverageBitrate;
    DWORD dwExpectedBitrate;
    DWORD dwCurrentSampleRate;
    DWORD dwAverageSampleRate;
    DWORD dwExpectedSampleRate;
} WM_WRITER_STATISTICS;

typedef struct _WMWriterStatisticsEx {
    DWORD dwBitratePlusOverhead;
    DWORD dwCurrentSampleDropRateInQueue;
    DWORD dwCurrentSampleDropRateInCodec;
    DWORD dwCurrentSampleDropRateInMultiplexer;
    DWORD dwTotalSampleDropsInQueue;
    DWORD dwTotalSampleDropsInCodec;
    DWORD dwTotalSampleDropsInMultiplexer;
} WM_WRITER_STATISTICS_EX;

typedef struct _WMReaderStatistics {
    DWORD cbSize;
    DWORD dwBandwidth;
    DWORD cPacketsReceived;
    DWORD cPacketsRecovered;
    DWORD cPacketsLost;
    WORD wQuality;
} WM_READER_STATISTICS;

typedef struct _WMReaderClientInfo {
    DWORD cbSize;
    WCHAR *wszLang;
    WCHAR *wszBrowserUserAgent;
    WCHAR *wszBrowserWebPage;
    QWORD qwReserved;
    LPARAM *pReserved;
    WCHAR *wszHostExe;
    QWORD qwHostVersion;
    WCHAR *wszPlayerUserAgent;
} WM_READER_CLIENTINFO;

// Sample flags.
enum {
    WM_SF_CLEANPOINT = 0x1,
    WM_SF_DISCONTINUITY = 0x2,
    WM_SF_DATALOSS = 0x4
};

typedef enum WMT_ATTR_DATATYPE {
    WMT_TYPE_DWORD = 0,
    WMT_TYPE_STRING = 1,
    WMT_TYPE_BINARY = 2,
    WMT_TYPE_BOOL = 3,
    WMT_TYPE_QWORD = 4,
    WMT_TYPE_WORD = 5,
    WMT_TYPE_GUID = 6
} WMT_ATTR_DATATYPE;

typedef enum WMT_STATUS {
    WMT_ERROR = 0,
    WMT_OPENED = 1,
    WMT_BUFFERING_START = 2,
    WMT_BUFFERING_STOP = 3,
    WMT_EOF = 4,
    WMT_END_OF_FILE = 4,
    WMT_END_OF_SEGMENT = 5,
    WMT_END_OF_STREAMING = 6,
    WMT_LOCATING = 7,
    WMT_CONNECTING = 8,
    WMT_NO_RIGHTS = 9,
    WMT_MISSING_CODEC = 10,
    WMT_STARTED = 11,
    WMT_STOPPED = 12,
    WMT_CLOSED = 13,
    WMT_STRIDING = 14,
    WMT_TIMER = 15,
    WMT_INDEX_PROGRESS = 16,
    WMT_SAVEAS_START = 17,
    WMT_SAVEAS_STOP = 18,
    WMT_NEW_SOURCEFLAGS = 19,
    WMT_NEW_METADATA = 20
} WMT_STATUS;

typedef enum WMT_STREAM_SELECTION {
    WMT_OFF = 0,
    WMT_CLEANPOINT_ONLY = 1,
    WMT_ON = 2
} WMT_STREAM_SELECTION;

typedef enum WMT_VERSION {
    WMT_VER_4_0 = 0x40000,
    WMT_VER_7_0 = 0x70000,
    WMT_VER_8_0 = 0x80000,
    WMT_VER_9_0 = 0x90000
} WMT_VERSION;

typedef enum WMT_RIGHTS {
    WMT_RIGHT_PLAYBACK = 0x1,
    WMT_RIGHT_COPY_TO_NON_SDMI_DEVICE = 0x2,
    WMT_RIGHT_COPY_TO_CD = 0x8,
    WMT_RIGHT_COPY_TO_SDMI_DEVICE = 0x10,
    WMT_RIGHT_ONE_TIME = 0x20,
    WMT_RIGHT_SAVE_STREAM_PROTECTED = 0x40,
    WMT_RIGHT_COPY = 0x80,
    WMT_RIGHT_COLLABORATIVE_PLAY = 0x100,
    WMT_RIGHT_SDMI_TRIGGER = 0x10000,
    WMT_RIGHT_SDMI_NOMORECOPIES = 0x20000
} WMT_RIGHTS;

// Header attribute names.
static const WCHAR g_wszWMDuration[] = OLESTR("Duration");
static const WCHAR g_wszWMTitle[] = OLESTR("Title");
static const WCHAR g_wszWMAuthor[] = OLESTR("Author");
static const WCHAR g_wszWMDescription[] = OLESTR("Description");
static const WCHAR g_wszWMCopyright[] = OLESTR("Copyright");

DEFINE_GUID(IID_INSSBuffer, 0xe1cd3524, 0x03d7, 0x11d2, 0x9e, 0xed, 0x00, 0x60, 0x97, 0xd2, 0xd7, 0xcf);
DEFINE_GUID(IID_IWMMediaProps, 0x96406bce, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMInputMediaProps, 0x96406bd5, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMOutputMediaProps, 0x96406bd7, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMStreamConfig, 0x96406bdc, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMProfile, 0x96406bdb, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMProfileManager, 0xd16679f2, 0x6ca0, 0x472d, 0x8d, 0x31, 0x2f, 0x5d, 0x55, 0xae, 0xe1, 0x55);
DEFINE_GUID(IID_IWMHeaderInfo, 0x96406bda, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMWriter, 0x96406bd4, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMWriterAdvanced, 0x96406be3, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMWriterAdvanced2, 0x962dc1ec, 0xc046, 0x4db8, 0x9c, 0xc7, 0x26, 0xce, 0xae, 0x50, 0x08, 0x17);
DEFINE_GUID(IID_IWMWriterAdvanced3, 0x2cd6492d, 0x7c37, 0x4e76, 0x9d, 0x3b, 0x59, 0x26, 0x11, 0x83, 0xa2, 0x2e);
DEFINE_GUID(IID_IWMWriterSink, 0x96406be4, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMWriterFileSink, 0x96406be5, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMStatusCallback, 0x6d7cdc70, 0x9888, 0x11d3, 0x8e, 0xdc, 0x00, 0xc0, 0x4f, 0x61, 0x09, 0xcf);
DEFINE_GUID(IID_IWMReaderCallback, 0x96406bd8, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMReader, 0x96406bd6, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMReaderAdvanced, 0x96406bea, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);
DEFINE_GUID(IID_IWMReaderStreamClock, 0x96406bed, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff);

// Media types, subtypes and format blocks.
DEFINE_GUID(WMMEDIASUBTYPE_Base, 0x00000000, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIATYPE_Video, 0x73646976, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIATYPE_Audio, 0x73647561, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_WMV1, 0x31564d57, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_WMV2, 0x32564d57, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_WMV3, 0x33564d57, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_MSAUDIO1, 0x00000160, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_WMAudioV2, 0x00000161, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_WMAudioV8, 0x00000161, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMMEDIASUBTYPE_WMAudioV9, 0x00000162, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
DEFINE_GUID(WMFORMAT_VideoInfo, 0x05589f80, 0xc356, 0x11ce, 0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a);
DEFINE_GUID(WMFORMAT_WaveFormatEx, 0x05589f81, 0xc356, 0x11ce, 0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a);

// A sample buffer: the writer hands them out, the reader delivers them.
struct INSSBuffer : public IUnknown {
    STDMETHOD(GetLength)(DWORD *pdwLength) PURE;
    STDMETHOD(SetLength)(DWORD dwLength) PURE;
    STDMETHOD(GetMaxLength)(DWORD *pdwLength) PURE;
    STDMETHOD(GetBuffer)(BYTE **ppdwBuffer) PURE;
    STDMETHOD(GetBufferAndLength)(BYTE **ppdwBuffer, DWORD *pdwLength) PURE;
};

struct IWMMediaProps : public IUnknown {
    STDMETHOD(GetType)(GUID *pguidType) PURE;
    STDMETHOD(GetMediaType)(WM_MEDIA_TYPE *pType, DWORD *pcbType) PURE;
    STDMETHOD(SetMediaType)(WM_MEDIA_TYPE *pType) PURE;
};

struct IWMInputMediaProps : public IWMMediaProps {
    STDMETHOD(GetConnectionName)(WCHAR *pwszName, WORD *pcchName) PURE;
    STDMETHOD(GetGroupName)(WCHAR *pwszName, WORD *pcchName) PURE;
};

struct IWMOutputMediaProps : public IWMMediaProps {
    STDMETHOD(GetStreamGroupName)(WCHAR *pwszName, WORD *pcchName) PURE;
    STDMETHOD(GetConnectionName)(WCHAR *pwszName, WORD *pcchName) PURE;
};

struct IWMStreamConfig : public IUnknown {
    STDMETHOD(GetStreamType)(GUID *pguidStreamType) PURE;
    STDMETHOD(GetStreamNumber)(WORD *pwStreamNum) PURE;
    STDMETHOD(SetStreamNumber)(WORD wStreamNum) PURE;
    STDMETHOD(GetStreamName)(WCHAR *pwszStreamName, WORD *pcchStreamName) PURE;
    STDMETHOD(SetStreamName)(LPCWSTR_WMSDK_TYPE_SAFE pwszStreamName) PURE;
    STDMETHOD(GetConnectionName)(WCHAR *pwszInputName, WORD *pcchInputName) PURE;
    STDMETHOD(SetConnectionName)(LPCWSTR_WMSDK_TYPE_SAFE pwszInputName) PURE;
    STDMETHOD(GetBitrate)(DWORD *pdwBitrate) PURE;
    STDMETHOD(SetBitrate)(DWORD pdwBitrate) PURE;
    STDMETHOD(GetBufferWindow)(DWORD *pmsBufferWindow) PURE;
    STDMETHOD(SetBufferWindow)(DWORD msBufferWindow) PURE;
};

struct IWMMutualExclusion;

struct IWMProfile : public IUnknown {
    STDMETHOD(GetVersion)(WMT_VERSION *pdwVersion) PURE;
    STDMETHOD(GetName)(WCHAR *pwszName, DWORD *pcchName) PURE;
    STDMETHOD(SetName)(const WCHAR *pwszName) PURE;
    STDMETHOD(GetDescription)(WCHAR *pwszDescription, DWORD *pcchDescription) PURE;
    STDMETHOD(SetDescription)(const WCHAR *pwszDescription) PURE;
    STDMETHOD(GetStreamCount)(DWORD *pcStreams) PURE;
    STDMETHOD(GetStream)(DWORD dwStreamIndex, IWMStreamConfig **ppConfig) PURE;
    STDMETHOD(GetStreamByNumber)(WORD wStreamNum, IWMStreamConfig **ppConfig) PURE;
    STDMETHOD(RemoveStream)(IWMStreamConfig *pConfig) PURE;
    STDMETHOD(RemoveStreamByNumber)(WORD wStreamNum) PURE;
    STDMETHOD(AddStream)(IWMStreamConfig *pConfig) PURE;
    STDMETHOD(ReconfigStream)(IWMStreamConfig *pConfig) PURE;
    STDMETHOD(CreateNewStream)(REFGUID guidStreamType, IWMStreamConfig **ppConfig) PURE;
    STDMETHOD(GetMutualExclusionCount)(DWORD *pcME) PURE;
    STDMETHOD(GetMutualExclusion)(DWORD dwMEIndex, IWMMutualExclusion **ppME) PURE;
    STDMETHOD(RemoveMutualExclusion)(IWMMutualExclusion *pME) PURE;
    STDMETHOD(AddMutualExclusion)(IWMMutualExclusion *pME) PURE;
    STDMETHOD(CreateNewMutualExclusion)(IWMMutualExclusion **ppME) PURE;
};

struct IWMProfileManager : public IUnknown {
    STDMETHOD(CreateEmptyProfile)(WMT_VERSION dwVersion, IWMProfile **ppProfile) PURE;
    STDMETHOD(LoadProfileByID)(REFGUID guidProfile, IWMProfile **ppProfile) PURE;
    STDMETHOD(LoadProfileByData)(const WCHAR *pwszProfile, IWMProfile **ppProfile) PURE;
    STDMETHOD(SaveProfile)(IWMProfile *pIWMProfile, WCHAR *pwszProfile, DWORD *pdwLength) PURE;
    STDMETHOD(GetSystemProfileCount)(DWORD *pcProfiles) PURE;
    STDMETHOD(LoadSystemProfile)(DWORD dwProfileIndex, IWMProfile **ppProfile) PURE;
};

struct IWMHeaderInfo : public IUnknown {
    STDMETHOD(GetAttributeCount)(WORD wStreamNum, WORD *pcAttributes) PURE;
    STDMETHOD(GetAttributeByIndex)(WORD wIndex, WORD *pwStreamNum, WCHAR *pwszName, WORD *pcchNameLen,
                                   WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength) PURE;
    STDMETHOD(GetAttributeByName)(WORD *pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                                  WORD *pcbLength) PURE;
    STDMETHOD(SetAttribute)(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE *pValue,
                            WORD cbLength) PURE;
    STDMETHOD(GetMarkerCount)(WORD *pcMarkers) PURE;
    STDMETHOD(GetMarker)(WORD wIndex, WCHAR *pwszMarkerName, WORD *pcchMarkerNameLen, QWORD *pcnsMarkerTime) PURE;
    STDMETHOD(AddMarker)(LPCWSTR_WMSDK_TYPE_SAFE pwszMarkerName, QWORD cnsMarkerTime) PURE;
    STDMETHOD(RemoveMarker)(WORD wIndex) PURE;
    STDMETHOD(GetScriptCount)(WORD *pcScripts) PURE;
    STDMETHOD(GetScript)(WORD wIndex, WCHAR *pwszType, WORD *pcchTypeLen, WCHAR *pwszCommand,
                         WORD *pcchCommandLen, QWORD *pcnsScriptTime) PURE;
    STDMETHOD(AddScript)(LPCWSTR_WMSDK_TYPE_SAFE pwszType, LPCWSTR_WMSDK_TYPE_SAFE pwszCommand,
                         QWORD cnsScriptTime) PURE;
    STDMETHOD(RemoveScript)(WORD wIndex) PURE;
};

struct IWMWriterSink : public IUnknown {
    STDMETHOD(OnHeader)(INSSBuffer *pHeader) PURE;
    STDMETHOD(IsRealTime)(BOOL *pfRealTime) PURE;
    STDMETHOD(AllocateDataUnit)(DWORD cbDataUnit, INSSBuffer **ppDataUnit) PURE;
    STDMETHOD(OnDataUnit)(INSSBuffer *pDataUnit) PURE;
    STDMETHOD(OnEndWriting)() PURE;
};

struct IWMWriterFileSink : public IWMWriterSink {
    STDMETHOD(Open)(const WCHAR *pwszFilename) PURE;
};

struct IWMWriter : public IUnknown {
    STDMETHOD(SetProfileByID)(REFGUID guidProfile) PURE;
    STDMETHOD(SetProfile)(IWMProfile *pProfile) PURE;
    STDMETHOD(SetOutputFilename)(const WCHAR *pwszFilename) PURE;
    STDMETHOD(GetInputCount)(DWORD *pcInputs) PURE;
    STDMETHOD(GetInputProps)(DWORD dwInputNum, IWMInputMediaProps **ppInput) PURE;
    STDMETHOD(SetInputProps)(DWORD dwInputNum, IWMInputMediaProps *pInput) PURE;
    STDMETHOD(GetInputFormatCount)(DWORD dwInputNumber, DWORD *pcFormats) PURE;
    STDMETHOD(GetInputFormat)(DWORD dwInputNumber, DWORD dwFormatNumber, IWMInputMediaProps **pProps) PURE;
    STDMETHOD(BeginWriting)() PURE;
    STDMETHOD(EndWriting)() PURE;
    STDMETHOD(AllocateSample)(DWORD dwSampleSize, INSSBuffer **ppSample) PURE;
    STDMETHOD(WriteSample)(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags, INSSBuffer *pSample) PURE;
    STDMETHOD(Flush)() PURE;
};

struct IWMWriterAdvanced : public IUnknown {
    STDMETHOD(GetSinkCount)(DWORD *pcSinks) PURE;
    STDMETHOD(GetSink)(DWORD dwSinkNum, IWMWriterSink **ppSink) PURE;
    STDMETHOD(AddSink)(IWMWriterSink *pSink) PURE;
    STDMETHOD(RemoveSink)(IWMWriterSink *pSink) PURE;
    STDMETHOD(WriteStreamSample)(WORD wStreamNum, QWORD cnsSampleTime, DWORD msSampleSendTime,
                                 QWORD cnsSampleDuration, DWORD dwFlags, INSSBuffer *pSample) PURE;
    STDMETHOD(SetLiveSource)(BOOL fIsLiveSource) PURE;
    STDMETHOD(IsRealTime)(BOOL *pfRealTime) PURE;
    STDMETHOD(GetWriterTime)(QWORD *pcnsCurrentTime) PURE;
    STDMETHOD(GetStatistics)(WORD wStreamNum, WM_WRITER_STATISTICS *pStats) PURE;
    STDMETHOD(SetSyncTolerance)(DWORD msWindow) PURE;
    STDMETHOD(GetSyncTolerance)(DWORD *pmsWindow) PURE;
};

struct IWMWriterAdvanced2 : public IWMWriterAdvanced {
    STDMETHOD(GetInputSetting)(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                               WORD *pcbLength) PURE;
    STDMETHOD(SetInputSetting)(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE *pValue,
                               WORD cbLength) PURE;
};

struct IWMWriterAdvanced3 : public IWMWriterAdvanced2 {
    STDMETHOD(GetStatisticsEx)(WORD wStreamNum, WM_WRITER_STATISTICS_EX *pStats) PURE;
    STDMETHOD(SetNonBlocking)() PURE;
};

struct IWMStatusCallback : public IUnknown {
    STDMETHOD(OnStatus)(WMT_STATUS Status, HRESULT hr, WMT_ATTR_DATATYPE dwType, BYTE *pValue,
                        void *pvContext) PURE;
};

struct IWMReaderCallback : public IWMStatusCallback {
    STDMETHOD(OnSample)(DWORD dwOutputNum, QWORD cnsSampleTime, QWORD cnsSampleDuration, DWORD dwFlags,
                        INSSBuffer *pSample, void *pvContext) PURE;
};

struct IWMReader : public IUnknown {
    STDMETHOD(Open)(const WCHAR *pwszURL, IWMReaderCallback *pCallback, void *pvContext) PURE;
    STDMETHOD(Close)() PURE;
    STDMETHOD(GetOutputCount)(DWORD *pcOutputs) PURE;
    STDMETHOD(GetOutputProps)(DWORD dwOutputNum, IWMOutputMediaProps **ppOutput) PURE;
    STDMETHOD(SetOutputProps)(DWORD dwOutputNum, IWMOutputMediaProps *pOutput) PURE;
    STDMETHOD(GetOutputFormatCount)(DWORD dwOutputNumber, DWORD *pcFormats) PURE;
    STDMETHOD(GetOutputFormat)(DWORD dwOutputNumber, DWORD dwFormatNumber, IWMOutputMediaProps **ppProps) PURE;
    STDMETHOD(Start)(QWORD cnsStart, QWORD cnsDuration, float fRate, void *pvContext) PURE;
    STDMETHOD(Stop)() PURE;
    STDMETHOD(Pause)() PURE;
    STDMETHOD(Resume)() PURE;
};

struct IWMReaderAdvanced : public IUnknown {
    STDMETHOD(SetUserProvidedClock)(BOOL fUserClock) PURE;
    STDMETHOD(GetUserProvidedClock)(BOOL *pfUserClock) PURE;
    STDMETHOD(DeliverTime)(QWORD cnsTime) PURE;
    STDMETHOD(SetManualStreamSelection)(BOOL fSelection) PURE;
    STDMETHOD(GetManualStreamSelection)(BOOL *pfSelection) PURE;
    STDMETHOD(SetStreamsSelected)(WORD cStreamCount, WORD *pwStreamNumbers, WMT_STREAM_SELECTION *pSelections) PURE;
    STDMETHOD(GetStreamSelected)(WORD wStreamNum, WMT_STREAM_SELECTION *pSelection) PURE;
    STDMETHOD(SetReceiveSelectionCallbacks)(BOOL fGetCallbacks) PURE;
    STDMETHOD(GetReceiveSelectionCallbacks)(BOOL *pfGetCallbacks) PURE;
    STDMETHOD(SetReceiveStreamSamples)(WORD wStreamNum, BOOL fReceiveStreamSamples) PURE;
    STDMETHOD(GetReceiveStreamSamples)(WORD wStreamNum, BOOL *pfReceiveStreamSamples) PURE;
    STDMETHOD(SetAllocateForOutput)(DWORD dwOutputNum, BOOL fAllocate) PURE;
    STDMETHOD(GetAllocateForOutput)(DWORD dwOutputNum, BOOL *pfAllocate) PURE;
    STDMETHOD(SetAllocateForStream)(WORD wStreamNum, BOOL fAllocate) PURE;
    STDMETHOD(GetAllocateForStream)(WORD dwStreamNum, BOOL *pfAllocate) PURE;
    STDMETHOD(GetStatistics)(WM_READER_STATISTICS *pStatistics) PURE;
    STDMETHOD(SetClientInfo)(WM_READER_CLIENTINFO *pClientInfo) PURE;
    STDMETHOD(GetMaxOutputSampleSize)(DWORD dwOutput, DWORD *pcbMax) PURE;
    STDMETHOD(GetMaxStreamSampleSize)(WORD wStream, DWORD *pcbMax) PURE;
    STDMETHOD(NotifyLateDelivery)(QWORD cnsLateness) PURE;
};

struct IWMReaderStreamClock : public IUnknown {
    STDMETHOD(GetTime)(QWORD *pcnsNow) PURE;
    STDMETHOD(SetTimer)(QWORD cnsWhen, void *pvParam, DWORD *pdwTimerId) PURE;
    STDMETHOD(KillTimer)(DWORD dwTimerId) PURE;
};

// Entry points. The certificate argument is accepted and ignored.
EXTERN_C HRESULT STDAPICALLTYPE WMCreateProfileManager(IWMProfileManager **ppProfileManager);
EXTERN_C HRESULT STDAPICALLTYPE WMCreateWriter(IUnknown *pUnkCert, IWMWriter **ppWriter);
EXTERN_C HRESULT STDAPICALLTYPE WMCreateWriterFileSink(IWMWriterFileSink **ppSink);
EXTERN_C HRESULT STDAPICALLTYPE WMCreateReader(IUnknown *pUnkCert, DWORD dwRights, IWMReader **ppReader);
