// The writer's sample buffers: a full buffer lends its bytes to a packet, which
// keeps them, with zeroed padding, after the caller lets the buffer go; blocks
// of buffers that went are taken again.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "samplebuffer.h"

extern "C" {
#include <libavcodec/defs.h>
#include <libavutil/buffer.h>
}

using twwmf::SampleBuffer;

namespace {

SampleBuffer *Make(DWORD length)
{
    INSSBuffer *buffer = nullptr;
    EXPECT_EQ(S_OK, SampleBuffer::Create(length, &buffer));
    return static_cast<SampleBuffer *>(buffer);
}

BYTE *BytesOf(SampleBuffer *buffer)
{
    BYTE *data = nullptr;
    EXPECT_EQ(S_OK, buffer->GetBuffer(&data));
    return data;
}

// The blocks of a class are taken again oldest first: makes buffers of the
// length, holding them, until one has its bytes at `data`, and returns that one
// (the others released); null when none does.
SampleBuffer *TakeBlockOf(const BYTE *data, DWORD length)
{
    std::vector<SampleBuffer *> others;
    SampleBuffer *found = nullptr;
    while (!found && others.size() < 5000) {
        SampleBuffer *buffer = Make(length);
        if (!buffer)
            break;
        if (BytesOf(buffer) == data)
            found = buffer;
        else
            others.push_back(buffer);
    }
    for (SampleBuffer *buffer : others)
        buffer->Release();
    return found;
}

TEST(SampleBuffer, ASharedBufferOutlivesItsCallerWithPaddingAfterTheBytes)
{
    for (DWORD length : {0u, 1u, 63u, 300u, 5000u, 1u << 20}) {
        SCOPED_TRACE(length);
        SampleBuffer *buffer = Make(length);
        ASSERT_NE(nullptr, buffer);
        BYTE *data = nullptr;
        ASSERT_EQ(S_OK, buffer->GetBuffer(&data));
        for (DWORD i = 0; i < length; i++)
            data[i] = static_cast<BYTE>(i * 7 + 1);
        AVBufferRef *shared = buffer->Share();
        ASSERT_NE(nullptr, shared);
        EXPECT_EQ(data, shared->data);
        EXPECT_EQ(length, shared->size);
        buffer->Release(); // the caller is done; the packet's reference remains
        for (DWORD i = 0; i < length; i++)
            ASSERT_EQ(static_cast<BYTE>(i * 7 + 1), shared->data[i]) << i;
        for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; i++)
            ASSERT_EQ(0, shared->data[length + i]) << "padding byte " << i;
        av_buffer_unref(&shared);
    }
}

TEST(SampleBuffer, OnlyAFullBufferIsShared)
{
    SampleBuffer *buffer = Make(100);
    ASSERT_EQ(S_OK, buffer->SetLength(40));
    // The bytes after 40 are not padding a packet could rely on.
    EXPECT_EQ(nullptr, buffer->Share());
    ASSERT_EQ(S_OK, buffer->SetLength(100));
    AVBufferRef *shared = buffer->Share();
    EXPECT_NE(nullptr, shared);
    av_buffer_unref(&shared);
    buffer->Release();
}

TEST(SampleBuffer, TheBlockOfABufferThatWentIsTakenAgainForOneOfItsSize)
{
    SampleBuffer *first = Make(1500);
    BYTE *firstData = nullptr;
    first->GetBuffer(&firstData);
    first->Release();
    // The same size class (a little smaller) takes the block again, fully usable.
    SampleBuffer *second = TakeBlockOf(firstData, 1480);
    ASSERT_NE(nullptr, second);
    BYTE *secondData = BytesOf(second);
    memset(secondData, 0xAB, 1480);
    DWORD max = 0;
    second->GetMaxLength(&max);
    EXPECT_EQ(1480u, max);
    AVBufferRef *shared = second->Share();
    ASSERT_NE(nullptr, shared);
    second->Release();
    // While a packet holds it, the block is nobody else's.
    SampleBuffer *third = Make(1480);
    BYTE *thirdData = nullptr;
    third->GetBuffer(&thirdData);
    EXPECT_NE(secondData, thirdData);
    EXPECT_EQ(0xAB, shared->data[1479]);
    av_buffer_unref(&shared);
    third->Release();
}

// A block lent to a packet keeps its packet buffer: once the packet lets go it
// is taken again, and lent again, with the new buffer's bytes and padding.
TEST(SampleBuffer, ALentBlockIsTakenAgainOnceThePacketLetsGo)
{
    SampleBuffer *first = Make(9000);
    BYTE *firstData = nullptr;
    first->GetBuffer(&firstData);
    memset(firstData, 0x11, 9000);
    AVBufferRef *shared = first->Share();
    ASSERT_NE(nullptr, shared);
    first->Release();
    av_buffer_unref(&shared);

    SampleBuffer *second = TakeBlockOf(firstData, 8900);
    ASSERT_NE(nullptr, second);
    BYTE *secondData = BytesOf(second);
    memset(secondData, 0x22, 8900);
    shared = second->Share();
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(secondData, shared->data);
    EXPECT_EQ(8900u, shared->size);
    // Two outputs of one sample: two references to the same bytes.
    AVBufferRef *again = second->Share();
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(shared->data, again->data);
    second->Release();
    for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; i++)
        ASSERT_EQ(0, shared->data[8900 + i]) << "padding byte " << i;
    EXPECT_EQ(0x22, shared->data[8899]);
    av_buffer_unref(&shared);
    EXPECT_EQ(0x22, again->data[0]);
    av_buffer_unref(&again);
}

// Blocks that come back beyond what is kept go, but one a packet still holds
// stays readable until the packet lets go of it (AddressSanitizer would see a
// read of freed memory).
TEST(SampleBuffer, ABlockLetGoWhileAPacketHoldsItStaysForThePacket)
{
    const DWORD length = 200000;
    std::vector<AVBufferRef *> packets;
    std::vector<SampleBuffer *> buffers;
    for (int i = 0; i < 40; i++) { // 8 MB: more than the blocks kept
        SampleBuffer *buffer = Make(length);
        ASSERT_NE(nullptr, buffer);
        BYTE *data = nullptr;
        buffer->GetBuffer(&data);
        memset(data, i + 1, length);
        AVBufferRef *shared = buffer->Share();
        ASSERT_NE(nullptr, shared);
        packets.push_back(shared);
        buffers.push_back(buffer);
    }
    for (SampleBuffer *buffer : buffers)
        buffer->Release();
    for (size_t i = 0; i < packets.size(); i++) {
        EXPECT_EQ(static_cast<BYTE>(i + 1), packets[i]->data[0]);
        EXPECT_EQ(static_cast<BYTE>(i + 1), packets[i]->data[length - 1]);
        av_buffer_unref(&packets[i]);
    }
}

} // namespace
