// The parts of an ASF file a streaming server needs: the header to send first,
// the fixed-size data packets and each packet's send time.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace strsrv {

struct AsfFile {
    std::string path;
    std::string header;      // header object and the 50-byte head of the data object
    uint32_t packetSize = 0;
    uint64_t dataOffset = 0; // file offset of the first data packet
    std::vector<uint32_t> sendTimes; // per packet, milliseconds
};

// Reads and checks an ASF file's header and the send times of its packets.
// False with a message when the file cannot be read or is not ASF.
bool LoadAsfFile(const std::string &path, AsfFile &out, std::string &error);

// Reads data packet `index` of the file, opened as `in`, into `out` (packetSize bytes).
bool ReadAsfPacket(std::ifstream &in, const AsfFile &file, size_t index, std::string &out);

// The send time (ms) in a data packet's payload parsing information.
bool PacketSendTime(const uint8_t *data, size_t size, uint32_t &sendTime);

} // namespace strsrv
