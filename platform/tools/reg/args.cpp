// Key names and switches of the command line.
#include <algorithm>
#include <cctype>

#include "regtool.h"

namespace regtool {

namespace {

std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Contains(const std::vector<std::string> &list, const std::string &item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

bool ParseKeyPath(const std::string &text, KeyPath *key)
{
    static const struct {
        const char *shortName;
        const char *longName;
        HKEY root;
    } kRoots[] = {
        {"hkcu", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"hklm", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"hkcr", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    };
    size_t sep = text.find('\\');
    std::string root = Lower(text.substr(0, sep));
    std::string sub = sep == std::string::npos ? std::string() : text.substr(sep + 1);
    while (!sub.empty() && sub.back() == '\\')
        sub.pop_back();
    for (const auto &r : kRoots) {
        if (root == r.shortName || root == Lower(r.longName)) {
            key->root = r.root;
            key->rootName = r.longName;
            key->subKey = sub;
            return true;
        }
    }
    return false;
}

const std::string *Args::Value(const std::string &name) const
{
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

bool ParseArgs(int argc, char **argv, const std::vector<std::string> &valueSwitches,
               const std::vector<std::string> &flagSwitches, Args *args)
{
    for (int i = 0; i < argc; ++i) {
        std::string word = argv[i];
        if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) {
            args->positional.push_back(word);
            continue;
        }
        // Only the command's own switches are switches: an absolute path such
        // as /home/ann/out.reg is an argument.
        std::string name = Lower(word.substr(1));
        bool takesValue = Contains(valueSwitches, name);
        if (!takesValue && !Contains(flagSwitches, name)) {
            args->positional.push_back(word);
            continue;
        }
        if (args->Has(name))
            return false;
        if (takesValue) {
            if (i + 1 >= argc)
                return false;
            args->values[name] = argv[++i];
        } else {
            args->flags[name] = true;
        }
    }
    return true;
}

} // namespace regtool
