// Reading an ELF64 file without loading it: one named section, and whether the
// dynamic loader can map it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace twk {

enum class SectionRead {
    Found,      // the section's bytes are in `out`
    Missing,    // the file is readable but holds no such section (or is no valid ELF64 file)
    FileError,  // the file could not be opened or read; the Win32 error says why
};

// Reads the contents of section `name` of the ELF64 little-endian file at `path`
// (a native path). Every offset and size is checked against the file's size.
SectionRead ReadElfSection(const std::string &path, const char *name, std::vector<uint8_t> &out,
                           unsigned long &win32Error);

// Whether the file at `path` is an ELF64 little-endian image whose program
// headers and loadable segments all lie within the file. The dynamic loader
// maps segments without looking at the file's size, and touching a page past
// its end kills the process (SIGBUS): a truncated module must be refused first.
// False with ERROR_BAD_EXE_FORMAT, or the error of opening or reading it.
bool ElfSegmentsInFile(const std::string &path, unsigned long &win32Error);

} // namespace twk
