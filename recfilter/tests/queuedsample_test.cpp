// The queue's records: every length fits the room of its record, a record that
// was let go is taken again for a length of its size class only, and what is
// kept is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "queuedsample.h"

namespace {

std::vector<BYTE> Pattern(ULONG length, BYTE seed)
{
    std::vector<BYTE> bytes(length);
    for (ULONG i = 0; i < length; i++)
        bytes[i] = static_cast<BYTE>(seed + i * 13);
    return bytes;
}

TEST(QueuedSampleStore, RecordsHoldTheirBytesAcrossSizeClassBoundaries)
{
    CQueuedSampleStore store;
    const ULONG lengths[] = {0, 1, 64, 65, 256, 257, 320, 321, 511, 512, 513, 4095, 4096, 4097, 100000, 3u << 20};
    // Each record is let go and the next length (possibly of the same class)
    // takes it again: the full length must fit, and the bytes be the new ones.
    for (int round = 0; round < 2; round++) {
        for (ULONG length : lengths) {
            SCOPED_TRACE(length);
            std::vector<BYTE> bytes = Pattern(length, static_cast<BYTE>(length + round));
            QueuedSample *record = store.Alloc(bytes.data(), length, 1234 + length, length % 2 == 1);
            ASSERT_NE(nullptr, record);
            EXPECT_EQ(nullptr, record->next);
            EXPECT_EQ(length, record->length);
            EXPECT_EQ(length % 2 == 1 ? 1 : 0, record->isAudio);
            EXPECT_EQ(static_cast<LONGLONG>(1234 + length), record->startTime);
            EXPECT_EQ(0, record->written);
            // (A record of no bytes has an empty vector beside it, whose data may be null.)
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), record->Data()));
            record->written = 1;
            store.Recycle(record);
        }
    }
}

TEST(QueuedSampleStore, ARecordIsTakenAgainOnlyWithinItsSizeClass)
{
    CQueuedSampleStore store;
    std::vector<BYTE> bytes = Pattern(2000, 1);
    QueuedSample *a = store.Alloc(bytes.data(), 1500, 0, true);
    store.Recycle(a);
    // 1500 and 1400 share a class (1280 to 1536): the record comes back.
    QueuedSample *b = store.Alloc(bytes.data(), 1400, 0, true);
    EXPECT_EQ(a, b);
    store.Recycle(b);
    // 2000 is beyond its room: a new record.
    QueuedSample *c = store.Alloc(bytes.data(), 2000, 0, false);
    EXPECT_NE(b, c);
    store.Recycle(c);
    // After Clear nothing is kept.
    store.Clear();
    QueuedSample *d = store.Alloc(bytes.data(), 1400, 0, true);
    ASSERT_NE(nullptr, d);
    store.Recycle(d);
}

TEST(QueuedSampleStore, WhatIsKeptIsBounded)
{
    CQueuedSampleStore store;
    const ULONG length = 1u << 20;
    std::vector<BYTE> bytes = Pattern(length, 3);
    // Six records of 1 MiB let go: only as many as fit the bound are kept.
    std::vector<QueuedSample *> records;
    for (int i = 0; i < 6; i++)
        records.push_back(store.Alloc(bytes.data(), length, i, false));
    for (QueuedSample *r : records)
        store.Recycle(r);
    EXPECT_EQ(CQueuedSampleStore::kMaxKeptBytes, store.KeptBytes());
    // Taking one again takes it out of what is kept; Clear frees the rest.
    QueuedSample *again = store.Alloc(bytes.data(), length, 0, false);
    EXPECT_EQ(CQueuedSampleStore::kMaxKeptBytes - length, store.KeptBytes());
    store.Recycle(again);
    store.Clear();
    EXPECT_EQ(0u, store.KeptBytes());
}

} // namespace
