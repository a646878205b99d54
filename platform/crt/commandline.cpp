#include "commandline.h"

namespace twcrt {
namespace {

void AppendArgument(std::string &line, const std::string &arg)
{
    bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
    if (quote)
        line += '"';
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            line.append(backslashes * 2 + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line += c;
    }
    // Backslashes at the end stay as they are, unless a closing quote follows.
    line.append(quote ? backslashes * 2 : backslashes, '\\');
    if (quote)
        line += '"';
}

} // namespace

std::string BuildCommandLine(int argc, const char *const *argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        AppendArgument(line, argv[i] ? argv[i] : "");
    }
    return line;
}

} // namespace twcrt
