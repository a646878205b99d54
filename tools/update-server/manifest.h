// The release manifest the update server publishes: one section per file, entry 1
// being the launcher, each with its name, version, size and MD5 digest.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace updsrv {

struct ReleaseFile {
    std::string name;    // file name inside the release directory
    std::string version; // four dot-separated numbers
    std::string path;    // where the bytes are on disk
    long long size = 0;
    std::string md5;     // 32 lower-case hexadecimal digits
};

struct Release {
    std::string manifestVersion;
    std::vector<ReleaseFile> files; // files[0] is the launcher

    // The file served as /download/<name>.<version>, or null.
    const ReleaseFile *FindRemote(const std::string &remoteName) const;
    // files.ini as the launcher stores it: a marker byte and the manifest version
    // on the first line, then [File1], [File2], ... with Name, Version, Size, MD5.
    std::string ManifestText() const;
};

struct ReleaseOptions {
    std::string directory;
    std::string launcherName = "Tarnwick";
    std::string manifestVersion;                 // empty: the launcher's FileVersion
    std::map<std::string, std::string> versions; // per-file overrides
};

// Scans the release directory. On failure returns false with the reason in error.
bool LoadRelease(const ReleaseOptions &options, Release &release, std::string &error);

std::string Md5HexOfFile(const std::string &path, bool &ok);

// The FileVersion string of a module's version block, or "" when it has none.
std::string FileVersionOf(const std::string &path);

} // namespace updsrv
