#include "asffile.h"

#include <cstring>
#include <fstream>

namespace strsrv {
namespace {

// {75B22630-668E-11CF-A6D9-00AA0062CE6C}, {8CABDCA1-A947-11CF-8EE4-00C00C205365},
// {75B22636-668E-11CF-A6D9-00AA0062CE6C} as stored in a file.
const uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const uint8_t kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr size_t kDataHeadSize = 50;

uint64_t Le(const uint8_t *p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

int FieldSize(int type)
{
    return type == 3 ? 4 : type;
}

} // namespace

bool PacketSendTime(const uint8_t *p, size_t size, uint32_t &sendTime)
{
    size_t pos = 0;
    if (size < 1)
        return false;
    if (p[0] & 0x80)
        pos += 1 + (p[0] & 0x0F);
    if (pos + 2 > size)
        return false;
    int flags = p[pos];
    pos += 2;
    pos += FieldSize((flags >> 5) & 3) + FieldSize((flags >> 1) & 3) + FieldSize((flags >> 3) & 3);
    if (pos + 6 > size)
        return false;
    sendTime = static_cast<uint32_t>(Le(p + pos, 4));
    return true;
}

bool LoadAsfFile(const std::string &path, AsfFile &out, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    uint8_t head[30];
    if (!in.read(reinterpret_cast<char *>(head), sizeof head) || memcmp(head, kHeaderGuid, 16) != 0) {
        error = path + " is not an ASF file";
        return false;
    }
    uint64_t headerSize = Le(head + 16, 8);
    if (headerSize < 30 || headerSize > (16u << 20)) {
        error = path + ": bad header size";
        return false;
    }
    std::string header(headerSize + kDataHeadSize, '\0');
    memcpy(&header[0], head, sizeof head);
    if (!in.read(&header[sizeof head], static_cast<std::streamsize>(header.size() - sizeof head))) {
        error = path + ": truncated header";
        return false;
    }
    const uint8_t *h = reinterpret_cast<const uint8_t *>(header.data());
    if (memcmp(h + headerSize, kDataGuid, 16) != 0) {
        error = path + ": no data object after the header";
        return false;
    }
    uint32_t packetSize = 0;
    for (size_t pos = 30; pos + 24 <= headerSize;) {
        uint64_t size = Le(h + pos + 16, 8);
        if (size < 24 || size > headerSize - pos)
            break;
        if (memcmp(h + pos, kFilePropertiesGuid, 16) == 0 && size >= 104) {
            uint32_t minSize = static_cast<uint32_t>(Le(h + pos + 92, 4));
            uint32_t maxSize = static_cast<uint32_t>(Le(h + pos + 96, 4));
            if (minSize == maxSize)
                packetSize = minSize;
        }
        pos += size;
    }
    if (packetSize < 32 || packetSize > 65535) {
        error = path + ": no fixed packet size in the file properties";
        return false;
    }
    uint64_t packets = Le(h + headerSize + 40, 8);
    out.path = path;
    out.header = std::move(header);
    out.packetSize = packetSize;
    out.dataOffset = headerSize + kDataHeadSize;
    out.sendTimes.clear();
    std::string packet;
    for (size_t i = 0; i < packets && ReadAsfPacket(in, out, i, packet); ++i) {
        uint32_t t = 0;
        if (!PacketSendTime(reinterpret_cast<const uint8_t *>(packet.data()), packet.size(), t))
            break;
        out.sendTimes.push_back(t);
    }
    return true;
}

bool ReadAsfPacket(std::ifstream &in, const AsfFile &file, size_t index, std::string &out)
{
    in.clear();
    out.assign(file.packetSize, '\0');
    in.seekg(static_cast<std::streamoff>(file.dataOffset + index * file.packetSize));
    return static_cast<bool>(in.read(&out[0], file.packetSize));
}

} // namespace strsrv
