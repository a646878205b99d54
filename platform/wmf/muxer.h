// One ASF file being written through libavformat's "asf" muxer.
#pragma once
#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "streamconfig.h"

struct AVFormatContext;
struct AVIOContext;

namespace twwmf {

class AsfMuxer {
public:
    using Metadata = std::vector<std::pair<std::string, std::string>>;

    // Writes the header for the given streams (in that order) into io, which the
    // caller keeps open until Finish.
    static HRESULT Create(AVIOContext *io, const std::vector<StreamInfo> &streams, const Metadata &metadata,
                          std::unique_ptr<AsfMuxer> &out);
    ~AsfMuxer();
    AsfMuxer(const AsfMuxer &) = delete;
    AsfMuxer &operator=(const AsfMuxer &) = delete;

    // One sample of the stream at index, its time and duration in 100 ns units.
    // A stream's sample times may not go back; a sample on the same millisecond
    // as the one before is written one millisecond later. A sample more than the
    // interleave delta (10 s) behind the latest of any stream is refused.
    HRESULT Write(size_t index, const BYTE *data, DWORD size, QWORD time, QWORD duration, bool cleanPoint);
    // Hands every sample still held for interleaving to the file.
    HRESULT Flush();
    // Writes the rest of the file: held samples, index, final header.
    HRESULT Finish();

private:
    explicit AsfMuxer(AVFormatContext *ctx) : m_ctx(ctx) {}

    AVFormatContext *m_ctx;
    static constexpr QWORD kNoTime = ~QWORD(0);
    std::vector<long long> m_lastTs; // last time written per stream, in its time base
    std::vector<QWORD> m_lastTime;   // the caller's time of that sample
    long long m_maxTs = LLONG_MIN; // latest time written in any stream, in ms
    bool m_finished = false;
};

} // namespace twwmf
