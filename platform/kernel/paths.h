// Path conversion between the Windows form system code composes and native paths.
#pragma once
#include <string>

namespace twk {

// A path as the native file system takes it: every backslash becomes a slash.
// Paths shown to users and stored in settings stay native; system code appends
// "\name" to them, and this turns the result back into a native path.
std::string NativePath(const char *path);

// Win32 error code for an errno value from a file-system call.
unsigned long Win32ErrorFromErrno(int err);

} // namespace twk
