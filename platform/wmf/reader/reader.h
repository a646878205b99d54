// The Windows Media reader: opens a URL through the ASF input module and
// answers for its header attributes, stream selection and profile.
//
// What it does
//   Open returns at once and opens the URL on a thread of the reader's own; the
//   callback's OnStatus then gets WMT_OPENED with the result. Close cancels an
//   open that is still going (the input module's time-outs bound it anyway),
//   then reports WMT_CLOSED from the reader's thread. Every accepted Open and
//   Close is answered exactly once, success or failure.
//   The reader never delivers samples: Start, Stop, Pause and Resume return
//   E_NOTIMPL, and so do the output-format calls. Its users only read the
//   header, select streams and take the profile.
//   IWMProfile is answered by QueryInterface once the reader is open: a profile
//   of the opened stream's streams (its own object, which outlives the reader).
//
// Threads
//   The interface methods may be called from any thread; m_lock guards the
//   reader's state. OnStatus runs on the reader's worker thread, never under
//   m_lock, so a callback may call back into the reader.
#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <wmsdkidl.h>

#include <twcom/object.h>
#include <twwmf/asfinput.h>

// IWMHeaderInfo's table entry lives beside the writer, which answers it too.
#include "writer.h"

TWCOM_INTERFACE(IWMReader, IID_IWMReader)
TWCOM_INTERFACE(IWMReaderAdvanced, IID_IWMReaderAdvanced)
TWCOM_INTERFACE(IWMReaderStreamClock, IID_IWMReaderStreamClock)

namespace twwmf {

class Reader final
    : public twcom::Object<Reader, IWMReader, IWMReaderAdvanced, IWMHeaderInfo, IWMReaderStreamClock> {
public:
    explicit Reader(const AsfInputSettings &settings = AsfInputSettings());
    // Cancels an open in progress and joins the reader's thread; no callback
    // comes after it.
    ~Reader() override;

    // IWMProfile is handed out from the opened stream's profile.
    STDMETHOD(QueryInterface)(REFIID iid, void **ppv) override;

    // IWMReader
    STDMETHOD(Open)(const WCHAR *pwszURL, IWMReaderCallback *pCallback, void *pvContext) override;
    STDMETHOD(Close)() override;
    STDMETHOD(GetOutputCount)(DWORD *pcOutputs) override;
    STDMETHOD(GetOutputProps)(DWORD dwOutputNum, IWMOutputMediaProps **ppOutput) override;
    STDMETHOD(SetOutputProps)(DWORD dwOutputNum, IWMOutputMediaProps *pOutput) override;
    STDMETHOD(GetOutputFormatCount)(DWORD dwOutputNumber, DWORD *pcFormats) override;
    STDMETHOD(GetOutputFormat)(DWORD dwOutputNumber, DWORD dwFormatNumber, IWMOutputMediaProps **ppProps) override;
    STDMETHOD(Start)(QWORD cnsStart, QWORD cnsDuration, float fRate, void *pvContext) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Resume)() override;

    // IWMReaderAdvanced
    STDMETHOD(SetUserProvidedClock)(BOOL fUserClock) override;
    STDMETHOD(GetUserProvidedClock)(BOOL *pfUserClock) override;
    STDMETHOD(DeliverTime)(QWORD cnsTime) override;
    STDMETHOD(SetManualStreamSelection)(BOOL fSelection) override;
    STDMETHOD(GetManualStreamSelection)(BOOL *pfSelection) override;
    STDMETHOD(SetStreamsSelected)(WORD cStreamCount, WORD *pwStreamNumbers,
                                  WMT_STREAM_SELECTION *pSelections) override;
    STDMETHOD(GetStreamSelected)(WORD wStreamNum, WMT_STREAM_SELECTION *pSelection) override;
    STDMETHOD(SetReceiveSelectionCallbacks)(BOOL fGetCallbacks) override;
    STDMETHOD(GetReceiveSelectionCallbacks)(BOOL *pfGetCallbacks) override;
    STDMETHOD(SetReceiveStreamSamples)(WORD wStreamNum, BOOL fReceiveStreamSamples) override;
    STDMETHOD(GetReceiveStreamSamples)(WORD wStreamNum, BOOL *pfReceiveStreamSamples) override;
    STDMETHOD(SetAllocateForOutput)(DWORD dwOutputNum, BOOL fAllocate) override;
    STDMETHOD(GetAllocateForOutput)(DWORD dwOutputNum, BOOL *pfAllocate) override;
    STDMETHOD(SetAllocateForStream)(WORD wStreamNum, BOOL fAllocate) override;
    STDMETHOD(GetAllocateForStream)(WORD dwStreamNum, BOOL *pfAllocate) override;
    STDMETHOD(GetStatistics)(WM_READER_STATISTICS *pStatistics) override;
    STDMETHOD(SetClientInfo)(WM_READER_CLIENTINFO *pClientInfo) override;
    STDMETHOD(GetMaxOutputSampleSize)(DWORD dwOutput, DWORD *pcbMax) override;
    STDMETHOD(GetMaxStreamSampleSize)(WORD wStream, DWORD *pcbMax) override;
    STDMETHOD(NotifyLateDelivery)(QWORD cnsLateness) override;

