// Files and directories by name: attributes, delete, move, copy, directories,
// the current directory and the temporary directory.
#include "fileshare.h"
#include <twkernel/paths.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <windows.h>

using namespace twk;

namespace {

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Copies a regular file's content and permissions; the target must not exist
// unless `replace`. Returns a Win32 error code.
DWORD CopyRegularFile(const std::string &from, const std::string &to, bool replace)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Win32PathError(errno, from);
    struct stat st;
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(in);
        return ERROR_ACCESS_DENIED;
    }
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL), st.st_mode & 0777);
    if (out < 0) {
        int err = errno;
        close(in);
        return err == EEXIST ? ERROR_FILE_EXISTS : Win32PathError(err, to);
    }
    std::vector<char> buffer(1 << 16);
    DWORD result = ERROR_SUCCESS;
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                result = Win32ErrorFromErrno(errno);
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                result = Win32ErrorFromErrno(errno);
                break;
            }
            done += w;
        }
        if (result != ERROR_SUCCESS)
            break;
    }
    close(in);
    if (close(out) != 0 && result == ERROR_SUCCESS)
        result = Win32ErrorFromErrno(errno);
    if (result != ERROR_SUCCESS)
        unlink(to.c_str()); // no half-copied file left behind
    return result;
}

bool OpenWithoutShareDelete(const std::string &path)
{
    FileId id;
    return FileIdOfPath(path.c_str(), id) && !FileMayBeDeleted(id);
}

} // namespace

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    std::string path = NativePath(lpFileName);
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        SetLastError(Win32PathError(path.empty() ? ENOENT : errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (access(path.c_str(), W_OK) != 0)
        return FILE_ATTRIBUTE_READONLY;
    return FILE_ATTRIBUTE_NORMAL;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    std::string path = NativePath(lpFileName);
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return Fail(Win32PathError(path.empty() ? ENOENT : errno, path));
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (OpenWithoutShareDelete(path))
        return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(path.c_str()) != 0)
        return Fail(Win32PathError(errno, path));
    return TRUE;
}

extern "C" BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    std::string from = NativePath(lpExistingFileName);
    std::string to = NativePath(lpNewFileName);
    struct stat st;
    if (from.empty() || lstat(from.c_str(), &st) != 0)
        return Fail(Win32PathError(from.empty() ? ENOENT : errno, from));
    if (to.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    if (OpenWithoutShareDelete(from))
        return Fail(ERROR_SHARING_VIOLATION);

    bool replace = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0;
    struct stat target;
    bool targetExists = lstat(to.c_str(), &target) == 0;
    if (targetExists && !replace)
        return Fail(ERROR_ALREADY_EXISTS);
    if (targetExists && (S_ISDIR(target.st_mode) || OpenWithoutShareDelete(to)))
        return Fail(S_ISDIR(target.st_mode) ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);

    // Without replacing, refuse atomically should the target appear meanwhile.
    int rc = replace ? ::rename(from.c_str(), to.c_str())
                     : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && !replace && errno == EINVAL) // a file system without RENAME_NOREPLACE
        rc = ::rename(from.c_str(), to.c_str());
    if (rc == 0)
        return TRUE;
    int err = errno;
    if (err == EEXIST)
        return Fail(ERROR_ALREADY_EXISTS);
    if (err == EXDEV && (dwFlags & MOVEFILE_COPY_ALLOWED) && S_ISREG(st.st_mode)) {
        DWORD copied = CopyRegularFile(from, to, replace);
        if (copied != ERROR_SUCCESS)
            return Fail(copied == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : copied);
        unlink(from.c_str());
        return TRUE;
    }
    if (err == EXDEV)
        return Fail(ERROR_NOT_SAME_DEVICE);
    return Fail(err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err));
}

extern "C" BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    return MoveFileExA(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    std::string from = NativePath(lpExistingFileName);
    std::string to = NativePath(lpNewFileName);
    if (from.empty() || to.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    DWORD result = CopyRegularFile(from, to, !bFailIfExists);
    return result == ERROR_SUCCESS ? TRUE : Fail(result);
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    std::string path = NativePath(lpPathName);
    if (path.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    if (mkdir(path.c_str(), 0777) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                                                             : Win32ErrorFromErrno(errno));
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName)
{
    std::string path = NativePath(lpPathName);
    if (path.empty() || rmdir(path.c_str()) != 0)
        return Fail(path.empty() ? ERROR_PATH_NOT_FOUND
                                 : errno == ENOTDIR ? ERROR_DIRECTORY : Win32PathError(errno, path));
    return TRUE;
}

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) {
            SetLastError(Win32ErrorFromErrno(errno));
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
    return CopyOutString(buffer.data(), lpBuffer, nBufferLength);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName)
{
    std::string path = NativePath(lpPathName);
    if (path.empty() || chdir(path.c_str()) != 0)
        return Fail(path.empty() ? ERROR_PATH_NOT_FOUND : Win32PathError(errno, path));
    return TRUE;
}

extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    const char *tmp = getenv("TMPDIR");
    std::string path = tmp && *tmp ? tmp : "/tmp";
    if (path.back() != '/')
        path += '/';
    return CopyOutString(path, lpBuffer, nBufferLength);
}
