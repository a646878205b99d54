// The muxer's file: full buffers go to the file in blocks that end on block
// boundaries, a flush hands over everything, going back to rewrite the header
// works, and failures to create or to write the file are reported.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <twtesting.h>

#include "fileio.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

using twwmf::kFileBlock;

namespace {

long long SizeOnDisk(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void WriteBytes(AVIOContext *io, size_t count, char fill)
{
    std::string bytes(count, fill);
    avio_write(io, reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(count));
}

TEST(FileIO, FullBuffersEndOnBlockBoundariesAndAFlushHandsOverEverything)
{
    twtest::TempDir dir;
    const std::string path = dir.file("blocks.asf");
    int err = 0;
    AVIOContext *io = twwmf::OpenFileIO(path, &err);
    ASSERT_NE(nullptr, io) << err;
    WriteBytes(io, 699, 'h');
    avio_flush(io);
    EXPECT_EQ(699, SizeOnDisk(path));
    // The next full buffer ends on the first block boundary; the rest waits.
    WriteBytes(io, kFileBlock + 1000, 'a');
    EXPECT_EQ(kFileBlock, SizeOnDisk(path));
    WriteBytes(io, kFileBlock, 'b');
    EXPECT_EQ(2 * kFileBlock, SizeOnDisk(path));
    // Many small writes (the muxer's packets) go in whole blocks too.
    for (int i = 0; i < 100; i++)
        WriteBytes(io, 3200, 'c');
    EXPECT_EQ(0, SizeOnDisk(path) % kFileBlock);
    const long long total = 699 + kFileBlock + 1000 + kFileBlock + 100 * 3200;
    EXPECT_GT(SizeOnDisk(path), total - kFileBlock);
    avio_flush(io);
    EXPECT_EQ(total, SizeOnDisk(path));

    // The header rewritten at the end, as the muxer does when it finishes.
    avio_seek(io, 0, SEEK_SET);
    WriteBytes(io, 10, 'H');
    avio_seek(io, total, SEEK_SET);
    WriteBytes(io, 5, 'e');
    EXPECT_EQ(0, twwmf::CloseFileIO(&io));
    EXPECT_EQ(nullptr, io);
    const std::string content = twtest::ReadFile(path);
    ASSERT_EQ(static_cast<size_t>(total + 5), content.size());
    EXPECT_EQ(std::string(10, 'H') + std::string(689, 'h'), content.substr(0, 699));
    EXPECT_EQ(std::string(kFileBlock + 1000, 'a'), content.substr(699, kFileBlock + 1000));
    EXPECT_EQ('b', content[699 + kFileBlock + 1000]);
    EXPECT_EQ('c', content[total - 1]);
    EXPECT_EQ("eeeee", content.substr(total));
}

TEST(FileIO, FailuresToCreateOrWriteAreReported)
{
    twtest::TempDir dir;
    int err = 0;
    EXPECT_EQ(nullptr, twwmf::OpenFileIO(dir.file("no/such/dir/x.asf"), &err));
    EXPECT_EQ(AVERROR(ENOENT), err);

    // A device that is always full takes nothing.
    AVIOContext *io = twwmf::OpenFileIO("/dev/full", &err);
    ASSERT_NE(nullptr, io) << err;
    WriteBytes(io, 3 * kFileBlock, 'x');
    EXPECT_EQ(AVERROR(ENOSPC), io->error);
    EXPECT_EQ(AVERROR(ENOSPC), twwmf::CloseFileIO(&io));
}

} // namespace
