#include "resfile.h"

#include "elfsection.h"
#include "utf16.h"


namespace twk {
namespace {

constexpr size_t kFixedHeaderTail = 16;  // DataVersion, MemoryFlags, LanguageId, Version, Characteristics
constexpr size_t kMinHeaderSize = 8 + 4 + 4 + kFixedHeaderTail;

uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

// Reads an ordinal (0xFFFF + WORD) or a NUL-terminated UTF-16 name at pos, within end.
bool ReadId(const uint8_t *base, size_t &pos, size_t end, ResourceId &id)
{
    if (end - pos < 2)
        return false;
    if (ReadUnit(base + pos) == 0xFFFF) {
        if (end - pos < 4)
            return false;
        id.isOrdinal = true;
        id.ordinal = ReadUnit(base + pos + 2);
        pos += 4;
        return true;
    }
    id.isOrdinal = false;
    id.name.clear();
    for (;;) {
        if (end - pos < 2)
            return false;
        char16_t c = ReadUnit(base + pos);
        pos += 2;
        if (c == 0)
            return true;
        id.name += FoldCase(c);
    }
}

} // namespace

bool ResourceId::FromArgument(LPCSTR arg, ResourceId &out)
{
    out = ResourceId();
    if (IS_INTRESOURCE(arg)) {
        out.ordinal = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(arg));
        return true;
    }
    if (arg[0] == '#') {
        unsigned long value = 0;
        const char *p = arg + 1;
        if (*p == '\0')
            return false;
        for (; *p; ++p) {
            if (*p < '0' || *p > '9')
                return false;
            value = value * 10 + unsigned(*p - '0');
            if (value > 0xFFFF)
                return false;
        }
        out.ordinal = static_cast<WORD>(value);
        return true;
    }
    out.isOrdinal = false;
    for (char16_t c : WideFromUtf8(arg))
        out.name += FoldCase(c);
    return true;
}

bool ResourceId::operator==(const ResourceId &other) const
{
    if (isOrdinal != other.isOrdinal)
        return false;
    return isOrdinal ? ordinal == other.ordinal : name == other.name;
}

bool ResourceSet::Parse(std::vector<uint8_t> bytes)
{
    m_bytes = std::move(bytes);
    m_entries.clear();
    const uint8_t *base = m_bytes.data();
    const size_t size = m_bytes.size();
    std::vector<ResourceEntry> entries;
    size_t pos = 0;
    while (pos < size) {
        if (size - pos < 8) {
            // Only zero padding may trail the last entry.
            for (size_t i = pos; i < size; ++i)
                if (base[i] != 0)
                    return false;
            break;
        }
        const uint32_t dataSize = Le32(base + pos);
        const uint32_t headerSize = Le32(base + pos + 4);
        if (headerSize < kMinHeaderSize || headerSize > size - pos)
            return false;
        const size_t headerEnd = pos + headerSize;
        if (dataSize > size - headerEnd)
            return false;

        ResourceEntry entry;
        size_t cursor = pos + 8;
        if (!ReadId(base, cursor, headerEnd, entry.type) || !ReadId(base, cursor, headerEnd, entry.name))
            return false;
        cursor = pos + Align4(cursor - pos);
        if (cursor > headerEnd || headerEnd - cursor < kFixedHeaderTail)
            return false;
        entry.language = ReadUnit(base + cursor + 6);
        entry.data = base + headerEnd;
        entry.size = dataSize;
        // Type 0 marks the empty entry that opens every .res stream.
        if (!(entry.type.isOrdinal && entry.type.ordinal == 0))
            entries.push_back(std::move(entry));
        pos = headerEnd + dataSize;
        pos = pos + (Align4(pos) - pos);
        if (pos > size)
            pos = size;
    }
    m_entries = std::move(entries);
    return true;
}

const ResourceEntry *ResourceSet::Find(const ResourceId &type, const ResourceId &name, WORD language,
                                       DWORD &win32Error) const
{
    bool typeSeen = false;
    const ResourceEntry *neutral = nullptr;
    const ResourceEntry *first = nullptr;
    for (const ResourceEntry &e : m_entries) {
        if (!(e.type == type))
            continue;
        typeSeen = true;
        if (!(e.name == name))
            continue;
        if (e.language == language)
            return &e;
        if (!neutral && PRIMARYLANGID(e.language) == LANG_NEUTRAL)
            neutral = &e;
        if (!first)
            first = &e;
    }
    if (neutral)
        return neutral;
    if (first)
        return first;
    win32Error = typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
    return nullptr;
}

DWORD LoadResourceFile(const std::string &nativePath, ResourceSet &out)
{
    std::vector<uint8_t> section;
    unsigned long error = ERROR_SUCCESS;
    switch (ReadElfSection(nativePath, ".rsrc", section, error)) {
    case SectionRead::FileError:
        return error;
    case SectionRead::Missing:
        out.Parse({});
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    case SectionRead::Found:
        break;
    }
    if (!out.Parse(std::move(section)) || out.Empty())
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    return ERROR_SUCCESS;
}

} // namespace twk
