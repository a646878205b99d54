// The writer's sample buffers: a full buffer lends its bytes to a packet, which
// keeps them, with zeroed padding, after the caller lets the buffer go; blocks
// of buffers that went are taken again.
#include <gtest/gtest.h>

#include <cstring>

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
    SampleBuffer *second = Make(1480);
    BYTE *secondData = nullptr;
    second->GetBuffer(&secondData);
    EXPECT_EQ(firstData, secondData);
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

} // namespace
