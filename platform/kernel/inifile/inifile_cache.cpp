#include "inifile_cache.h"

#include "inifile_io.h"

#include <algorithm>
#include <sys/stat.h>
#include <time.h>

namespace twk {

namespace {

// Files kept parsed at once; a program works with one or two profile files.
constexpr std::size_t kMaxEntries = 4;
// Longer than the coarsest clock tick the kernel stamps files with, short enough
// that a burst of lookups right after a change re-reads the file only briefly.
constexpr long long kRacyNs = 50'000'000;

std::string KeyOf(std::string_view section, std::string_view key)
{
    return ProfileFold(section) + '\n' + ProfileFold(key);
}

long long Nanoseconds(const timespec &t)
{
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

long long Now()
{
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return Nanoseconds(t);
}

bool StampOf(const std::string &path, ProfileStamp &stamp)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    stamp.device = static_cast<unsigned long long>(st.st_dev);
    stamp.inode = static_cast<unsigned long long>(st.st_ino);
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.modified = Nanoseconds(st.st_mtim);
    stamp.changed = Nanoseconds(st.st_ctim);
    return true;
}

// True when a change made after `readAt` could carry the same times as the stamp.
bool IsRacy(const ProfileStamp &stamp, long long readAt)
{
    return std::max(stamp.modified, stamp.changed) + kRacyNs > readAt;
}

} // namespace

ProfileLookup::ProfileLookup(const ProfileIndex &index)
{
    const auto &lines = index.Lines();
    std::string section;
    bool first = false; // within the first section of its name
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ProfileLine &line = lines[i];
        if (line.kind == ProfileLine::Kind::Section) {
            section = ProfileFold(line.name);
            first = m_sections.emplace(section, i).second;
        } else if (line.kind == ProfileLine::Kind::Key && first) {
            m_keys.emplace(section + '\n' + ProfileFold(line.name), i);
        }
    }
}

std::size_t ProfileLookup::FindSection(std::string_view section) const
{
    auto it = m_sections.find(ProfileFold(section));
    return it == m_sections.end() ? ProfileIndex::npos : it->second;
}

std::size_t ProfileLookup::FindKey(std::string_view section, std::string_view key) const
{
    auto it = m_keys.find(KeyOf(section, key));
    return it == m_keys.end() ? ProfileIndex::npos : it->second;
}

bool ProfileStamp::operator==(const ProfileStamp &other) const
{
    return device == other.device && inode == other.inode && size == other.size && modified == other.modified &&
           changed == other.changed;
}

ProfileSnapshot::ProfileSnapshot(std::string content) : text(std::move(content)), index(text), lookup(index) {}

ProfileCache::Entry *ProfileCache::Find(const std::string &path)
{
    for (Entry &entry : m_entries)
        if (entry.path == path)
            return &entry;
    return nullptr;
}

ProfileCache::Entry &ProfileCache::Slot(const std::string &path)
{
    if (Entry *entry = Find(path))
        return *entry;
    if (m_entries.size() >= kMaxEntries) {
        auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                       [](const Entry &a, const Entry &b) { return a.lastUse < b.lastUse; });
        m_entries.erase(oldest);
    }
    m_entries.emplace_back();
    m_entries.back().path = path;
    return m_entries.back();
}

const ProfileSnapshot *ProfileCache::Get(const std::string &path, unsigned long &error)
{
    long long readAt = Now();
    ProfileStamp before;
    bool stamped = StampOf(path, before);
    Entry *entry = Find(path);
    if (entry && stamped && !entry->racy && entry->stamp == before) {
        entry->lastUse = ++m_useCounter;
        return entry->snapshot.get();
    }

    std::string content;
    if (!ProfileReadFile(path, content, error)) {
        if (entry)
            m_entries.erase(m_entries.begin() + (entry - m_entries.data()));
        return nullptr;
    }
    ProfileStamp after;
    bool stable = stamped && StampOf(path, after) && after == before;

    Entry &slot = Slot(path);
    // A copy that still matches the bytes keeps its index: only its stamp is renewed.
    if (!slot.snapshot || slot.snapshot->text != content)
        slot.snapshot = std::make_unique<ProfileSnapshot>(std::move(content));
    slot.stamp = before;
    slot.racy = !stable || IsRacy(before, readAt);
    slot.lastUse = ++m_useCounter;
    return slot.snapshot.get();
}

void ProfileCache::Store(const std::string &path, std::string content)
{
    Entry &slot = Slot(path);
    slot.snapshot = std::make_unique<ProfileSnapshot>(std::move(content));
    // Just written, so the stamp alone vouches for nothing yet: the next lookup
    // compares the bytes.
    StampOf(path, slot.stamp);
    slot.racy = true;
    slot.lastUse = ++m_useCounter;
}

} // namespace twk
