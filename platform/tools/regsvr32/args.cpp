#include "regsvr32.h"

#include <strings.h>

namespace regsvr32 {

bool ParseArguments(int argc, char **argv, Options &options, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.empty())
            continue;
        // Flags are one letter after '-' or '/'; anything longer after '/' is an absolute path.
        const bool isFlag = arg[0] == '-' || (arg[0] == '/' && arg.size() == 2);
        if (!isFlag) {
            options.modules.push_back(arg);
            continue;
        }
        const std::string flag = arg.substr(1);
        if (!strcasecmp(flag.c_str(), "u")) {
            options.unregister = true;
        } else if (!strcasecmp(flag.c_str(), "s")) {
            options.silent = true;
        } else if (flag == "?" || !strcasecmp(flag.c_str(), "h")) {
            options.help = true;
        } else {
            error = "Unrecognized flag: " + arg;
            return false;
        }
    }
    if (options.modules.empty() && !options.help) {
        error = "No module name specified.";
        return false;
    }
    return true;
}

} // namespace regsvr32
