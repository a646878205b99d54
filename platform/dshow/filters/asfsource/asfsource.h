// The ASF network source (CLSID_NetShowSource), the source RenderFile picks for
// stream URLs and ASF files. Load opens the URL through the ASF input module on
// the caller's thread, so that a host not found, a refused connection or content
// that is not ASF fail RenderFile with the module's HRESULT. Each ASF stream
// becomes an output pin "Stream N" (N the ASF stream number) offering the
// stream's compressed media type.
//
// Streaming: from Pause (out of Stopped) one reader thread pulls packets from
// the input and hands each to its pin's bounded queue; the kit gives each pin a
// delivery thread that takes packets from its queue into media samples. A full
// queue blocks the reader (push back to the network), so memory stays bounded
// and no packet is dropped. At the end of the stream every pin delivers
// EndOfStream; a failure for good also sends EC_ERRORABORT with its HRESULT.
// Stop cancels the input, so no thread stays blocked; the next Pause opens the
// URL again and starts from the current position (a broadcast: from now).
//
// Seeking (IMediaSeeking) restarts the streaming: downstream is flushed, the
// input of the run is cancelled, and a new one opens the URL, seeks and reads
// on; every pin announces the new segment before its first sample.
//
// Threads: Load, GetCurFile, state changes and SetPositions on the graph's
// thread; the reader and delivery threads as above; IAMNetworkStatus and the
// seeking queries from any thread.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <qnetwork.h>
#include <twwmf/asfinput.h>

#include "filters/asfsource/packet_queue.h"
#include "kit/media_time_seeking.h"
#include "kit/source.h"

TWCOM_INTERFACE(IFileSourceFilter, IID_IFileSourceFilter)
TWCOM_INTERFACE(IAMNetworkStatus, IID_IAMNetworkStatus, IID_IDispatch)

namespace twds {

class AsfSource final
    : public twcom::Object<AsfSource, kit::Source, IFileSourceFilter, IAMNetworkStatus, kit::MediaTimeSeeking> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    AsfSource();
    ~AsfSource() override;

    // The input's time-outs and reconnects (the defaults unless changed before
    // Load; graph thread).
    void SetInputSettings(const twwmf::AsfInputSettings &settings) { m_settings = settings; }

    // Packets read and waiting for their pins' delivery threads. Any thread.
    size_t QueuedPackets() const;

    // IFileSourceFilter
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt) override;

    // IDispatch (no type information: the interface is used from C++ only)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) override { return E_NOTIMPL; }
    // IAMNetworkStatus
    HRESULT STDMETHODCALLTYPE get_ReceivedPackets(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_RecoveredPackets(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_LostPackets(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_ReceptionQuality(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_BufferingCount(LONG *p) override;
    HRESULT STDMETHODCALLTYPE get_IsBroadcast(VARIANT_BOOL *p) override;
    HRESULT STDMETHODCALLTYPE get_BufferingProgress(LONG *p) override;

    // IMediaSeeking, in media time (100 ns from the start of the stream). A
    // stream that can seek (on demand, over a protocol that seeks) moves to the
    // key frame at or before a new position and announces a new segment that
    // starts there; what comes before the position is marked preroll. A
    // broadcast reports a duration of 0 and does not seek. (Time formats and
    // rate: kit::MediaTimeSeeking.)
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD *pCapabilities) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG *pDuration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG *pStop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG *pCurrent) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop,
                                           DWORD dwStopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG *pCurrent, LONGLONG *pStop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest) override;

protected:
    // Filter
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;
    void AfterStop() override;

    // OutputHandler
    HRESULT CheckOutputType(kit::OutputPin *pin, const AM_MEDIA_TYPE &mt) override;
    std::vector<kit::MediaType> OutputTypes(kit::OutputPin *pin) override;
    HRESULT DecideBufferSize(kit::OutputPin *pin, ALLOCATOR_PROPERTIES *props) override;

    // Source
    HRESULT FillSample(size_t index, IMediaSample *sample) override;

private:
    struct Stream {
        WORD number = 0;
        kit::MediaType type;
        LONG bufferSize = 0;
        std::unique_ptr<PacketQueue> queue;
        bool connected = false;     // set while stopped, read by the reader thread
    };

    size_t IndexOf(kit::OutputPin *pin) const;
    // Starts the reader thread on the input of this run (filter lock held).
    void StartReader();
    // Ends the reader: cancels the input and releases the queues (filter lock held).
    void InterruptReader();
    void ReaderThread(std::shared_ptr<twwmf::AsfInput> input, bool opened, LONGLONG from);
    void CloseQueues(HRESULT end);
    twwmf::AsfStatistics Statistics();
    // Writes one figure of the input's statistics to a caller's LONG.
    template <typename Pick>
    HRESULT Report(LONG *p, Pick pick);

    twwmf::AsfInputSettings m_settings; // set before Load (graph thread)
    std::u16string m_url;               // set once by Load (graph thread, stopped)
    std::atomic<bool> m_broadcast{false}; // set once by Load, read by any thread
    std::vector<Stream> m_streams;      // set once by Load; queues are thread-safe
    std::mutex m_inputLock;
    std::shared_ptr<twwmf::AsfInput> m_input;   // m_inputLock: the input of this run
    bool m_inputOpened = false;         // m_inputLock: m_input is Load's, opened and unread
    std::thread m_reader;               // the state changes' (serialised by the base filter)
    bool m_seekable = false;            // set once by Load
    LONGLONG m_duration = 0;            // set once by Load; 0 for a broadcast
    // Media time where the current segment starts: written by the graph's thread
    // while no reader or delivery thread runs (stopped, or in a restart), read by them.
    LONGLONG m_position = 0;
    std::atomic<LONGLONG> m_stop{0};    // media time where delivery ends; any thread
    std::atomic<LONGLONG> m_delivered{-1}; // media time of the last sample handed out; -1: none
};

} // namespace twds