    // IWMHeaderInfo: the file-level attributes (stream 0) of the opened stream.
    STDMETHOD(GetAttributeCount)(WORD wStreamNum, WORD *pcAttributes) override;
    STDMETHOD(GetAttributeByIndex)(WORD wIndex, WORD *pwStreamNum, WCHAR *pwszName, WORD *pcchNameLen,
                                   WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength) override;
    STDMETHOD(GetAttributeByName)(WORD *pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                                  WORD *pcbLength) override;
    STDMETHOD(SetAttribute)(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE *pValue,
                            WORD cbLength) override;
    STDMETHOD(GetMarkerCount)(WORD *pcMarkers) override;
    STDMETHOD(GetMarker)(WORD wIndex, WCHAR *pwszMarkerName, WORD *pcchMarkerNameLen,
                         QWORD *pcnsMarkerTime) override;
    STDMETHOD(AddMarker)(LPCWSTR_WMSDK_TYPE_SAFE pwszMarkerName, QWORD cnsMarkerTime) override;
    STDMETHOD(RemoveMarker)(WORD wIndex) override;
    STDMETHOD(GetScriptCount)(WORD *pcScripts) override;
    STDMETHOD(GetScript)(WORD wIndex, WCHAR *pwszType, WORD *pcchTypeLen, WCHAR *pwszCommand,
                         WORD *pcchCommandLen, QWORD *pcnsScriptTime) override;
    STDMETHOD(AddScript)(LPCWSTR_WMSDK_TYPE_SAFE pwszType, LPCWSTR_WMSDK_TYPE_SAFE pwszCommand,
                         QWORD cnsScriptTime) override;
    STDMETHOD(RemoveScript)(WORD wIndex) override;

    // IWMReaderStreamClock: the reader never runs, so its clock stands at 0.
    STDMETHOD(GetTime)(QWORD *pcnsNow) override;
    STDMETHOD(SetTimer)(QWORD cnsWhen, void *pvParam, DWORD *pdwTimerId) override;
    STDMETHOD(KillTimer)(DWORD dwTimerId) override;

private:
    enum class State { Closed, Opening, Open, Failed, Closing };

    struct Selection {
        WORD number;
        WMT_STREAM_SELECTION selection;
    };

    void RunOpen(std::unique_ptr<AsfInput> input, std::u16string url, twcom::ComPtr<IWMReaderCallback> callback,
                 void *context);
    void RunClose(std::thread opener, twcom::ComPtr<IWMReaderCallback> callback, void *context);
    // Joins the worker unless called on it (the last reference released from
    // inside a callback), in which case it is left to end on its own.
    static void Finish(std::thread &worker);

    const AsfInputSettings m_settings;

    std::mutex m_lock; // guards everything below
    State m_state = State::Closed;
    std::thread m_worker;                 // the open or close in progress or last done
    AsfInput *m_input = nullptr;          // owned by the open thread while opening; Cancel only
    std::unique_ptr<AsfInput> m_opened;   // the input once open
    twcom::ComPtr<IWMReaderCallback> m_callback;
    void *m_context = nullptr;
    twcom::ComPtr<IWMProfile> m_profile;  // the opened stream's profile
    bool m_manualSelection = false;
    std::vector<Selection> m_selections;  // one per stream of the opened stream
};

} // namespace twwmf
