#include "queuedsample.h"

#include <cstdlib>
#include <cstring>

namespace {

// The size class of a length and the room for bytes of that class: up to 256
// bytes in steps of 64; above, four steps per doubling.
ULONG SizeClass(ULONG length, ULONG *pRoom)
{
    if (length <= 256) {
        ULONG steps = length ? (length + 63) / 64 : 1;
        *pRoom = steps * 64;
        return steps - 1;
    }
    // 2^k < length <= 2^(k+1), k >= 8; the step is 2^(k-2).
    ULONG k = 8;
    while (k < 31 && (1ULL << (k + 1)) < length)
        k++;
    const unsigned long long step = 1ULL << (k - 2);
    const unsigned long long steps = (length + step - 1) / step; // 5 to 8
    const unsigned long long room = steps * step;
    *pRoom = room > 0xFFFFFFFFULL ? 0xFFFFFFFFUL : static_cast<ULONG>(room);
    return 4 + (k - 8) * 4 + static_cast<ULONG>(steps - 5);
}

} // namespace

CQueuedSampleStore::CQueuedSampleStore() : m_pKept(), m_cbKept(0)
{
}

CQueuedSampleStore::~CQueuedSampleStore()
{
    Clear();
}

QueuedSample *CQueuedSampleStore::Alloc(const BYTE *pData, ULONG length, LONGLONG startTime, bool isAudio)
{
    ULONG room = 0;
    const ULONG sizeClass = SizeClass(length, &room);
    QueuedSample *pRecord = m_pKept[sizeClass];
    if (pRecord) {
        m_pKept[sizeClass] = pRecord->next;
        m_cbKept -= room;
    } else {
        pRecord = static_cast<QueuedSample *>(malloc(sizeof(QueuedSample) + room));
        if (!pRecord)
            return nullptr;
    }
    pRecord->next = nullptr;
    pRecord->length = length;
    pRecord->isAudio = isAudio ? 1 : 0;
    pRecord->startTime = startTime;
    pRecord->written = 0;
    if (length)
        memcpy(pRecord->Data(), pData, length);
    return pRecord;
}

void CQueuedSampleStore::Recycle(QueuedSample *pRecord)
{
    ULONG room = 0;
    const ULONG sizeClass = SizeClass(pRecord->length, &room);
    if (room > kMaxKeptBytes - m_cbKept) {
        free(pRecord);
        return;
    }
    pRecord->next = m_pKept[sizeClass];
    m_pKept[sizeClass] = pRecord;
    m_cbKept += room;
}

void CQueuedSampleStore::Clear()
{
    for (QueuedSample *&pHead : m_pKept) {
        while (pHead) {
            QueuedSample *pNext = pHead->next;
            free(pHead);
            pHead = pNext;
        }
    }
    m_cbKept = 0;
}
