#include "elfwriter.h"

namespace restest {
namespace {

void Put(std::string &out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Pad4(std::string &out)
{
    while (out.size() % 4)
        out += '\0';
}

} // namespace

std::string MakeElf(const std::vector<std::pair<std::string, std::string>> &sections)
{
    std::string names(1, '\0');
    std::vector<uint32_t> nameOffsets;
    for (const auto &s : sections) {
        nameOffsets.push_back(static_cast<uint32_t>(names.size()));
        names += s.first + '\0';
    }
    const uint32_t shstrtabName = static_cast<uint32_t>(names.size());
    names += std::string(".shstrtab") + '\0';

    std::string body;
    std::vector<uint64_t> offsets;
    for (const auto &s : sections) {
        offsets.push_back(64 + body.size());
        body += s.second;
    }
    const uint64_t namesOffset = 64 + body.size();
    body += names;
    while (body.size() % 8)
        body += '\0';
    const uint64_t shoff = 64 + body.size();
    const uint16_t shnum = static_cast<uint16_t>(sections.size() + 2);

    std::string out("\x7f" "ELF\x02\x01\x01", 7);
    out.resize(16, '\0');
    Put(out, 3, 2);       // e_type: shared object
    Put(out, 62, 2);      // e_machine: x86-64
    Put(out, 1, 4);       // e_version
    Put(out, 0, 8);       // e_entry
    Put(out, 0, 8);       // e_phoff
    Put(out, shoff, 8);   // e_shoff
    Put(out, 0, 4);       // e_flags
    Put(out, 64, 2);      // e_ehsize
    Put(out, 0, 2);       // e_phentsize
    Put(out, 0, 2);       // e_phnum
    Put(out, 64, 2);      // e_shentsize
    Put(out, shnum, 2);   // e_shnum
    Put(out, shnum - 1, 2);  // e_shstrndx
    out += body;

    auto header = [&out](uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
        Put(out, name, 4);
        Put(out, type, 4);
        Put(out, 0, 8);   // flags
        Put(out, 0, 8);   // addr
        Put(out, offset, 8);
        Put(out, size, 8);
        Put(out, 0, 4);   // link
        Put(out, 0, 4);   // info
        Put(out, 1, 8);   // addralign
        Put(out, 0, 8);   // entsize
    };
    header(0, 0, 0, 0);
    for (size_t i = 0; i < sections.size(); ++i)
        header(nameOffsets[i], 1 /* PROGBITS */, offsets[i], sections[i].second.size());
    header(shstrtabName, 3 /* STRTAB */, namesOffset, names.size());
    return out;
}

std::string MakeRes(const std::vector<ResEntry> &entries)
{
    std::string out;
    auto entry = [&out](uint16_t type, uint16_t name, uint16_t language, const std::string &data) {
        Put(out, data.size(), 4);
        Put(out, 32, 4);
        Put(out, 0xFFFF, 2);
        Put(out, type, 2);
        Put(out, 0xFFFF, 2);
        Put(out, name, 2);
        Put(out, 0, 4);          // DataVersion
        Put(out, 0x1030, 2);     // MemoryFlags
        Put(out, language, 2);
        Put(out, 0, 4);          // Version
        Put(out, 0, 4);          // Characteristics
        out += data;
        Pad4(out);
    };
    entry(0, 0, 0, "");
    for (const ResEntry &e : entries)
        entry(e.type, e.name, e.language, e.data);
    return out;
}

} // namespace restest
