#include "keyframe.h"

namespace twwmf {
namespace {

constexpr uint32_t Fourcc(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

uint32_t Upper(uint32_t fourcc)
{
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t c = (fourcc >> (8 * i)) & 0xFF;
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        out |= c << (8 * i);
    }
    return out;
}

// Reads bits most significant first; reading past the end fails.
class BitReader {
public:
    BitReader(const uint8_t *data, size_t size) : m_data(data), m_bits(size * 8) {}
    bool Read(int count, uint32_t &value)
    {
        value = 0;
        if (m_pos + static_cast<size_t>(count) > m_bits)
            return false;
        for (int i = 0; i < count; ++i, ++m_pos)
            value = (value << 1) | ((m_data[m_pos / 8] >> (7 - m_pos % 8)) & 1);
        return true;
    }

private:
    const uint8_t *m_data;
    size_t m_bits;
    size_t m_pos = 0;
};

} // namespace

KeyFrameProbe::KeyFrameProbe(uint32_t fourcc, const std::vector<uint8_t> &codecData)
{
    switch (Upper(fourcc)) {
    // The MPEG-4-derived codecs begin a picture with a 2-bit type, I = 00.
    case Fourcc('W', 'M', 'V', '1'):
    case Fourcc('M', 'P', '4', '2'):
    case Fourcc('M', 'P', '4', '3'):
    case Fourcc('D', 'I', 'V', '3'):
        m_kind = Kind::Msmpeg4;
        break;
    // WMV2 begins a picture with one bit, I = 0.
    case Fourcc('W', 'M', 'V', '2'):
        m_kind = Kind::Wmv2;
        break;
    case Fourcc('W', 'M', 'V', '3'): {
        // Sequence header (simple and main profile): PROFILE(2) FRMRTQ(3) BITRTQ(5)
        // LOOPFILTER RESX8 MULTIRES FASTTX FASTUVMC EXTMV DQUANT(2) VSTRANSFORM
        // TRANSTAB OVERLAP SYNCMARKER RANGERED MAXBFRAMES(3) QUANTIZER(2) FINTERPFLAG.
        BitReader bits(codecData.data(), codecData.size());
        uint32_t profile, skip, rangered, maxB, finterp;
        if (!bits.Read(2, profile) || profile == 3 || !bits.Read(20, skip) || !bits.Read(1, rangered) ||
            !bits.Read(3, maxB) || !bits.Read(2, skip) || !bits.Read(1, finterp))
            break; // advanced profile or no sequence header: the container decides
        m_kind = Kind::Wmv3;
        m_rangeReduction = rangered != 0;
        m_bFrames = maxB != 0;
        m_frameInterp = finterp != 0;
        break;
    }
    default:
        break;
    }
}

KeyFrameProbe::Answer KeyFrameProbe::Check(const uint8_t *data, size_t size) const
{
    if (m_kind == Kind::None)
        return Unknown;
    if (!data || size == 0)
        return Delta;
    BitReader bits(data, size);
    uint32_t v;
    switch (m_kind) {
    case Kind::Msmpeg4:
        return bits.Read(2, v) && v == 0 ? Key : Delta;
    case Kind::Wmv2:
        return bits.Read(1, v) && v == 0 ? Key : Delta;
    case Kind::Wmv3:
        // A picture of one byte or less is a skipped (repeated) frame.
        if (size <= 1)
            return Delta;
        if (m_frameInterp && !bits.Read(1, v))
            return Delta;
        if (!bits.Read(2, v)) // frame count
            return Delta;
        if (m_rangeReduction && !bits.Read(1, v))
            return Delta;
        if (!bits.Read(1, v) || v == 1) // 1 = P
            return Delta;
        if (!m_bFrames)
            return Key;
        return bits.Read(1, v) && v == 1 ? Key : Delta; // 01 = I, 00 = B
    case Kind::None:
        break;
    }
    return Unknown;
}

} // namespace twwmf
