#include "moduleresources.h"

#include "core/modules.h"

#include <map>
#include <memory>
#include <mutex>

namespace twk {
namespace {

struct Cache {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<ResourceSet>> sets;
};

Cache &TheCache()
{
    static Cache cache;
    return cache;
}

} // namespace

const ResourceSet *ModuleResources(HMODULE hModule, DWORD &win32Error)
{
    const std::string path = ModulePath(hModule);
    if (path.empty()) {
        win32Error = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    Cache &cache = TheCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    auto it = cache.sets.find(path);
    if (it == cache.sets.end()) {
        auto set = std::make_unique<ResourceSet>();
        DWORD error = LoadResourceFile(path, *set);
        // A file that could not be read is tried again next time; a file without
        // resources is remembered as such.
        if (error != ERROR_SUCCESS && error != ERROR_RESOURCE_DATA_NOT_FOUND) {
            win32Error = error;
            return nullptr;
        }
        it = cache.sets.emplace(path, std::move(set)).first;
    }
    if (it->second->Empty()) {
        win32Error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return nullptr;
    }
    return it->second.get();
}

} // namespace twk
