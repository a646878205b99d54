// Test data of the launcher's tests: manifests, digests and file contents.
#pragma once
#include <string>
#include <vector>

namespace lt {

// One manifest section; an empty field is left out of the manifest.
struct Entry {
    std::string name;
    std::string version;
    std::string size;
    std::string md5;
};

// files.ini text: a marker byte and the version on the first line, then the entries.
std::string ManifestText(const std::string &version, const std::vector<Entry> &entries);

// Deletes a file if it is there.
void RemoveFile(const std::string &path);

// n bytes of a pattern that differs with the seed.
std::string Pattern(size_t n, int seed);

// A value of the settings store, or "<absent>" when it cannot be read.
std::string SettingText(const char *name);

// Today's local date as the launcher records it, "%Y%m%d".
std::string TodayText();

} // namespace lt
