// The fields of an ASF header that libavformat keeps to itself: the file
// properties (broadcast and seekable flags, durations, preroll, packet size) and
// the packet count of the data object.
#pragma once
#include <cstdint>
#include <string>

namespace twwmf {

struct AsfFileProperties {
    uint64_t playDuration = 0; // 100 ns, preroll included
    uint64_t preroll = 0;      // ms
    uint32_t flags = 0;        // bit 0 broadcast, bit 1 seekable
    uint32_t packetSize = 0;   // 0 when min and max differ
    uint32_t maxBitrate = 0;
    uint64_t dataPackets = 0;  // from the data object's head; 0 when unknown
};

// The ASF header object's GUID as stored: the first 16 bytes of every ASF stream.
bool StartsAsAsf(const std::string &bytes);
// Whether the bytes so far (maybe fewer than 16) can be the start of an ASF stream.
bool CouldBeAsf(const std::string &bytes);

// Total size of the header object, from its first 24 bytes; 0 when not known yet.
uint64_t AsfHeaderSize(const std::string &bytes);

// Parses the header object (and the data object head after it, when present).
bool ParseAsfFileProperties(const std::string &bytes, AsfFileProperties &out);

} // namespace twwmf
