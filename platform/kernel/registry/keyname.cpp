#include "keyname.h"

namespace twk::reg {

std::string FoldName(std::string_view name)
{
    std::string folded(name);
    for (char &c : folded)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

LONG SplitKeyPath(const char *subKey, std::vector<std::string> *parts)
{
    parts->clear();
    if (!subKey)
        return ERROR_SUCCESS;
    std::string_view rest(subKey);
    while (!rest.empty()) {
        size_t sep = rest.find('\\');
        std::string_view part = rest.substr(0, sep);
        if (part.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        if (!part.empty())
            parts->emplace_back(part);
        rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
    }
    return ERROR_SUCCESS;
}

} // namespace twk::reg
