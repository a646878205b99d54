// The resources of one module file: the .res stream of its ".rsrc" section, parsed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace twk {

// A resource type or name: an ordinal, or a string compared without regard to case.
struct ResourceId {
    bool isOrdinal = true;
    WORD ordinal = 0;
    std::u16string name;  // upper-cased (FoldCase) when !isOrdinal

    // From the LPCSTR a caller passes: MAKEINTRESOURCE, "#123" or a name. False when
    // the text cannot name any resource (a malformed "#" number).
    static bool FromArgument(LPCSTR arg, ResourceId &out);
    bool operator==(const ResourceId &other) const;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    const uint8_t *data = nullptr;  // points into the owning ResourceSet's bytes
    DWORD size = 0;
};

class ResourceSet {
public:
    // Parses a .res stream. A stream with any inconsistent size or name is rejected
    // as a whole: the module then has no resources.
    bool Parse(std::vector<uint8_t> bytes);

    // Language: an exact match, else language-neutral, else the first one listed.
    // On failure sets win32Error to ERROR_RESOURCE_TYPE_NOT_FOUND or
    // ERROR_RESOURCE_NAME_NOT_FOUND.
    const ResourceEntry *Find(const ResourceId &type, const ResourceId &name, WORD language,
                              DWORD &win32Error) const;

    bool Empty() const { return m_entries.empty(); }

private:
    std::vector<uint8_t> m_bytes;
    std::vector<ResourceEntry> m_entries;
};

// Loads the resources of the module file at `nativePath`. Returns ERROR_SUCCESS, the
// file's open or read error, or ERROR_RESOURCE_DATA_NOT_FOUND when the file holds no
// (valid) resource section.
DWORD LoadResourceFile(const std::string &nativePath, ResourceSet &out);

} // namespace twk
