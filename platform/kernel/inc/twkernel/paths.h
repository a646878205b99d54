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

// Win32 error code for an errno value from a call on the given native path:
// as Win32ErrorFromErrno, except that a missing file in a missing directory is
// ERROR_PATH_NOT_FOUND rather than ERROR_FILE_NOT_FOUND, as Windows reports it.
unsigned long Win32PathError(int err, const std::string &nativePath);

// Copies text into a caller's buffer with the Windows rules for calls such as
// GetCurrentDirectoryA: if it fits with its NUL, the length without the NUL;
// otherwise the size needed including the NUL, and the buffer is left alone.
unsigned long CopyOutString(const std::string &text, char *buffer, unsigned long size);

} // namespace twk
