#include "fileio.h"

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace twwmf {

namespace {

// What the context's callbacks work on; owned by the context (its opaque). Used
// by whoever writes through the context (the writer, under its lock).
struct File {
    int fd;
    AVIOContext *io;   // the context this file belongs to
    int64_t position;  // where the next write goes in the file
};

// Lets the buffer fill only up to the next block boundary of the file after
// position, so that each hand-over of a full buffer ends on one.
void AlignBufferEnd(AVIOContext *io, int64_t position)
{
    io->buf_end = io->buffer + (kFileBlock - static_cast<int>(position % kFileBlock));
}

int WritePacket(void *opaque, uint8_t *buf, int size)
{
    auto *file = static_cast<File *>(opaque);
    int done = 0;
    while (done < size) {
        ssize_t n = write(file->fd, buf + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return AVERROR(errno);
        }
        done += static_cast<int>(n);
    }
    file->position += size;
    AlignBufferEnd(file->io, file->position);
    return size;
}

int64_t Seek(void *opaque, int64_t offset, int whence)
{
    auto *file = static_cast<File *>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat st;
        return fstat(file->fd, &st) < 0 ? AVERROR(errno) : st.st_size;
    }
    off_t position = lseek(file->fd, offset, whence & ~AVSEEK_FORCE);
    if (position < 0)
        return AVERROR(errno);
    file->position = position;
    AlignBufferEnd(file->io, position);
    return position;
}

} // namespace

AVIOContext *OpenFileIO(const std::string &path, int *pErr)
{
    *pErr = 0;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *pErr = AVERROR(errno);
        return nullptr;
    }
    auto *file = new (std::nothrow) File{fd, nullptr, 0};
    auto *buffer = static_cast<unsigned char *>(av_malloc(kFileBlock));
    AVIOContext *io = file && buffer ? avio_alloc_context(buffer, kFileBlock, 1, file, nullptr, WritePacket, Seek)
                                     : nullptr;
    if (!io) {
        av_free(buffer);
        delete file;
        close(fd);
        *pErr = AVERROR(ENOMEM);
        return nullptr;
    }
    file->io = io;
    // The muxer goes back to the header when the file is finished.
    io->seekable = AVIO_SEEKABLE_NORMAL;
    // The muxer's flush points (one per packet) hand over no less than a block:
    // the buffer goes to the file when full, or when the writer flushes.
    io->min_packet_size = kFileBlock;
    return io;
}

int CloseFileIO(AVIOContext **pIo)
{
    AVIOContext *io = *pIo;
    if (!io)
        return 0;
    avio_flush(io);
    int err = io->error;
    auto *file = static_cast<File *>(io->opaque);
    av_freep(&io->buffer);
    avio_context_free(pIo);
    if (close(file->fd) < 0 && err >= 0)
        err = AVERROR(errno);
    delete file;
    return err < 0 ? err : 0;
}

} // namespace twwmf
