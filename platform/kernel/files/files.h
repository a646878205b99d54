// File handles: the kernel object behind a HANDLE from CreateFileA.
// Platform-internal; other platform libraries may read a handle's descriptor.
#pragma once
#include "fileshare.h"
#include <twkernel/handles.h>

#include <string>

namespace twk {

class File : public KernelObject {
public:
    File(int fd, FileId id, unsigned long access, unsigned long share, std::string deleteOnClose);
    ~File() override;
    int Descriptor() const { return m_fd; }
    bool SharingAllowed() const { return m_share.Registered(); }
    void CancelDeleteOnClose() { m_deleteOnClose.clear(); }

private:
    int m_fd;
    ShareEntry m_share;
    std::string m_deleteOnClose; // native path removed when the file closes, or empty
};

} // namespace twk
