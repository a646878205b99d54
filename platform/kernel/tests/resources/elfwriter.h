// Test helpers: minimal ELF64 files with chosen sections, and .res streams.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace restest {

// An ELF64 little-endian file image holding the named sections (plus the null
// section and the section-name table).
std::string MakeElf(const std::vector<std::pair<std::string, std::string>> &sections);

// One .res entry with ordinal type and name.
struct ResEntry {
    uint16_t type;
    uint16_t name;
    uint16_t language;
    std::string data;
};

// A .res stream: the empty opening entry, then the given entries.
std::string MakeRes(const std::vector<ResEntry> &entries);

} // namespace restest
