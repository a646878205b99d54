#include <twkernel/paths.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <windows.h>

namespace twk {

std::string NativePath(const char *path)
{
    std::string native = path ? path : "";
    for (char &c : native)
        if (c == '\\')
            c = '/';
    return native;
}

unsigned long Win32ErrorFromErrno(int err)
{
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY: return ERROR_BUSY;
    case EISDIR: return ERROR_ACCESS_DENIED;
    default: return ERROR_INVALID_FUNCTION;
    }
}

unsigned long Win32PathError(int err, const std::string &nativePath)
{
    if (err == ENOENT) {
        if (nativePath.empty())
            return ERROR_PATH_NOT_FOUND;
        std::string parent = nativePath;
        while (parent.size() > 1 && parent.back() == '/')
            parent.pop_back();
        size_t slash = parent.rfind('/');
        if (slash == std::string::npos)
            return ERROR_FILE_NOT_FOUND; // relative to the current directory, which exists
        parent.resize(slash == 0 ? 1 : slash);
        struct stat st;
        if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return ERROR_PATH_NOT_FOUND;
        return ERROR_FILE_NOT_FOUND;
    }
    return Win32ErrorFromErrno(err);
}

unsigned long CopyOutString(const std::string &text, char *buffer, unsigned long size)
{
    if (!buffer || text.size() + 1 > size)
        return static_cast<unsigned long>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<unsigned long>(text.size());
}

} // namespace twk
