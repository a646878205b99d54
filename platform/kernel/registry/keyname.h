// Key and value names: case folding and sub-key paths.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace twk::reg {

// Longest key name component and value name, in bytes.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// The form names are compared in: ASCII letters upper-cased, as the registry
// compares and sorts them; other bytes unchanged.
std::string FoldName(std::string_view name);

// Splits a sub-key path at backslashes. Empty components (a leading or trailing
// backslash, a doubled one) are skipped, so "" and "\" name the key itself.
// ERROR_INVALID_PARAMETER for a component longer than kMaxKeyNameLength.
LONG SplitKeyPath(const char *subKey, std::vector<std::string> *parts);

} // namespace twk::reg
