// version.dll: GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA.
//
// The caller's buffer holds the UTF-16 VS_VERSIONINFO block as stored, then an
// ANSI area with a UTF-8 copy of every text value, so that the pointers
// VerQueryValueA hands out point into the caller's buffer and live as long as it:
//
//   block (root wLength bytes), zero padding to a DWORD boundary
//   DWORD kAnsiSignature, DWORD size of the entries that follow
//   per text value: DWORD node offset in the block, DWORD byte length,
//                   the UTF-8 text, NUL, zero padding to a DWORD boundary
#include <twkernel/paths.h>
#include "resfile.h"
#include "utf16.h"
#include "versionblock.h"

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kAnsiSignature = 0x38465455;  // "UTF8"
constexpr size_t kAreaHeader = 8;
constexpr size_t kEntryHeader = 8;
constexpr int kMaxDepth = 16;  // real blocks nest four deep

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

void PutDword(std::vector<uint8_t> &out, size_t at, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

DWORD GetDword(const uint8_t *p)
{
    return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}

// Reads the version resource of the module file at path into `block`, trimmed to
// the root node's length.
DWORD ReadVersionBlock(LPCSTR path, std::vector<uint8_t> &block)
{
    if (!path)
        return ERROR_INVALID_PARAMETER;
    twk::ResourceSet set;
    DWORD error = twk::LoadResourceFile(twk::NativePath(path), set);
    if (error != ERROR_SUCCESS)
        return error;
    twk::ResourceId type, name;
    twk::ResourceId::FromArgument(RT_VERSION, type);
    twk::ResourceId::FromArgument(MAKEINTRESOURCEA(VS_VERSION_INFO), name);
    const twk::ResourceEntry *entry = set.Find(type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), error);
    if (!entry)
        return error == ERROR_RESOURCE_NAME_NOT_FOUND ? ERROR_RESOURCE_TYPE_NOT_FOUND : error;
    twk::VersionNode root;
    if (!twk::VersionBlock(entry->data, entry->size).Root(root))
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    block.assign(entry->data, entry->data + root.end);
    return ERROR_SUCCESS;
}

struct AnsiText {
    size_t nodeOffset;
    std::string text;
};

void CollectText(const twk::VersionBlock &walker, const uint8_t *block, const twk::VersionNode &node,
                 int depth, std::vector<AnsiText> &out)
{
    if (node.isText && node.valueBytes > 0)
        out.push_back({node.offset, twk::Utf16LeToUtf8(block + node.valueOffset, node.valueBytes / 2)});
    if (depth >= kMaxDepth)
        return;
    walker.ForEachChild(node, [&](const twk::VersionNode &child) {
        CollectText(walker, block, child, depth + 1, out);
        return true;
    });
}

// Lays out the block and its ANSI area in at most `capacity` bytes. When the whole
// does not fit, the block is cut (its root length rewritten to match) so that the
// area header still follows it, and only whole text entries are kept. Empty when
// not even a root node header and the area header fit.
std::vector<uint8_t> LayOut(std::vector<uint8_t> block, size_t capacity)
{
    size_t blockBytes = block.size();
    if (Align4(blockBytes) + kAreaHeader > capacity) {
        if (capacity < kAreaHeader + 8)
            return {};
        blockBytes = (capacity - kAreaHeader) & ~size_t(3);
        block.resize(blockBytes);
        block[0] = static_cast<uint8_t>(blockBytes);
        block[1] = static_cast<uint8_t>(blockBytes >> 8);
    }

    std::vector<AnsiText> texts;
    twk::VersionBlock walker(block.data(), block.size());
    twk::VersionNode root;
    if (walker.Root(root))
        CollectText(walker, block.data(), root, 0, texts);

    const size_t areaStart = Align4(blockBytes);
    std::vector<uint8_t> image(areaStart + kAreaHeader, 0);
    std::memcpy(image.data(), block.data(), blockBytes);
    for (const AnsiText &t : texts) {
        const size_t entryBytes = kEntryHeader + Align4(t.text.size() + 1);
        if (image.size() + entryBytes > capacity)
            break;
        const size_t at = image.size();
        image.resize(at + entryBytes, 0);
        PutDword(image, at, static_cast<DWORD>(t.nodeOffset));
        PutDword(image, at + 4, static_cast<DWORD>(t.text.size()));
        std::memcpy(image.data() + at + kEntryHeader, t.text.data(), t.text.size());
    }
    PutDword(image, areaStart, kAnsiSignature);
    PutDword(image, areaStart + 4, static_cast<DWORD>(image.size() - areaStart - kAreaHeader));
    return image;
}

// The UTF-8 copy of the text value of the node at nodeOffset, from the ANSI area.
const char *AnsiCopy(const uint8_t *buffer, size_t blockBytes, size_t nodeOffset, size_t &length)
{
    const uint8_t *area = buffer + Align4(blockBytes);
    if (GetDword(area) != kAnsiSignature)
        return nullptr;
    const size_t areaBytes = GetDword(area + 4);
    size_t pos = 0;
    const uint8_t *entries = area + kAreaHeader;
    while (pos <= areaBytes && areaBytes - pos >= kEntryHeader) {
        const size_t offset = GetDword(entries + pos);
        const size_t bytes = GetDword(entries + pos + 4);
        if (bytes >= areaBytes - pos - kEntryHeader)
            return nullptr;
        if (offset == nodeOffset) {
            length = bytes;
            return reinterpret_cast<const char *>(entries + pos + kEntryHeader);
        }
        pos += kEntryHeader + Align4(bytes + 1);
    }
    return nullptr;
}

} // namespace

extern "C" DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle)
{
    if (lpdwHandle)
        *lpdwHandle = 0;
    std::vector<uint8_t> block;
    DWORD error = ReadVersionBlock(lptstrFilename, block);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(LayOut(std::move(block), SIZE_MAX).size());
}

extern "C" BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData)
{
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<uint8_t> block;
    DWORD error = ReadVersionBlock(lptstrFilename, block);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    std::vector<uint8_t> image = LayOut(std::move(block), dwLen);
    if (image.empty()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(lpData, image.data(), image.size());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen)
{
    if (!pBlock || !lpSubBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto *buffer = static_cast<const uint8_t *>(pBlock);
    const size_t blockBytes = twk::ReadUnit(buffer);
    twk::VersionBlock walker(buffer, blockBytes);
    twk::VersionNode node;
    if (!walker.Root(node)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    // Each backslash-separated part names a child of the node before it.
    for (const char *p = lpSubBlock; *p;) {
        if (*p == '\\') {
            ++p;
            continue;
        }
        const char *end = std::strchr(p, '\\');
        const size_t length = end ? size_t(end - p) : std::strlen(p);
        twk::VersionNode child;
        if (!walker.FindChild(node, p, length, child)) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        node = child;
        p += length;
    }

    if (node.isText && node.valueBytes > 0) {
        size_t length = 0;
        const char *text = AnsiCopy(buffer, blockBytes, node.offset, length);
        if (!text) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return FALSE;
        }
        *lplpBuffer = const_cast<char *>(text);
        if (puLen)
            *puLen = static_cast<UINT>(length + 1);  // characters, with the terminator
        return TRUE;
    }
    // An empty text reads as "": point at the key's terminating NUL.
    const size_t at = node.isText ? node.keyOffset + 2 * node.keyUnits : node.valueOffset;
    *lplpBuffer = const_cast<uint8_t *>(buffer + at);
    if (puLen)
        *puLen = static_cast<UINT>(node.valueBytes);
    return TRUE;
}
