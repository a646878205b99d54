// Reading registry values into owned buffers, for the platform libraries and tools.
// Platform-internal.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

namespace twk {

// Reads a value of any type whole, asking again while it grows between the size
// query and the read. A Win32 error code; ERROR_SUCCESS with *type and data set.
LONG ReadRegistryValue(HKEY key, const char *name, DWORD *type, std::vector<BYTE> &data);

// Reads a REG_SZ or REG_EXPAND_SZ value up to its first NUL (a value stored
// without its terminator is read whole). False for a missing value or another type;
// *type, when given, says which of the two string types it was.
bool ReadRegistryString(HKEY key, const char *name, std::string &value, DWORD *type = nullptr);

} // namespace twk
