// The sample path: CKestrin::Write and the queue of samples since the last video
// key frame, which becomes the pre-roll of every recording.
#include <atomic>

#include "ckestrin.h"
#include "kestrinfilter.h"
#include "writer.h"

namespace {

const LONGLONG kOneSecond = 10000000;
// Queued audio this far later than a video sample is not on the video's clock
// (one of the two jumped): it is written before that video sample rather than
// left waiting for a video time that may never come.
const ULONGLONG kOtherClock = 5 * kOneSecond;

// Stream time last reported with EC_KESTRIN_STREAM_SECONDS, shared by every
// filter object of the process.
std::atomic<LONGLONG> s_LastReportedTime{0};

// The sample's bytes: null and 0 when it has none.
ULONG SampleBytes(IMediaSample *pSample, BYTE **ppData)
{
    *ppData = nullptr;
    if (FAILED(pSample->GetPointer(ppData)) || !*ppData) {
        *ppData = nullptr;
        return 0;
    }
    LONG length = pSample->GetActualDataLength();
    return length > 0 ? static_cast<ULONG>(length) : 0;
}

// A writer buffer holding a copy of the bytes, or the failure to get one.
HRESULT FillBuffer(CWriter *pWriter, const BYTE *pData, ULONG length, INSSBuffer **ppBuffer)
{
    INSSBuffer *pBuffer = nullptr;
    HRESULT hr = pWriter->AllocateSample(length, &pBuffer);
    if (FAILED(hr))
        return hr;
    if (!pBuffer)
        return E_POINTER;
    BYTE *pDest = nullptr;
    DWORD maxLength = 0;
    hr = pBuffer->GetBuffer(&pDest);
    if (SUCCEEDED(hr))
        hr = pBuffer->GetMaxLength(&maxLength);
    if (SUCCEEDED(hr) && (maxLength < length || (length && !pDest)))
        hr = E_OUTOFMEMORY;
    if (SUCCEEDED(hr) && length)
        memcpy(pDest, pData, length);
    if (SUCCEEDED(hr))
        hr = pBuffer->SetLength(length);
    if (FAILED(hr)) {
        pBuffer->Release();
        return hr;
    }
    *ppBuffer = pBuffer;
    return S_OK;
}

} // namespace

QueuedSample *CKestrin::NewQueuedSample(IMediaSample *pSample, LONGLONG startTime, bool isAudio)
{
    BYTE *pData = nullptr;
    ULONG length = SampleBytes(pSample, &pData);
    return m_Records.Alloc(pData, length, startTime, isAudio);
}

QueuedSample *CKestrin::PruneQueue(LONGLONG t)
{
    QueuedSample *pKeptHead = nullptr, *pLast = nullptr;
    LONG kept = 0;
    QueuedSample *p = m_pQueue;
    while (p) {
        QueuedSample *pNext = p->next;
        if (p->isAudio && p->startTime >= t) {
            p->next = nullptr;
            if (pLast)
                pLast->next = p;
            else
                pKeptHead = p;
            pLast = p;
            kept++;
        } else {
            m_Records.Recycle(p);
        }
        p = pNext;
    }
    m_pQueue = pKeptHead;
    m_pQueueTail = pLast;
    m_QueueLength = kept;
    m_ppPending = &m_pQueue;
    return pLast;
}

void CKestrin::AppendQueued(QueuedSample *pRecord)
{
    if (m_pQueueTail)
        m_pQueueTail->next = pRecord;
    else
        m_pQueue = pRecord;
    m_pQueueTail = pRecord;
    m_QueueLength++;
}

// Video enters the queue only from a key frame on, so any queued video record
// means the queue begins its video with a key frame.
bool CKestrin::QueueHoldsKeyFrame() const
{
    for (const QueuedSample *p = m_pQueue; p; p = p->next)
        if (!p->isAudio)
            return true;
    return false;
}

