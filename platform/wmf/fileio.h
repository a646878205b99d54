// The file a muxer writes into: an AVIOContext over a file of its own whose
// buffer goes to the file in blocks that end on block boundaries of the file.
// The page cache then holds the file in large pieces, which the kernel writes,
// writes back and frees for far less than a file written in pieces of every
// size and place (as a hand-over to the disk each second of a recording makes).
#pragma once
#include <string>

struct AVIOContext;

namespace twwmf {

// The block: the most the buffer holds, and the alignment of its ends.
constexpr int kFileBlock = 256 * 1024;

// Creates (or truncates) the file at the native path; null with the AVERROR in
// *pErr when it cannot.
AVIOContext *OpenFileIO(const std::string &path, int *pErr);

// Hands what is buffered to the file and closes it; the first error of its
// writes or of the close (an AVERROR), or 0.
int CloseFileIO(AVIOContext **pIo);

} // namespace twwmf
