// URL forms the input module takes apart: scheme, local paths, relative
// references inside a metafile.
#pragma once
#include <string>

namespace twwmf {

// The scheme in lower case ("http"), or empty for a local path (a drive letter
// such as "C:" does not count as a scheme).
std::string UrlScheme(const std::string &url);

// The URL with another scheme, and with `port` when it names none ("mms://h/x"
// → "mmsh://h:80/x"); port 0 keeps the URL's own.
std::string WithScheme(const std::string &url, const std::string &scheme, int port = 0);

// The native path of a local path or file: URL (percent escapes decoded).
std::string LocalPath(const std::string &url);

// `ref` resolved against the URL of the metafile that holds it.
std::string ResolveReference(const std::string &base, const std::string &ref);

} // namespace twwmf
