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

// A record with a copy of length bytes of pData; null when out of memory.
QueuedSample *AllocQueuedSample(const BYTE *pData, ULONG length, LONGLONG startTime, bool isAudio);
void FreeQueuedSample(QueuedSample *pRecord);
