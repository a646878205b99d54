// The resources of loaded modules, read once per module file and kept for the process.
#pragma once
#include "resfile.h"

namespace twk {

// The resources of hModule (NULL: the executable). Null on failure, with the reason
// in win32Error (the module lookup's error or ERROR_RESOURCE_DATA_NOT_FOUND).
const ResourceSet *ModuleResources(HMODULE hModule, DWORD &win32Error);

} // namespace twk