HRESULT CKestrin::WriteQueued(QueuedSample *pRecord)
{
    if (pRecord->written)
        return S_OK;
    bool isAudio = pRecord->isAudio != 0;
    INSSBuffer *pBuffer = nullptr;
    HRESULT hr = FillBuffer(m_WMWriter, pRecord->Data(), pRecord->length, &pBuffer);
    if (FAILED(hr)) {
        // Nothing to write it from: passed over, and not counted as written.
        pRecord->written = 1;
        return hr;
    }
    WORD streamNumber = isAudio ? m_AudioStreamNumber : m_VideoStreamNumber;
    LONG index = isAudio ? m_AudioSamplesWritten : static_cast<LONG>(m_State);
    DWORD flags = !isAudio && index == 0 ? WM_SF_CLEANPOINT : 0;
    hr = m_WMWriter->WriteStreamSample(streamNumber, static_cast<QWORD>(pRecord->startTime), 0, 0, flags, pBuffer);
    if (FAILED(hr) && FirstFailureInFile(&m_bWriteFailureShown))
        KestrinWarning("CKestrin::Write: m_WMWriter->WriteStreamSample failed hr=%x on sample %d of stream %d.",
                       static_cast<unsigned>(hr), static_cast<int>(index), static_cast<int>(streamNumber));
    pBuffer->Release();
    pRecord->written = 1;
    if (isAudio) {
        m_AudioSamplesWritten++;
    } else {
        LONG count = ++m_State;
        m_pFilter->PostGraphEvent(EC_KESTRIN_VIDEO_WRITTEN, count, 0);
    }
    return hr;
}

bool CKestrin::FirstFailureInFile(BOOL *pShown)
{
    if (*pShown)
        return false;
    *pShown = TRUE;
    return true;
}

// Init, CreateFileSink, Configure and Start of the writer for the named file.
HRESULT CKestrin::StartWriter()
{
    HRESULT hr = m_WMWriter->Init();
    if (FAILED(hr)) {
        KestrinWarning("CKestrin::Write: m_WMWriter->Init() failed hr=%x", static_cast<unsigned>(hr));
        return hr;
    }
    hr = m_WMWriter->CreateFileSink(m_pFileName);
    if (FAILED(hr)) {
        KestrinWarning("CKestrin::Write: m_WMWriter->CreateFileSink failed hr=%x", static_cast<unsigned>(hr));
        return hr;
    }
    hr = m_WMWriter->Configure(m_pProfile);
    if (FAILED(hr)) {
        KestrinWarning("CKestrin::Write: m_WMWriter->Configure failed hr=%x", static_cast<unsigned>(hr));
        return hr;
    }
    hr = m_WMWriter->Start();
    if (FAILED(hr)) {
        KestrinWarning("CKestrin::Write: m_WMWriter->Start failed hr=%x", static_cast<unsigned>(hr));
        return hr;
    }
    return S_OK;
}

