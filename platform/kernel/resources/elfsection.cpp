#include "elfsection.h"

#include <twkernel/paths.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

namespace twk {
namespace {

constexpr size_t kElfHeaderSize = 64;
constexpr size_t kSectionHeaderSize = 64;
constexpr uint32_t kShtNobits = 8;
constexpr uint16_t kShnXindex = 0xFFFF;
constexpr size_t kProgramHeaderSize = 56;
constexpr uint32_t kPtLoad = 1;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t *p) { return uint32_t(Le16(p)) | (uint32_t(Le16(p + 2)) << 16); }
uint64_t Le64(const uint8_t *p) { return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32); }

// Whether [offset, offset + size) lies inside a file of fileSize bytes.
bool InFile(uint64_t offset, uint64_t size, uint64_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

// Reads exactly out.size() bytes at offset; false on a short read or an error.
bool ReadAt(int fd, uint64_t offset, uint8_t *out, size_t size, unsigned long &win32Error)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            win32Error = Win32ErrorFromErrno(errno);
            return false;
        }
        if (n == 0) {
            win32Error = ERROR_HANDLE_EOF;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

struct SectionHeader {
    uint32_t name;
    uint32_t type;
    uint64_t offset;
    uint64_t size;
    uint32_t link;
};

SectionHeader ParseSectionHeader(const uint8_t *p)
{
    return SectionHeader{Le32(p), Le32(p + 4), Le64(p + 24), Le64(p + 32), Le32(p + 40)};
}

} // namespace

SectionRead ReadElfSection(const std::string &path, const char *name, std::vector<uint8_t> &out,
                           unsigned long &win32Error)
{
    out.clear();
    win32Error = ERROR_SUCCESS;
    // Non-blocking so that a FIFO cannot stall the caller; only regular files are read.
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        win32Error = Win32ErrorFromErrno(errno);
        return SectionRead::FileError;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        win32Error = Win32ErrorFromErrno(errno);
        return SectionRead::FileError;
    }
    if (!S_ISREG(st.st_mode))
        return SectionRead::Missing;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

    uint8_t ehdr[kElfHeaderSize];
    if (fileSize < kElfHeaderSize)
        return SectionRead::Missing;
    if (!ReadAt(fd.get(), 0, ehdr, sizeof ehdr, win32Error))
        return SectionRead::FileError;
    if (memcmp(ehdr, "\x7f" "ELF", 4) != 0 || ehdr[4] != 2 /* ELFCLASS64 */ || ehdr[5] != 1 /* LSB */)
        return SectionRead::Missing;

    const uint64_t shoff = Le64(ehdr + 0x28);
    const uint16_t shentsize = Le16(ehdr + 0x3A);
    uint64_t shnum = Le16(ehdr + 0x3C);
    uint32_t shstrndx = Le16(ehdr + 0x3E);
    if (shoff == 0 || shentsize < kSectionHeaderSize || !InFile(shoff, shentsize, fileSize))
        return SectionRead::Missing;

    // Section 0 carries the real count and string-table index when they overflow 16 bits.
    uint8_t first[kSectionHeaderSize];
    if (!ReadAt(fd.get(), shoff, first, sizeof first, win32Error))
        return SectionRead::FileError;
    if (shnum == 0)
        shnum = ParseSectionHeader(first).size;
    if (shstrndx == kShnXindex)
        shstrndx = ParseSectionHeader(first).link;
    if (shnum == 0 || shnum > (fileSize - shoff) / shentsize || shstrndx >= shnum)
        return SectionRead::Missing;

    std::vector<uint8_t> table(static_cast<size_t>(shnum * shentsize));
    if (!ReadAt(fd.get(), shoff, table.data(), table.size(), win32Error))
        return SectionRead::FileError;

    const SectionHeader strtab = ParseSectionHeader(table.data() + size_t(shstrndx) * shentsize);
    if (strtab.type == kShtNobits || !InFile(strtab.offset, strtab.size, fileSize))
        return SectionRead::Missing;
    std::vector<uint8_t> names(static_cast<size_t>(strtab.size));
    if (!ReadAt(fd.get(), strtab.offset, names.data(), names.size(), win32Error))
        return SectionRead::FileError;

    const size_t nameLen = strlen(name);
    for (uint64_t i = 0; i < shnum; ++i) {
        const SectionHeader sh = ParseSectionHeader(table.data() + size_t(i) * shentsize);
        // The name must fit in the string table including its terminator.
        if (sh.name >= names.size() || names.size() - sh.name < nameLen + 1)
            continue;
        if (memcmp(names.data() + sh.name, name, nameLen + 1) != 0)
            continue;
        if (sh.type == kShtNobits || !InFile(sh.offset, sh.size, fileSize))
            return SectionRead::Missing;
        out.resize(static_cast<size_t>(sh.size));
        if (!ReadAt(fd.get(), sh.offset, out.data(), out.size(), win32Error)) {
            out.clear();
            return SectionRead::FileError;
        }
        return SectionRead::Found;
    }
    return SectionRead::Missing;
}

bool ElfSegmentsInFile(const std::string &path, unsigned long &win32Error)
{
    win32Error = ERROR_BAD_EXE_FORMAT;
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
        win32Error = Win32ErrorFromErrno(errno);
        return false;
    }
    const uint64_t fileSize = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    uint8_t ehdr[kElfHeaderSize];
    if (fileSize < kElfHeaderSize)
        return false;
    if (!ReadAt(fd.get(), 0, ehdr, sizeof ehdr, win32Error))
        return false;
    win32Error = ERROR_BAD_EXE_FORMAT;
    if (memcmp(ehdr, "\x7f" "ELF", 4) != 0 || ehdr[4] != 2 /* ELFCLASS64 */ || ehdr[5] != 1 /* LSB */)
        return false;

    const uint64_t phoff = Le64(ehdr + 0x20);
    const uint16_t phentsize = Le16(ehdr + 0x36);
    const uint16_t phnum = Le16(ehdr + 0x38);
    if (phnum == 0 || phentsize < kProgramHeaderSize || !InFile(phoff, uint64_t(phnum) * phentsize, fileSize))
        return false;
    std::vector<uint8_t> table(size_t(phnum) * phentsize);
    if (!ReadAt(fd.get(), phoff, table.data(), table.size(), win32Error))
        return false;
    win32Error = ERROR_BAD_EXE_FORMAT;
    for (uint16_t i = 0; i < phnum; ++i) {
        const uint8_t *ph = table.data() + size_t(i) * phentsize;
        // p_type at 0, p_offset at 8, p_filesz at 32.
        if (Le32(ph) == kPtLoad && !InFile(Le64(ph + 8), Le64(ph + 32), fileSize))
            return false;
    }
    win32Error = ERROR_SUCCESS;
    return true;
}

} // namespace twk
