#include "fileshare.h"

#include <map>
#include <mutex>
#include <sys/stat.h>
#include <utility>
#include <windows.h>

namespace twk {
namespace {

struct Open {
    unsigned long access;
    unsigned long share;
    const ShareEntry *owner;
};

// Kept past static destruction: file handles may close after it.
std::mutex &g_lock = *new std::mutex;
std::multimap<std::pair<dev_t, ino_t>, Open> &g_opens = *new std::multimap<std::pair<dev_t, ino_t>, Open>;

bool Reads(unsigned long access) { return (access & (GENERIC_READ | GENERIC_ALL)) != 0; }
bool Writes(unsigned long access) { return (access & (GENERIC_WRITE | GENERIC_ALL)) != 0; }

bool Compatible(const Open &a, unsigned long access, unsigned long share)
{
    if (Reads(access) && !(a.share & FILE_SHARE_READ))
        return false;
    if (Writes(access) && !(a.share & FILE_SHARE_WRITE))
        return false;
    if (Reads(a.access) && !(share & FILE_SHARE_READ))
        return false;
    if (Writes(a.access) && !(share & FILE_SHARE_WRITE))
        return false;
    return true;
}

} // namespace

ShareEntry::ShareEntry(FileId id, unsigned long access, unsigned long share)
    : m_id(id), m_access(access), m_share(share)
{
    std::lock_guard<std::mutex> guard(g_lock);
    auto range = g_opens.equal_range({id.device, id.inode});
    for (auto it = range.first; it != range.second; ++it)
        if (!Compatible(it->second, access, share))
            return;
    g_opens.emplace(std::make_pair(id.device, id.inode), Open{access, share, this});
    m_registered = true;
}

ShareEntry::~ShareEntry()
{
    if (!m_registered)
        return;
    std::lock_guard<std::mutex> guard(g_lock);
    auto range = g_opens.equal_range({m_id.device, m_id.inode});
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.owner == this) {
            g_opens.erase(it);
            break;
        }
    }
}

bool FileMayBeDeleted(FileId id)
{
    std::lock_guard<std::mutex> guard(g_lock);
    auto range = g_opens.equal_range({id.device, id.inode});
    for (auto it = range.first; it != range.second; ++it)
        if (!(it->second.share & FILE_SHARE_DELETE))
            return false;
    return true;
}

bool FileIdOfPath(const char *nativePath, FileId &id)
{
    struct stat st;
    if (stat(nativePath, &st) != 0)
        return false;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    return true;
}

} // namespace twk
