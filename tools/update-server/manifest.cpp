#include "manifest.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <openssl/evp.h>
#include <windows.h>

namespace updsrv {

const ReleaseFile *Release::FindRemote(const std::string &remoteName) const
{
    for (const auto &file : files)
        if (file.name + "." + file.version == remoteName)
            return &file;
    return nullptr;
}

std::string Release::ManifestText() const
{
    std::ostringstream out;
    out << ';' << manifestVersion << "\r\n";
    for (size_t i = 0; i < files.size(); ++i) {
        const ReleaseFile &f = files[i];
        out << "[File" << (i + 1) << "]\r\n"
            << "Name=" << f.name << "\r\n"
            << "Version=" << f.version << "\r\n"
            << "Size=" << f.size << "\r\n"
            << "MD5=" << f.md5 << "\r\n";
    }
    return out.str();
}

std::string Md5HexOfFile(const std::string &path, bool &ok)
{
    ok = false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "";
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1)
        return "";
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        if (in.gcount() > 0)
            EVP_DigestUpdate(ctx.get(), buf, static_cast<size_t>(in.gcount()));
    }
    if (in.bad())
        return "";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_DigestFinal_ex(ctx.get(), digest, &len);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < len; ++i) {
        snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    ok = true;
    return hex;
}

std::string FileVersionOf(const std::string &path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return "";
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), handle, size, block.data()))
        return "";
    WORD *translation = nullptr;
    UINT cb = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID *>(&translation), &cb) ||
        cb < 4)
        return "";
    char query[64];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\FileVersion", translation[0], translation[1]);
    char *value = nullptr;
    if (!VerQueryValueA(block.data(), query, reinterpret_cast<LPVOID *>(&value), &cb) || !value)
        return "";
    return value;
}

bool LoadRelease(const ReleaseOptions &options, Release &release, std::string &error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(options.directory, ec)) {
        error = "release directory " + options.directory + " does not exist";
        return false;
    }
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(options.directory, ec)) {
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != "files.ini" && name[0] != '.' && name != options.launcherName)
            names.push_back(name);
    }
    if (ec) {
        error = "cannot list " + options.directory + ": " + ec.message();
        return false;
    }
    std::sort(names.begin(), names.end());
    names.insert(names.begin(), options.launcherName);

    Release result;
    for (const auto &name : names) {
        ReleaseFile file;
        file.name = name;
        file.path = (fs::path(options.directory) / name).string();
        if (!fs::is_regular_file(file.path, ec)) {
            error = "the launcher " + file.path + " is missing from the release";
            return false;
        }
        file.size = static_cast<long long>(fs::file_size(file.path, ec));
        bool ok = false;
        file.md5 = Md5HexOfFile(file.path, ok);
        if (!ok) {
            error = "cannot read " + file.path;
            return false;
        }
        auto over = options.versions.find(name);
        file.version = over != options.versions.end() ? over->second : FileVersionOf(file.path);
        result.files.push_back(file);
    }
    result.manifestVersion =
        options.manifestVersion.empty() ? result.files[0].version : options.manifestVersion;
    if (result.manifestVersion.empty()) {
        error = "the launcher has no version block; give --manifest-version";
        return false;
    }
    // Files without a version block of their own take the release's version.
    for (auto &file : result.files)
        if (file.version.empty())
            file.version = result.manifestVersion;
    release = std::move(result);
    return true;
}

} // namespace updsrv
