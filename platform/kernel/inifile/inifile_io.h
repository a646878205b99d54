// Whole-file reads and replacing writes of profile files.
#pragma once
#include <string>
#include <string_view>

namespace twk {

// Reads the whole file at a native path. False, with a Win32 error code, when it
// is missing or cannot be read.
bool ProfileReadFile(const std::string &path, std::string &content, unsigned long &error);

// Gives the file at a native path this content: writes a temporary file in the
// same directory, flushes it and renames it over the original, so that readers see
// the old or the new content, never a part. The original's permission bits are
// kept; a symbolic link is followed and its target replaced.
bool ProfileReplaceFile(const std::string &path, std::string_view content, unsigned long &error);

} // namespace twk
