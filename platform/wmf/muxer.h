// One ASF file being written through libavformat's "asf" muxer.
#pragma once
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "streamconfig.h"
#include "timeline.h"

struct AVBufferRef;
struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

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
    // The file's time line (see Timeline) keeps every stream's times rising and
    // turns a jump of the source's clock into a short gap, so no sample is
    // refused for its time. With `shared`, a reference to a buffer holding the
    // size bytes at data followed by zeroed padding, the packet takes that
    // reference over and the bytes are not copied; Write always consumes it.
    HRESULT Write(size_t index, const BYTE *data, DWORD size, QWORD time, QWORD duration, bool cleanPoint,
                  AVBufferRef *shared = nullptr);
    // Hands every sample still held for interleaving to the file.
    HRESULT Flush();
    // Writes the rest of the file: held samples, index, final header.
    HRESULT Finish();

private:
    AsfMuxer(AVFormatContext *ctx, size_t streams);

    // Gives each video stream whose bit rate the profile did not state the rate
    // it had in the file, so that the final header's maximum bit rate covers it.
    void MeasureUnstatedBitRates();

    struct Tally {
        uint64_t bytes = 0;
        int64_t first = 0, last = 0; // file times in ms
        size_t samples = 0;
    };

    AVFormatContext *m_ctx;
    AVPacket *m_packet; // reused for every sample; empty between writes
    Timeline m_timeline; // file times in ms, the streams' time base
    std::vector<Tally> m_tally; // per stream
    bool m_finished = false;
    int64_t m_flushedAt = INT64_MIN; // monotonic wall time (ms) of the last hand-over to the disk
};

} // namespace twwmf
