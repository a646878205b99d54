// Key frames as the compressed picture itself says, for the video codecs whose
// container flag some servers set on every packet.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace twwmf {

class KeyFrameProbe {
public:
    enum Answer { Unknown = -1, Delta = 0, Key = 1 };

    // For a stream of the given FOURCC with its codec data (the sequence header
    // of WMV3). A codec it does not know answers Unknown.
    KeyFrameProbe(uint32_t fourcc, const std::vector<uint8_t> &codecData);

    // Whether the picture is an I-frame, from its picture header.
    Answer Check(const uint8_t *data, size_t size) const;

private:
    enum class Kind { None, Msmpeg4, Wmv2, Wmv3 } m_kind = Kind::None;
    // WMV3 sequence header fields that shape the picture header.
    bool m_frameInterp = false;
    bool m_rangeReduction = false;
    bool m_bFrames = false;
};

} // namespace twwmf
