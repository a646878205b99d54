// Windows share modes among the file handles of this process.
//
// Platform-internal. Each open file handle registers its access and share mode
// under the file's identity; an open, delete or rename that its share mode, or
// another handle's, does not allow fails with ERROR_SHARING_VIOLATION. Other
// processes are not seen.
#pragma once
#include <sys/types.h>

namespace twk {

struct FileId {
    dev_t device;
    ino_t inode;
};

class ShareEntry {
public:
    // Registers an open with the given access (GENERIC_READ/GENERIC_WRITE bits)
    // and share mode unless it conflicts with an open already registered;
    // Registered() says which.
    ShareEntry(FileId id, unsigned long access, unsigned long share);
    ~ShareEntry();
    ShareEntry(const ShareEntry &) = delete;
    ShareEntry &operator=(const ShareEntry &) = delete;
    bool Registered() const { return m_registered; }

private:
    FileId m_id;
    unsigned long m_access;
    unsigned long m_share;
    bool m_registered = false;
};

// Whether every open handle of the file allows it to be deleted or renamed.
bool FileMayBeDeleted(FileId id);

// The identity of the file at a native path, if there is one.
bool FileIdOfPath(const char *nativePath, FileId &id);

} // namespace twk
