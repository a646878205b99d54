#include "urls.h"

#include <algorithm>
#include <cctype>

#include <twkernel/paths.h>

namespace twwmf {

std::string UrlScheme(const std::string &url)
{
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon < 2)
        return {};
    for (size_t i = 0; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (!isalnum(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return scheme;
}

std::string WithScheme(const std::string &url, const std::string &scheme, int port)
{
    size_t sep = url.find("://");
    if (sep == std::string::npos)
        return url;
    std::string rest = url.substr(sep + 3);
    if (port > 0) {
        size_t hostEnd = rest.find_first_of("/?#");
        std::string host = rest.substr(0, hostEnd);
        size_t at = host.rfind('@');
        size_t bracket = host.rfind(']');
        size_t colon = host.rfind(':');
        bool hasPort = colon != std::string::npos && (at == std::string::npos || colon > at) &&
                       (bracket == std::string::npos || colon > bracket);
        if (!hasPort)
            rest.insert(hostEnd == std::string::npos ? rest.size() : hostEnd, ":" + std::to_string(port));
    }
    return scheme + "://" + rest;
}

std::string LocalPath(const std::string &url)
{
    std::string path = url;
    if (UrlScheme(url) == "file") {
        path = url.substr(5);
        if (path.compare(0, 2, "//") == 0) {
            size_t slash = path.find('/', 2);
            path = slash == std::string::npos ? std::string() : path.substr(slash);
        }
        std::string decoded;
        for (size_t i = 0; i < path.size(); ++i) {
            if (path[i] == '%' && i + 2 < path.size() && isxdigit(static_cast<unsigned char>(path[i + 1])) &&
                isxdigit(static_cast<unsigned char>(path[i + 2]))) {
                decoded += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                decoded += path[i];
            }
        }
        path = decoded;
    }
    return twk::NativePath(path.c_str());
}

std::string ResolveReference(const std::string &base, const std::string &ref)
{
    if (!UrlScheme(ref).empty() || base.empty())
        return ref;
    if (UrlScheme(base).empty() || UrlScheme(base) == "file") {
        std::string dir = LocalPath(base);
        if (!ref.empty() && (ref[0] == '/' || ref[0] == '\\'))
            return ref;
        return dir.substr(0, dir.rfind('/') + 1) + ref;
    }
    size_t sep = base.find("://");
    size_t pathStart = base.find('/', sep + 3);
    std::string origin = base.substr(0, pathStart);
    if (!ref.empty() && ref[0] == '/')
        return origin + ref;
    std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    return origin + path.substr(0, path.rfind('/') + 1) + ref;
}

} // namespace twwmf
