// The platform libraries that provide built-in classes are loaded on first need,
// so a process that only calls CoCreateInstance finds the filter mapper or the
// filter graph without linking those libraries itself.
#include "class_libraries.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace twcom {
namespace {

const char *const kClassLibraries[] = {"libtwdshow.so"};

// The directory this library was loaded from: the platform libraries sit together.
std::string OwnDirectory()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&LoadPlatformClassLibraries), &info) || !info.dli_fname)
        return "";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

} // namespace

void LoadPlatformClassLibraries()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        std::string dir = OwnDirectory();
        for (const char *name : kClassLibraries) {
            // Kept loaded for the life of the process: their classes may be in use anywhere.
            if (!dlopen((dir + name).c_str(), RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE) &&
                !dlopen(name, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE))
                fprintf(stderr, "com: cannot load %s: %s\n", name, dlerror());
        }
    });
}

} // namespace twcom
