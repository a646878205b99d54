// One received sample kept in CKestrin's queue: the record and, in the same
// allocation, a copy of the sample's bytes.
#pragma once
#include <windows.h>

struct QueuedSample {
    QueuedSample *next;
    ULONG length;
    LONG isAudio;
    LONGLONG startTime;
    LONG written;

    BYTE *Data() { return reinterpret_cast<BYTE *>(this + 1); }
};

// Makes and frees the queue's records. A record's room for bytes is its length
// rounded up to a size class (at most a quarter more), so that a freed record
// can be kept and taken again for a sample of the same class: a stream of
// samples then costs no allocation each. What it keeps is bounded.
class CQueuedSampleStore {
public:
    CQueuedSampleStore();
    ~CQueuedSampleStore();
    CQueuedSampleStore(const CQueuedSampleStore &) = delete;
    CQueuedSampleStore &operator=(const CQueuedSampleStore &) = delete;

    // A record with a copy of length bytes of pData; null when out of memory.
    QueuedSample *Alloc(const BYTE *pData, ULONG length, LONGLONG startTime, bool isAudio);
    // Keeps the record for a later Alloc, or frees it when enough are kept.
    void Recycle(QueuedSample *pRecord);
    // Frees every record kept.
    void Clear();
    // The bytes of room of the records kept.
    ULONG KeptBytes() const { return m_cbKept; }

    static constexpr ULONG kClasses = 100;
    static constexpr ULONG kMaxKeptBytes = 4 << 20;

private:
    QueuedSample *m_pKept[kClasses]; // per size class, linked through next
    ULONG m_cbKept;                  // the bytes of all records kept
};
