// Walking a VS_VERSIONINFO block: nested nodes of wLength, wValueLength, wType,
// a NUL-terminated UTF-16 key, a DWORD-aligned value and DWORD-aligned children.
// Offsets are relative to the block's start; every step is checked against the
// bounds of the enclosing node.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace twk {

struct VersionNode {
    size_t offset = 0;       // start of the node
    size_t end = 0;          // offset + wLength
    size_t keyOffset = 0;    // first key character
    size_t keyUnits = 0;     // key length in code units, without the terminator
    size_t valueOffset = 0;
    size_t valueBytes = 0;   // text values: up to, not including, the first NUL
    bool isText = false;
    size_t childrenOffset = 0;
};

class VersionBlock {
public:
    VersionBlock(const uint8_t *block, size_t size) : m_block(block), m_size(size) {}

    // The node at offset that must end by limit; false when it is malformed.
    bool NodeAt(size_t offset, size_t limit, VersionNode &node) const;
    bool Root(VersionNode &node) const { return NodeAt(0, m_size, node); }

    // Calls visit for each well-formed child of parent, in order; stops at the first
    // malformed one.
    void ForEachChild(const VersionNode &parent, const std::function<bool(const VersionNode &)> &visit) const;

    // The child whose key equals `key` (UTF-8) without regard to case.
    bool FindChild(const VersionNode &parent, const char *key, size_t keyLength, VersionNode &child) const;

private:
    const uint8_t *m_block;
    size_t m_size;
};

} // namespace twk
