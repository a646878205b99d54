#include "source_choice.h"

#include <algorithm>
#include <cctype>
#include <string>

#include <uuids.h>
#include <vfwmsgs.h>

#include "mapper/registry_key.h"
#include <twcom/guidtext.h>
#include <twkernel/textconv.h>

namespace twds {
namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// The protocol of a URL ("http"), or "" for a plain path (a drive letter is no protocol).
std::string ProtocolOf(const std::string &url)
{
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon < 2)
        return "";
    for (size_t i = 0; i < colon; ++i)
        if (!std::isalnum(static_cast<unsigned char>(url[i])) && url[i] != '+' && url[i] != '-' && url[i] != '.')
            return "";
    return Lower(url.substr(0, colon));
}

// The extension of the URL's path (".wmv"), without query or fragment.
std::string ExtensionOf(const std::string &url)
{
    std::string path = url.substr(0, url.find_first_of("?#"));
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return Lower(path.substr(dot));
}

bool RegisteredSource(const std::string &key, CLSID *clsid)
{
    RegistryKey k;
    std::string text;
    return k.Open(HKEY_CLASSES_ROOT, key) == ERROR_SUCCESS && k.GetString("Source Filter", text) &&
           twcom::GuidFromText(text, clsid);
}

} // namespace

HRESULT ChooseSourceFilter(LPCWSTR url, CLSID *clsid)
{
    if (!url || !clsid)
        return E_POINTER;
    std::string text = twk::Utf8FromWide(url);
    std::string protocol = ProtocolOf(text);
    std::string extension = ExtensionOf(text);
    if (!protocol.empty() && RegisteredSource(protocol, clsid))
        return S_OK;
    if (!extension.empty() && RegisteredSource("Media Type\\Extensions\\" + extension, clsid))
        return S_OK;
    static const char *const kProtocols[] = {"", "http", "https", "mms", "mmsh", "mmst", "file"};
    static const char *const kExtensions[] = {".asf", ".wmv", ".wma", ".asx", ".wax", ".wvx"};
    bool asf = std::find(std::begin(kProtocols), std::end(kProtocols), protocol) != std::end(kProtocols) ||
               std::find(std::begin(kExtensions), std::end(kExtensions), extension) != std::end(kExtensions);
    if (!asf)
        return VFW_E_UNKNOWN_FILE_TYPE;
    *clsid = CLSID_NetShowSource;
    return S_OK;
}

} // namespace twds
