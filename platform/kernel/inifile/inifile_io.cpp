#include "inifile_io.h"

#include <twkernel/paths.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

namespace twk {

namespace {

// Closes a descriptor on scope exit.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A missing directory on the way to a file being created is a missing path.
unsigned long CreateError(int err)
{
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err);
}

std::string TemporaryName(const std::string &target)
{
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x%04x", seed ^ static_cast<unsigned>(::getpid()),
                  counter.fetch_add(1) & 0xffffu);
    return dir + "." + base + suffix;
}

// The file a write must replace: the target of a symbolic link, else the path.
std::string ResolveTarget(const std::string &path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

void SyncDirectoryOf(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

} // namespace

bool ProfileReadFile(const std::string &path, std::string &content, unsigned long &error)
{
    content.clear();
    // Non-blocking, so that opening a FIFO does not wait for a writer; only
    // regular files are profile files (a device could be read without end).
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        error = Win32ErrorFromErrno(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = Win32ErrorFromErrno(errno);
            content.clear();
            return false;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool ProfileReplaceFile(const std::string &path, std::string_view content, unsigned long &error)
{
    std::string target = ResolveTarget(path);
    struct stat original;
    bool exists = ::stat(target.c_str(), &original) == 0;
    if (exists && !S_ISREG(original.st_mode)) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }

    std::string temporary;
    int rawFd = -1;
    for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
        temporary = TemporaryName(target);
        rawFd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (rawFd < 0 && errno != EEXIST) {
            error = CreateError(errno);
            return false;
        }
    }
    if (rawFd < 0) {
        error = ERROR_FILE_EXISTS;
        return false;
    }
    FileDescriptor fd(rawFd);
    if (exists)
        ::fchmod(fd.get(), original.st_mode & 07777);

    bool written = WriteAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    int writeErrno = errno;
    if (::close(fd.release()) != 0 && written) {
        written = false;
        writeErrno = errno;
    }
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        if (written)
            writeErrno = errno;
        ::unlink(temporary.c_str());
        error = Win32ErrorFromErrno(writeErrno);
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}

} // namespace twk
