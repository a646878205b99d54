#include "testdata.h"

#include <cstring>
#include <ctime>

#include <windows.h>

#include "settings.h"

namespace lt {

std::string ManifestText(const std::string &version, const std::vector<Entry> &entries)
{
    std::string text = ";" + version + "\r\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        text += "[File" + std::to_string(i + 1) + "]\r\n";
        if (!e.name.empty())
            text += "Name=" + e.name + "\r\n";
        if (!e.version.empty())
            text += "Version=" + e.version + "\r\n";
        if (!e.size.empty())
            text += "Size=" + e.size + "\r\n";
        if (!e.md5.empty())
            text += "MD5=" + e.md5 + "\r\n";
    }
    return text;
}

void RemoveFile(const std::string &path)
{
    DeleteFileA(path.c_str());
}

std::string Pattern(size_t n, int seed)
{
    std::string bytes(n, '\0');
    unsigned state = 2166136261u ^ static_cast<unsigned>(seed);
    for (size_t i = 0; i < n; ++i) {
        state = state * 16777619u + 12345u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string SettingText(const char *name)
{
    std::strcpy(g_szSetting, "<absent>");
    ReadSetting(name);
    return g_szSetting;
}

std::string TodayText()
{
    char text[16];
    std::time_t now = std::time(nullptr);
    std::strftime(text, sizeof text, "%Y%m%d", std::localtime(&now));
    return text;
}

} // namespace lt
