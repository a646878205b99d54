// File handles: CreateFileA and the calls that read, write, seek and size them.
#include "files.h"
#include <twkernel/paths.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace twk {

File::File(int fd, FileId id, unsigned long access, unsigned long share, std::string deleteOnClose)
    : m_fd(fd), m_share(id, access, share), m_deleteOnClose(std::move(deleteOnClose))
{
}

File::~File()
{
    if (!m_deleteOnClose.empty())
        unlink(m_deleteOnClose.c_str());
    close(m_fd);
}

namespace {

constexpr DWORD kReadAccess = GENERIC_READ | GENERIC_ALL | 0x0001 /* FILE_READ_DATA */;
constexpr DWORD kWriteAccess = GENERIC_WRITE | GENERIC_ALL | 0x0002 /* FILE_WRITE_DATA */ | 0x0004 /* FILE_APPEND_DATA */;

// The access bits the share table compares.
DWORD ShareAccess(DWORD access)
{
    return ((access & kReadAccess) ? GENERIC_READ : 0) | ((access & kWriteAccess) ? GENERIC_WRITE : 0);
}

int OpenFlags(DWORD access)
{
    bool read = (access & kReadAccess) != 0;
    bool write = (access & kWriteAccess) != 0;
    return (write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY) | O_CLOEXEC;
}

bool Fail(DWORD error)
{
    SetLastError(error);
    return false;
}

// Reads or writes the whole range at the descriptor's position, or at an offset.
bool Transfer(int fd, bool write, char *buffer, DWORD size, DWORD *done, const off_t *offset)
{
    DWORD total = 0;
    while (total < size) {
        ssize_t n;
        if (offset)
            n = write ? pwrite(fd, buffer + total, size - total, *offset + total)
                      : pread(fd, buffer + total, size - total, *offset + total);
        else
            n = write ? ::write(fd, buffer + total, size - total) : ::read(fd, buffer + total, size - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *done = total;
            return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
        }
        if (n == 0)
            break; // end of file
        total += static_cast<DWORD>(n);
    }
    *done = total;
    return true;
}

bool Seek(HANDLE hFile, LONGLONG distance, DWORD method, LONGLONG *newPosition)
{
    auto file = LookupHandleAs<File>(hFile);
    if (!file)
        return false;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
    if (whence < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    off_t base = 0;
    if (whence == SEEK_CUR)
        base = lseek(file->Descriptor(), 0, SEEK_CUR);
    else if (whence == SEEK_END) {
        struct stat st;
        base = fstat(file->Descriptor(), &st) == 0 ? st.st_size : -1;
    }
    if (base < 0)
        return Fail(Win32ErrorFromErrno(errno));
    if (distance < 0 && base + distance < 0)
        return Fail(ERROR_NEGATIVE_SEEK);
    off_t result = lseek(file->Descriptor(), base + distance, SEEK_SET);
    if (result < 0)
        return Fail(Win32ErrorFromErrno(errno));
    if (newPosition)
        *newPosition = result;
    return true;
}

} // namespace
} // namespace twk

using namespace twk;

extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                     HANDLE)
{
    std::string path = NativePath(lpFileName);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
        (dwCreationDisposition == TRUNCATE_EXISTING && !(dwDesiredAccess & kWriteAccess))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    int flags = OpenFlags(dwDesiredAccess);
    bool existed = true;
    int fd = -1;
    switch (dwCreationDisposition) {
    case CREATE_NEW:
        fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        existed = false;
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        // Create exclusively first so the call knows whether the file was there.
        fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0)
            existed = false;
        else if (errno == EEXIST)
            fd = open(path.c_str(), flags);
        break;
    default:
        fd = open(path.c_str(), flags);
        break;
    }
    if (fd < 0) {
        SetLastError(Win32PathError(errno, path));
        return INVALID_HANDLE_VALUE;
    }

    struct stat st;
    fstat(fd, &st);
    if (S_ISDIR(st.st_mode) && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<File>(fd, FileId{st.st_dev, st.st_ino}, ShareAccess(dwDesiredAccess), dwShareMode,
                                       (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) ? path : std::string());
    if (!file->SharingAllowed()) {
        file->CancelDeleteOnClose();
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE; // an existing file, left as it was
    }
    bool truncate = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
    if (truncate && ftruncate(fd, 0) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = InsertHandle(std::move(file));
    bool opensAlways = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(opensAlways && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                                LPOVERLAPPED lpOverlapped)
{
    DWORD done = 0;
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    auto file = LookupHandleAs<File>(hFile);
    if (!file)
        return FALSE;
    if (!lpBuffer && nNumberOfBytesToRead) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    off_t offset = 0;
    if (lpOverlapped)
        offset = static_cast<off_t>((static_cast<ULONGLONG>(lpOverlapped->OffsetHigh) << 32) | lpOverlapped->Offset);
    bool ok = Transfer(file->Descriptor(), false, static_cast<char *>(lpBuffer), nNumberOfBytesToRead, &done,
                       lpOverlapped ? &offset : nullptr);
    if (lpOverlapped) {
        lseek(file->Descriptor(), offset + done, SEEK_SET); // a synchronous handle moves its pointer too
        lpOverlapped->Internal = ok ? 0 : GetLastError();
        lpOverlapped->InternalHigh = done;
        if (ok && done == 0 && nNumberOfBytesToRead) {
            SetLastError(ERROR_HANDLE_EOF); // reading at an offset past the end fails, as on Windows
            return FALSE;
        }
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    return ok;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    DWORD done = 0;
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    auto file = LookupHandleAs<File>(hFile);
    if (!file)
        return FALSE;
    if (!lpBuffer && nNumberOfBytesToWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    off_t offset = 0;
    if (lpOverlapped)
        offset = static_cast<off_t>((static_cast<ULONGLONG>(lpOverlapped->OffsetHigh) << 32) | lpOverlapped->Offset);
    bool ok = Transfer(file->Descriptor(), true, const_cast<char *>(static_cast<const char *>(lpBuffer)),
                       nNumberOfBytesToWrite, &done, lpOverlapped ? &offset : nullptr);
    if (lpOverlapped) {
        lseek(file->Descriptor(), offset + done, SEEK_SET);
        lpOverlapped->Internal = ok ? 0 : GetLastError();
        lpOverlapped->InternalHigh = done;
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    return ok;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod)
{
    LONGLONG distance = lpDistanceToMoveHigh
                            ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                                    static_cast<DWORD>(lDistanceToMove))
                            : static_cast<LONGLONG>(lDistanceToMove);
    LONGLONG position = 0;
    if (!Seek(hFile, distance, dwMoveMethod, &position))
        return INVALID_SET_FILE_POINTER;
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
    else if (position > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_PARAMETER); // the position does not fit the 32-bit answer
        return INVALID_SET_FILE_POINTER;
    }
    if (static_cast<DWORD>(position) == INVALID_SET_FILE_POINTER)
        SetLastError(NO_ERROR); // so the caller can tell this position from a failure
    return static_cast<DWORD>(position);
}

extern "C" BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                                        DWORD dwMoveMethod)
{
    LONGLONG position = 0;
    if (!Seek(hFile, liDistanceToMove.QuadPart, dwMoveMethod, &position))
        return FALSE;
    if (lpNewFilePointer)
        lpNewFilePointer->QuadPart = position;
    return TRUE;
}

extern "C" BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
    auto file = LookupHandleAs<File>(hFile);
    if (!file)
        return FALSE;
    off_t position = lseek(file->Descriptor(), 0, SEEK_CUR);
    if (position < 0 || ftruncate(file->Descriptor(), position) != 0) {
        SetLastError(errno == EBADF || errno == EINVAL ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    auto file = LookupHandleAs<File>(hFile);
    if (!file)
        return FALSE;
    struct stat st;
    if (fstat(file->Descriptor(), &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FALSE;
    }
    lpFileSize->QuadPart = st.st_size;
    return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size))
        return INVALID_FILE_SIZE;
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size.HighPart);
    if (size.LowPart == INVALID_FILE_SIZE)
        SetLastError(NO_ERROR); // so the caller can tell this size from a failure
    return size.LowPart;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    auto file = LookupHandleAs<File>(hFile);
    if (!file)
        return FALSE;
    if (fsync(file->Descriptor()) != 0 && errno != EINVAL) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}
