#include "asfheader.h"

#include <algorithm>
#include <cstring>

namespace twwmf {
namespace {

const uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const uint8_t kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

uint64_t Le(const std::string &b, size_t pos, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(b[pos + static_cast<size_t>(i)]);
    return v;
}

} // namespace

bool StartsAsAsf(const std::string &bytes)
{
    return bytes.size() >= 16 && memcmp(bytes.data(), kHeaderGuid, 16) == 0;
}

bool CouldBeAsf(const std::string &bytes)
{
    return memcmp(bytes.data(), kHeaderGuid, std::min<size_t>(bytes.size(), 16)) == 0;
}

uint64_t AsfHeaderSize(const std::string &bytes)
{
    return StartsAsAsf(bytes) && bytes.size() >= 24 ? Le(bytes, 16, 8) : 0;
}

bool ParseAsfFileProperties(const std::string &b, AsfFileProperties &out)
{
    uint64_t headerSize = AsfHeaderSize(b);
    if (headerSize < 30 || headerSize > b.size())
        return false;
    out = AsfFileProperties();
    bool found = false;
    for (uint64_t pos = 30; pos + 24 <= headerSize;) {
        uint64_t size = Le(b, pos + 16, 8);
        if (size < 24 || size > headerSize - pos)
            break;
        if (memcmp(b.data() + pos, kFilePropertiesGuid, 16) == 0 && size >= 104) {
            out.playDuration = Le(b, pos + 64, 8);
            out.preroll = Le(b, pos + 80, 8);
            out.flags = static_cast<uint32_t>(Le(b, pos + 88, 4));
            uint32_t minSize = static_cast<uint32_t>(Le(b, pos + 92, 4));
            uint32_t maxSize = static_cast<uint32_t>(Le(b, pos + 96, 4));
            out.packetSize = minSize == maxSize ? minSize : 0;
            out.maxBitrate = static_cast<uint32_t>(Le(b, pos + 100, 4));
            found = true;
        }
        pos += size;
    }
    if (b.size() >= headerSize + 50 && memcmp(b.data() + headerSize, kDataGuid, 16) == 0)
        out.dataPackets = Le(b, headerSize + 40, 8);
    return found;
}

} // namespace twwmf
