// Loaded modules, for the platform libraries that read a module's file
// (resources, version information). Platform-internal.
//
// An HMODULE is a pointer to the loader's record of a module: the executable's
// own record for GetModuleHandleA(NULL), or the one LoadLibraryA made.
#pragma once
#include <string>
#include <windows.h>

namespace twk {

// The module's file as an absolute native path; empty for an unknown handle.
// A null handle names the executable.
std::string ModulePath(HMODULE module);

} // namespace twk
