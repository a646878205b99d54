#include "automation.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace twgui {
namespace {

const char *EnvPath(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

} // namespace

bool UiScriptActive()
{
    return EnvPath("TARNWICK_UI_SCRIPT") != nullptr;
}

std::string EscapeLogField(const std::string &field)
{
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

void AppendUiLog(const std::vector<std::string> &fields)
{
    const char *path = EnvPath("TARNWICK_UI_LOG");
    if (path == nullptr)
        return;
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += '\t';
        line += EscapeLogField(fields[i]);
    }
    line += '\n';
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // One write with O_APPEND: the whole line lands at the end of the file at once.
    const char *p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
}

} // namespace twgui
