#include "dbpath.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace twk::reg {

namespace {

std::string Env(const char *name)
{
    const char *value = getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string RegistryDatabasePath()
{
    std::string path = Env("TARNWICK_REGISTRY");
    if (!path.empty())
        return path;
    // Relative values of XDG_CONFIG_HOME are invalid and ignored, as the base-directory rules say.
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {
        std::string home = Env("HOME");
        if (home.empty()) {
            if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
                home = pw->pw_dir;
        }
        if (home.empty())
            return std::string();
        config = home + "/.config";
    }
    return config + "/tarnwick/registry.db";
}

} // namespace twk::reg
