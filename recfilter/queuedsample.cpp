#include "queuedsample.h"

#include <cstdlib>
#include <cstring>

QueuedSample *AllocQueuedSample(const BYTE *pData, ULONG length, LONGLONG startTime, bool isAudio)
{
    auto *pRecord = static_cast<QueuedSample *>(malloc(sizeof(QueuedSample) + length));
    if (!pRecord)
        return nullptr;
    pRecord->next = nullptr;
    pRecord->length = length;
    pRecord->isAudio = isAudio ? 1 : 0;
    pRecord->startTime = startTime;
    pRecord->written = 0;
    if (length)
        memcpy(pRecord->Data(), pData, length);
    return pRecord;
}

void FreeQueuedSample(QueuedSample *pRecord)
{
    free(pRecord);
}
