// A parsed copy of the profile files used last, so that a run of lookups in one
// file parses it once. A copy is used only while the file is unchanged: same
// device, inode, size, modification and change times. A copy taken within the
// file system's timestamp granularity of the file's last change could miss a
// change made in the same clock tick, so such a copy is checked against the
// file's bytes until the file's times lie safely in the past.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "inifile_parse.h"

namespace twk {

// Hashed lookups over a ProfileIndex with its rules: the first section of a name
// and, within it, the first key of a name. Refers into the index's text.
class ProfileLookup {
public:
    explicit ProfileLookup(const ProfileIndex &index);
    // As ProfileIndex::FindSection and FindKey on the first section of the name.
    std::size_t FindSection(std::string_view section) const;
    std::size_t FindKey(std::string_view section, std::string_view key) const;

private:
    std::unordered_map<std::string, std::size_t> m_sections; // folded name -> header line
    std::unordered_map<std::string, std::size_t> m_keys;     // folded "section\nkey" -> key line
};

// What identifies one state of a file on disk.
struct ProfileStamp {
    unsigned long long device = 0, inode = 0, size = 0;
    long long modified = 0, changed = 0; // nanoseconds since the epoch
    bool operator==(const ProfileStamp &other) const;
    bool operator!=(const ProfileStamp &other) const { return !(*this == other); }
};

// One file's content with its index and lookups. Never moved once built, since
// the index and the lookups refer into the text.
struct ProfileSnapshot {
    explicit ProfileSnapshot(std::string content);
    ProfileSnapshot(const ProfileSnapshot &) = delete;
    ProfileSnapshot &operator=(const ProfileSnapshot &) = delete;

    const std::string text;
    const ProfileIndex index;
    const ProfileLookup lookup;
};

// The copies, by native path. Not locked: the profile functions call it under
// their own lock.
class ProfileCache {
public:
    // The file's current content, parsed; null with a Win32 error when it cannot be read.
    const ProfileSnapshot *Get(const std::string &path, unsigned long &error);
    // The file now holds this content, written through the profile functions.
    void Store(const std::string &path, std::string content);

private:
    struct Entry {
        std::string path;
        ProfileStamp stamp;
        bool racy = true; // the stamp alone cannot vouch for the copy
        unsigned long long lastUse = 0;
        std::unique_ptr<ProfileSnapshot> snapshot;
    };
    Entry *Find(const std::string &path);
    Entry &Slot(const std::string &path);

    std::vector<Entry> m_entries;
    unsigned long long m_useCounter = 0;
};

} // namespace twk
