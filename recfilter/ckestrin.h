// CKestrin: the recording filter object. One COM identity carrying the filter with
// its two input pins, the control interfaces IKestrin and IFileSinkFilter, the
// queue of samples since the last video key frame and the ASF writer.
#pragma once
#include <atomic>

#include "streams.h"
#include "kestrin.h"
#include "queuedsample.h"

class CKestrinFilter;
class CKestrinInputPin;
class CWriter;

// Values of CKestrin::m_State below 0; from 0 up it counts the video samples written.
enum RecorderState : LONG {
    NoProfile = -4,
    ProfileSet = -3,
    FileNamed = -2,
    WriterStarted = -1,
    WriterFailed = -100,
};

class CKestrin : public CUnknown, public IFileSinkFilter, public IKestrin {
public:
    CKestrin(LPUNKNOWN pUnk, HRESULT *phr);
    ~CKestrin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP InnerQueryInterface(REFIID riid, void **ppv) override;

    // IKestrin
    STDMETHODIMP set_Profile(IWMProfile *pProfile) override;
    // IFileSinkFilter
    STDMETHODIMP SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *pmt) override;
    STDMETHODIMP GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt) override;

    // Ends the recording, if any; the queue stays as the next recording's pre-roll.
    HRESULT CloseFile();
    // CloseFile, then empties the queue (the filter stops). Until AcceptSamples,
    // samples that still reach the pins are dropped.
    HRESULT StopAndDiscardQueue();
    // The filter pauses or runs: received samples are kept again.
    void AcceptSamples();
    // One received sample; the pins call it under the receive lock.
    HRESULT Write(IMediaSample *pSample, bool isAudio);

    CKestrinFilter *Filter() const { return m_pFilter; }
    // Pin 0 "Video in", pin 1 "Audio in"; null for any other index.
    CBasePin *PinAt(int n) const;

private:
    HRESULT OpenFile();
    // Ends the writing of the file; both locks held.
    void StopRecordingLocked();
    // Stores what set_Profile read of one stream, under the receive lock.
    void StoreStreamInfo(bool isVideo, DWORD bitrate, WORD streamNumber);

    QueuedSample *NewQueuedSample(IMediaSample *pSample, LONGLONG startTime, bool isAudio);
    QueuedSample *PruneQueue(LONGLONG t);
    // Puts a record at the tail of the queue.
    void AppendQueued(QueuedSample *pRecord);
    bool QueueHoldsKeyFrame() const;
    HRESULT WriteQueued(QueuedSample *pRecord);
    HRESULT StartWriter();
    void FreeQueue();
    // Whether a failure of this kind is the first in the current file: a failure
    // that repeats sample after sample (a full disk) shows one box, not one each.
    bool FirstFailureInFile(BOOL *pShown);

    // Made in the constructor, constant until the destructor.
    CKestrinFilter *m_pFilter;
    CKestrinInputPin *m_pVideoPin;
    CKestrinInputPin *m_pAudioPin;
    // The filter's state lock (the control thread's), taken before m_ReceiveLock
    // when a change must not meet a sample on its way in (profile, stop).
    CCritSec m_Lock;
    // The streaming lock: the pins hold it through Write. It guards every member
    // below but m_State; m_pProfile is changed with both locks held.
    CCritSec m_ReceiveLock;
    WCHAR *m_pFileName;
    CWriter *m_WMWriter;            // the object is constant; its use is under the receive lock
    // Read by the control thread's queries while a streaming thread writes it.
    std::atomic<LONG> m_State;
    LONG m_AudioSamplesWritten;
    IWMProfile *m_pProfile;
    QueuedSample *m_pQueue;
    CQueuedSampleStore m_Records;   // makes and keeps the records of the queue
    QueuedSample *m_pQueueTail;     // the last record of the queue, null when it is empty
    LONG m_QueueLength;             // the number of records in the queue
    // The link to the first record that may be audio not yet written: every
    // record before it is video or written. Back to &m_pQueue whenever records
    // are freed or their written marks cleared.
    QueuedSample **m_ppPending;
    DWORD m_VideoBitrate;
    DWORD m_AudioBitrate;
    WORD m_VideoStreamNumber;
    WORD m_AudioStreamNumber;
    // A box about a failed AllocateSample / WriteStreamSample was shown for the
    // current file. Streaming threads, under the receive lock.
    BOOL m_bAllocateFailureShown;
    BOOL m_bWriteFailureShown;
    // The filter has stopped and not started again. The graph stops its filters
    // downstream first, so upstream can still deliver the ending run's last
    // samples; kept, they would join the next run's queue and, with that run's
    // times begun again, its recording. Receive lock.
    BOOL m_bStopped;
};

// Shows one of the filter's warning boxes, formatted like printf.
void KestrinWarning(const char *pFormat, ...);

CUnknown *CreateKestrinInstance(LPUNKNOWN pUnkOuter, HRESULT *phr);
