// update-server: publishes a release directory with the launcher's update protocol.
//   GET /download/start.php       200, header X-App_version, the manifest as the body
//   GET /download/<Name>.<Ver>    the file; 206 with Content-Range for a Range request
// Every connection is closed after its response.
// With --write-manifest FILE it writes the manifest it would serve and ends: an
// installation's files.ini is the manifest of the directory installed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>

#include <httplib.h>

#include "manifest.h"

namespace {

const char kUsage[] =
    "usage: update-server --root DIR [options]\n"
    "  --root DIR               release directory to publish (entry 1 is the launcher)\n"
    "  --listen ADDR:PORT       address to listen on (default 127.0.0.1:80; port 0 picks a free one)\n"
    "  --port-file FILE         write the port listened on to FILE once listening\n"
    "  --launcher NAME          file name of the launcher in DIR (default Tarnwick)\n"
    "  --manifest-version V     manifest version (default: the launcher's FileVersion)\n"
    "  --version NAME=V         version of one file (default: its version block)\n"
    "  --manifest FILE          serve FILE verbatim as the manifest instead of building one\n"
    "  --ignore-range           answer 200 with the whole file even to a Range request\n"
    "  --write-manifest FILE    write the release's manifest (files.ini) to FILE and exit\n";

struct Options {
    updsrv::ReleaseOptions release;
    std::string address = "127.0.0.1";
    int port = 80;
    std::string portFile;
    std::string manifestFile;
    std::string writeManifest;
    bool ignoreRange = false;
};

bool ParseArgs(int argc, char **argv, Options &options, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--root") {
            if (!value(options.release.directory))
                return false;
        } else if (arg == "--listen") {
            if (!value(v))
                return false;
            size_t colon = v.rfind(':');
            if (colon == std::string::npos) {
                error = "--listen takes ADDR:PORT";
                return false;
            }
            options.address = v.substr(0, colon);
            char *end = nullptr;
            long port = strtol(v.c_str() + colon + 1, &end, 10);
            if (*end || port < 0 || port > 65535) {
                error = "bad port in --listen " + v;
                return false;
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--port-file") {
            if (!value(options.portFile))
                return false;
        } else if (arg == "--launcher") {
            if (!value(options.release.launcherName))
                return false;
        } else if (arg == "--manifest-version") {
            if (!value(options.release.manifestVersion))
                return false;
        } else if (arg == "--version") {
            if (!value(v))
                return false;
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--version takes NAME=VERSION";
                return false;
            }
            options.release.versions[v.substr(0, eq)] = v.substr(eq + 1);
        } else if (arg == "--manifest") {
            if (!value(options.manifestFile))
                return false;
        } else if (arg == "--write-manifest") {
            if (!value(options.writeManifest))
                return false;
        } else if (arg == "--ignore-range") {
            options.ignoreRange = true;
        } else if (arg == "--help" || arg == "-h") {
            fputs(kUsage, stdout);
            exit(0);
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.release.directory.empty()) {
        error = "--root is required";
        return false;
    }
    return true;
}

std::string ReadWhole(const std::string &path, bool &ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the whole text to a temporary file beside the target, then renames it
// over the target, so a reader never sees half a manifest.
bool WriteWhole(const std::string &path, const std::string &text)
{
    const std::string temporary = path + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    std::string error;
    if (!ParseArgs(argc, argv, options, error)) {
        fprintf(stderr, "update-server: %s\n%s", error.c_str(), kUsage);
        return 2;
    }

    std::mutex lock;
    updsrv::Release release;
    if (!updsrv::LoadRelease(options.release, release, error)) {
        fprintf(stderr, "update-server: %s\n", error.c_str());
        return 1;
    }
    if (!options.writeManifest.empty()) {
        if (!WriteWhole(options.writeManifest, release.ManifestText())) {
            fprintf(stderr, "update-server: cannot write %s: %s\n", options.writeManifest.c_str(), strerror(errno));
            return 1;
        }
        return 0;
    }

    httplib::Server server;
    server.set_keep_alive_max_count(1);

    server.Get("/download/start.php", [&](const httplib::Request &, httplib::Response &res) {
        std::lock_guard<std::mutex> guard(lock);
        // Rescan, so a release published while the server runs is seen at once.
        std::string reason;
        updsrv::Release fresh;
        if (updsrv::LoadRelease(options.release, fresh, reason))
            release = std::move(fresh);
        else
            fprintf(stderr, "update-server: keeping the previous release: %s\n", reason.c_str());
        std::string body = release.ManifestText();
        if (!options.manifestFile.empty()) {
            bool ok = false;
            body = ReadWhole(options.manifestFile, ok);
            if (!ok) {
                res.status = 500;
                fprintf(stderr, "update-server: cannot read %s\n", options.manifestFile.c_str());
                return;
            }
        }
        res.set_header("X-App_version", release.manifestVersion);
        res.set_content(body, "text/plain");
    });

    server.Get(R"(/download/([^/]+))", [&](const httplib::Request &req, httplib::Response &res) {
        std::string path;
        {
            std::lock_guard<std::mutex> guard(lock);
            const updsrv::ReleaseFile *file = release.FindRemote(req.matches[1]);
            if (file)
                path = file->path;
        }
        bool ok = false;
        std::string bytes = path.empty() ? std::string() : ReadWhole(path, ok);
        if (!ok) {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return;
        }
        if (options.ignoreRange) {
            // A faulty server for tests: the Range header is dropped before the
            // library applies it, so the whole file goes out with 200.
            const_cast<httplib::Request &>(req).ranges.clear();
            res.status = 200;
        }
        res.set_content(std::move(bytes), "application/octet-stream");
    });

    server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
        auto range = req.get_header_value("Range");
        printf("%s %s -> %d%s%s\n", req.method.c_str(), req.path.c_str(), res.status, range.empty() ? "" : " ",
               range.c_str());
        fflush(stdout);
    });

    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(options.address.c_str());
    } else if (!server.bind_to_port(options.address.c_str(), port)) {
        port = -1;
    }
    if (port < 0) {
        fprintf(stderr, "update-server: cannot listen on %s:%d\n", options.address.c_str(), options.port);
        return 1;
    }
    if (!options.portFile.empty()) {
        std::ofstream out(options.portFile + ".tmp");
        out << port << "\n";
        out.close();
        std::rename((options.portFile + ".tmp").c_str(), options.portFile.c_str());
    }
    printf("update-server: publishing %s (manifest version %s, %zu files) on %s:%d\n",
           options.release.directory.c_str(), release.manifestVersion.c_str(), release.files.size(),
           options.address.c_str(), port);
    fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