HRESULT CKestrin::Write(IMediaSample *pSample, bool isAudio)
{
    if (!pSample)
        return E_POINTER;
    // A straggler of a run that has stopped: neither kept nor reported.
    if (m_bStopped)
        return S_OK;

    // 1. Times: t stays 0 when the sample has none.
    REFERENCE_TIME t = 0, tEnd = 0;
    if (FAILED(pSample->GetTime(&t, &tEnd)))
        t = 0;

    // 2. Stream time, once a second and at once when time jumps back.
    if (!isAudio) {
        LONGLONG last = s_LastReportedTime.load();
        if (t < last || static_cast<unsigned long long>(t) - static_cast<unsigned long long>(last) >=
                            static_cast<unsigned long long>(kOneSecond)) {
            m_pFilter->PostGraphEvent(EC_KESTRIN_STREAM_SECONDS, static_cast<LONG>(t / kOneSecond), 0);
            s_LastReportedTime.store(t);
        }
    }

    // 3. The first sample after an accepted file name starts the writer.
    if (m_State == FileNamed) {
        m_pFilter->PostGraphEvent(EC_KESTRIN_WRITER_STARTING, 0, 0);
        HRESULT hr = StartWriter();
        if (FAILED(hr)) {
            // Let go of what the failed start obtained, so that a recording after
            // the next accepted profile can start afresh.
            m_WMWriter->Discard();
            m_State = WriterFailed;
            return hr;
        }
        m_State = WriterStarted;
        m_bAllocateFailureShown = FALSE;
        m_bWriteFailureShown = FALSE;
    }

    // 4. The first video sample of the file writes the pre-roll: each queued video
    // sample preceded by the queued audio that is older than it.
    if (m_State == WriterStarted) {
        m_pFilter->PostGraphEvent(EC_KESTRIN_WRITER_STARTED, 0, 0);
        // A file never begins with a picture that cannot be decoded on its own:
        // until a key frame has arrived, video waits with the writer started.
        if (!isAudio && pSample->IsSyncPoint() != S_OK && !QueueHoldsKeyFrame())
            return S_OK;
        if (!isAudio) {
            m_State = 0;
            m_AudioSamplesWritten = 0;
            for (QueuedSample *v = m_pQueue; v; v = v->next) {
                if (v->isAudio)
                    continue;
                for (QueuedSample *a = m_pQueue; a; a = a->next)
                    if (a->isAudio && !a->written && a->startTime < v->startTime)
                        WriteQueued(a);
                WriteQueued(v);
            }
        }
    }

    // 5. A video sample while writing goes straight to the file, after the queued
    // audio older than it (and, once the file has video, the audio on a clock of
    // its own).
    bool handled = false;
    if (m_State >= 0 && !isAudio) {
        // The records before m_ppPending are done with; the scan starts there and
        // moves it past the records it finishes at the front.
        bool front = true;
        for (QueuedSample **pp = m_ppPending; *pp; pp = &(*pp)->next) {
            QueuedSample *a = *pp;
            if (a->isAudio && !a->written) {
                // (The difference of two signed times, taken unsigned, cannot overflow.)
                bool otherClock = a->startTime >= t && m_State > 0 &&
                                  static_cast<ULONGLONG>(a->startTime) - static_cast<ULONGLONG>(t) > kOtherClock;
                if (a->startTime < t || otherClock) {
                    if (m_State == 0)
                        a->written = 1; // older than the file's first video sample
                    else
                        WriteQueued(a);
                }
            }
            front = front && (!a->isAudio || a->written);
            if (front)
                m_ppPending = &a->next;
        }
        BYTE *pData = nullptr;
        ULONG length = SampleBytes(pSample, &pData);
        INSSBuffer *pBuffer = nullptr;
        HRESULT hr = FillBuffer(m_WMWriter, pData, length, &pBuffer);
        if (FAILED(hr)) {
            // The sample cannot reach the file; it is not counted as written.
            if (FirstFailureInFile(&m_bAllocateFailureShown))
                KestrinWarning("CKestrin::Write: m_WMWriter->AllocateSample failed hr=%x", static_cast<unsigned>(hr));
        } else {
            DWORD flags = pSample->IsSyncPoint() == S_OK ? WM_SF_CLEANPOINT : 0;
            LONG index = m_State;
            hr = m_WMWriter->WriteStreamSample(m_VideoStreamNumber, static_cast<QWORD>(t), 0, 0, flags, pBuffer);
            if (FAILED(hr) && FirstFailureInFile(&m_bWriteFailureShown))
                KestrinWarning("CKestrin::Write: m_WMWriter->WriteStreamSample failed hr=%x on sample %d of stream %d.",
                               static_cast<unsigned>(hr), static_cast<int>(index),
                               static_cast<int>(m_VideoStreamNumber));
            LONG count = ++m_State;
            m_pFilter->PostGraphEvent(EC_KESTRIN_VIDEO_WRITTEN, count, 0);
            pBuffer->Release();
        }
        handled = true;
    }

    // 6. Without a profile, or after a failed start, samples are not kept.
    if (m_State == NoProfile || m_State == WriterFailed)
        return S_OK;

    // 7. Queueing. A key frame starts the queue afresh, keeping only the audio
    // that is not older than it; video before the first key frame is not kept,
    // since a recording cannot begin with it. The copy is made first, so that a
    // failed allocation drops the sample and leaves the queue as it was.
    if (!isAudio && !handled && pSample->IsSyncPoint() != S_OK && !QueueHoldsKeyFrame())
        return S_OK;
    QueuedSample *pRecord = NewQueuedSample(pSample, t, isAudio);
    if (!pRecord)
        return S_OK;
    if (handled)
        pRecord->written = 1;
    bool notWriting = m_State < 0;
    if (!isAudio && pSample->IsSyncPoint() == S_OK) {
        if (notWriting)
            m_pFilter->PostGraphEvent(EC_KESTRIN_QUEUE_LENGTH, 1, 0);
        PruneQueue(t);
        AppendQueued(pRecord);
        return S_OK;
    }
    if (m_pQueue && notWriting)
        m_pFilter->PostGraphEvent(EC_KESTRIN_QUEUE_LENGTH, m_QueueLength, 0);
    AppendQueued(pRecord);
    return S_OK;
}
