// The C runtime's path-taking calls with both separators accepted.
#include <twkernel/paths.h>

#include <cerrno>
#include <cstdio>
#include <io.h>
#include <unistd.h>
#include <windows.h>

namespace {

// The mode without the Windows C runtime's own mode letters: text mode 't' and ",ccs=...".
std::string PosixMode(const char *mode)
{
    std::string result;
    for (const char *p = mode; p && *p && *p != ','; ++p)
        if (*p != 't')
            result += *p;
    return result;
}

int ErrnoFromWin32(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
    case ERROR_DISK_FULL: return ENOSPC;
    case ERROR_INVALID_PARAMETER: return EINVAL;
    default: return EACCES;
    }
}

} // namespace

extern "C" FILE *tw_fopen(const char *path, const char *mode)
{
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return fopen(twk::NativePath(path).c_str(), PosixMode(mode).c_str());
}

extern "C" FILE *tw_freopen(const char *path, const char *mode, FILE *stream)
{
    if (!mode || !stream) {
        errno = EINVAL;
        return nullptr;
    }
    return freopen(path ? twk::NativePath(path).c_str() : nullptr, PosixMode(mode).c_str(), stream);
}

// Deletes a file; a directory is refused with EACCES, as the Windows runtime does.
extern "C" int tw_remove(const char *path)
{
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    if (unlink(twk::NativePath(path).c_str()) != 0) {
        if (errno == EISDIR || errno == EPERM)
            errno = EACCES;
        return -1;
    }
    return 0;
}

// Renames a file or directory; fails with EEXIST if the new name exists, as the
// Windows runtime does, rather than replacing it.
extern "C" int tw_rename(const char *oldpath, const char *newpath)
{
    if (!oldpath || !newpath) {
        errno = EINVAL;
        return -1;
    }
    if (!MoveFileExA(oldpath, newpath, MOVEFILE_COPY_ALLOWED)) {
        errno = ErrnoFromWin32(GetLastError());
        return -1;
    }
    return 0;
}

extern "C" int _access(const char *path, int mode)
{
    if (!path || (mode & ~6)) {
        errno = EINVAL;
        return -1;
    }
    return access(twk::NativePath(path).c_str(), mode == 0 ? F_OK : (mode & 6));
}
