// Changes to a profile file held in memory. Each returns the whole new text; every
// line not named by the change keeps its bytes and its line end.
#pragma once
#include <string>
#include <string_view>

namespace twk {

// Sets the first key of this name in the first section of this name, in place.
// A missing key is added after the last non-blank line of the section; a missing
// section is added at the end of the file. New lines use the file's line end.
std::string ProfileSetValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

// Removes every line of this key name from the first section of this name.
std::string ProfileDeleteKey(std::string_view text, std::string_view section, std::string_view key);

// Removes every section of this name, header and lines, up to the next header.
std::string ProfileDeleteSection(std::string_view text, std::string_view section);

} // namespace twk
