// manifestbench: writes a manifest of many entries into a scratch working
// directory and times what the launcher does with it before its download prompt
// (the download-size computation, which reads every entry and creates the
// temporary files), a second computation over the temporary files, every key
// read on its own, and a rewrite of every entry's bookkeeping with its value.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <windows.h>

#include "digest.h"
#include "manifest.h"
#include "updater.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "usage: manifestbench [--entries N] [--keep DIR]\n"
                      "  --entries N   manifest entries besides the launcher's (default 10000)\n"
                      "  --keep DIR    working directory, kept afterwards (default: a temporary one, removed)\n";

// Wall time and the process's processor time, which a busy machine inflates less.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
};

std::string Seconds(const Stopwatch &since)
{
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - since.wall).count();
    double cpu = static_cast<double>(std::clock() - since.cpu) / CLOCKS_PER_SEC;
    char text[64];
    std::snprintf(text, sizeof text, "%8.3f s (processor %.3f s)", wall, cpu);
    return text;
}

bool WriteText(const std::string &path, const std::string &text)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    int nEntries = 10000;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--entries" && i + 1 < argc) {
            nEntries = std::atoi(argv[++i]);
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            std::fputs(kUsage, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    if (nEntries < 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string dir = keep;
    if (dir.empty()) {
        char pattern[] = "/tmp/manifestbench.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("manifestbench: cannot create a working directory");
            return 1;
        }
        dir = pattern;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!SetCurrentDirectoryA(dir.c_str())) {
        std::fprintf(stderr, "manifestbench: cannot enter %s\n", dir.c_str());
        return 1;
    }

    // Entry 1 is a stand-in launcher that is current; every other file is missing.
    const std::string launcher(4096, 'L');
    if (!WriteText("Tarnwick", launcher)) {
        std::fprintf(stderr, "manifestbench: cannot write in %s\n", dir.c_str());
        return 1;
    }
    FILE *own = std::fopen("Tarnwick", "rb");
    std::string launcherDigest = own ? Md5HexOfFile(own) : "";
    std::string manifest = "\xef" "2.0.0.0\r\n[File1]\r\nName=Tarnwick\r\nVersion=0.0.0.0\r\nSize=4096\r\nMD5=" +
                           launcherDigest + "\r\n";
    for (int n = 2; n <= nEntries + 1; ++n) {
        char section[256];
        std::snprintf(section, sizeof section,
                      "[File%d]\r\nName=file%06d.bin\r\nVersion=2.0.0.0\r\nSize=1000\r\n"
                      "MD5=0123456789abcdef0123456789abcdef\r\nDownloadedSize=0\r\n",
                      n, n);
        manifest += section;
    }
    if (!WriteText(MANIFEST_NAME, manifest)) {
        std::fprintf(stderr, "manifestbench: cannot write the manifest in %s\n", dir.c_str());
        return 1;
    }
    std::printf("manifestbench: %d entries, manifest %zu bytes, in %s\n", nEntries, manifest.size(), dir.c_str());

    Stopwatch start;
    int nTotal = ComputeDownloadSize();
    std::printf("  download-size computation, files missing:   %s, total %d bytes\n", Seconds(start).c_str(), nTotal);
    start = Stopwatch();
    nTotal = ComputeDownloadSize();
    std::printf("  download-size computation, temporary files: %s, total %d bytes\n", Seconds(start).c_str(), nTotal);

    char szManifest[WORK_PATH_SIZE];
    WorkPath(MANIFEST_NAME, szManifest);
    start = Stopwatch();
    char value[ENTRY_TEXT_SIZE];
    long long cchRead = 0;
    for (int n = 2; n <= nEntries + 1; ++n)
        for (const char *key : {KEY_NAME, KEY_VERSION, KEY_SIZE, KEY_MD5, KEY_DOWNLOADED_SIZE}) {
            ReadEntryKey(szManifest, n, key, "", value);
            cchRead += static_cast<long long>(std::strlen(value));
        }
    std::printf("  %d key reads:                            %s, %lld characters\n", nEntries * 5,
                Seconds(start).c_str(), cchRead);
    start = Stopwatch();
    for (int n = 2; n <= nEntries + 1; ++n)
        WriteEntryKey(szManifest, n, KEY_DOWNLOADED_SIZE, "0");
    std::printf("  %d unchanged bookkeeping writes:          %s\n", nEntries, Seconds(start).c_str());

    bool bOk = nTotal == nEntries * 1000;
    if (keep.empty()) {
        SetCurrentDirectoryA("/");
        fs::remove_all(dir, ec);
    }
    if (!bOk) {
        std::fprintf(stderr, "manifestbench: expected a total of %d bytes\n", nEntries * 1000);
        return 1;
    }
    return 0;
}
