#include "versionblock.h"

#include "utf16.h"

#include <string>

namespace twk {
namespace {

constexpr size_t kNodeHeader = 6;

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

} // namespace

bool VersionBlock::NodeAt(size_t offset, size_t limit, VersionNode &node) const
{
    if (limit > m_size || offset > limit || limit - offset < kNodeHeader)
        return false;
    const uint8_t *p = m_block + offset;
    const size_t length = ReadUnit(p);
    const size_t valueLength = ReadUnit(p + 2);
    const uint16_t type = ReadUnit(p + 4);
    if (length < kNodeHeader + 2 || length > limit - offset)
        return false;
    node.offset = offset;
    node.end = offset + length;
    node.isText = type == 1;
    node.keyOffset = offset + kNodeHeader;

    size_t pos = node.keyOffset;
    for (;;) {
        if (node.end - pos < 2)
            return false;
        if (ReadUnit(m_block + pos) == 0)
            break;
        pos += 2;
    }
    node.keyUnits = (pos - node.keyOffset) / 2;
    pos += 2;

    node.valueOffset = Align4(pos) < node.end ? Align4(pos) : node.end;
    const size_t room = node.end - node.valueOffset;
    if (node.isText) {
        // Text lengths count characters; a stored count that overruns the node is cut
        // to the node, and the text ends at its first NUL.
        size_t units = valueLength < room / 2 ? valueLength : room / 2;
        size_t n = 0;
        while (n < units && ReadUnit(m_block + node.valueOffset + 2 * n) != 0)
            ++n;
        node.valueBytes = 2 * n;
        pos = node.valueOffset + 2 * units;
    } else {
        if (valueLength > room)
            return false;
        node.valueBytes = valueLength;
        pos = node.valueOffset + valueLength;
    }
    node.childrenOffset = Align4(pos) < node.end ? Align4(pos) : node.end;
    return true;
}

void VersionBlock::ForEachChild(const VersionNode &parent,
                                const std::function<bool(const VersionNode &)> &visit) const
{
    size_t pos = parent.childrenOffset;
    while (pos < parent.end) {
        VersionNode child;
        if (!NodeAt(pos, parent.end, child) || !visit(child))
            return;
        pos = Align4(child.end);
    }
}

bool VersionBlock::FindChild(const VersionNode &parent, const char *key, size_t keyLength,
                             VersionNode &child) const
{
    std::u16string wanted = WideFromUtf8(std::string(key, keyLength).c_str());
    for (char16_t &c : wanted)
        c = FoldCase(c);
    bool found = false;
    ForEachChild(parent, [&](const VersionNode &node) {
        if (node.keyUnits != wanted.size())
            return true;
        for (size_t i = 0; i < node.keyUnits; ++i)
            if (FoldCase(ReadUnit(m_block + node.keyOffset + 2 * i)) != wanted[i])
                return true;
        child = node;
        found = true;
        return false;
    });
    return found;
}

} // namespace twk
