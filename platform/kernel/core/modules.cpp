// The module loader: LoadLibraryA, FreeLibrary, GetProcAddress,
// GetModuleHandleA, GetModuleFileNameA.
//
// Modules are ELF shared objects with Windows file names, opened
// RTLD_NOW | RTLD_LOCAL. A module's exported DllMain is called with
// DLL_PROCESS_ATTACH on the first load and DLL_PROCESS_DETACH on the last free.
// Loads and frees are serialised by a re-entrant loader lock, so a DllMain may
// load further modules; look-ups take only the short lock over the list.
#include "modules.h"
#include <twkernel/paths.h>
#include "resources/elfsection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <list>
#include <memory>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace twk {
namespace {

typedef BOOL(WINAPI *DllMainProc)(HINSTANCE, DWORD, LPVOID);

struct Module {
    void *dl = nullptr;
    struct link_map *linkMap = nullptr;
    std::string path;     // absolute, native
    dev_t device = 0;
    ino_t inode = 0;
    int references = 0;
    DllMainProc dllMain = nullptr;
    bool isExecutable = false;
};

// The loader's state outlives static destruction: modules' own destructors and
// threads still running at exit may look modules up.
struct LoaderState {
    std::recursive_mutex loaderLock;          // one load or free at a time
    std::mutex listLock;                      // guards the list and reference counts
    std::list<std::unique_ptr<Module>> modules;
};
LoaderState &g_loader = *new LoaderState;
std::recursive_mutex &g_loaderLock = g_loader.loaderLock;
std::mutex &g_listLock = g_loader.listLock;
std::list<std::unique_ptr<Module>> &g_modules = g_loader.modules;

std::string RealPath(const std::string &path)
{
    char *resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result = resolved;
    free(resolved);
    return result;
}

std::string ExecutablePath()
{
    std::string buffer(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", &buffer[0], buffer.size());
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
}

std::string DirectoryOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::string FileNameOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The exported symbol if this module itself defines it (not one of its dependencies).
void *OwnSymbol(const Module &module, const char *name)
{
    dlerror();
    void *symbol = dlsym(module.dl, name);
    if (!symbol)
        return nullptr;
    Dl_info info;
    struct link_map *owner = nullptr;
    if (!dladdr1(symbol, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP) || owner != module.linkMap)
        return nullptr;
    return symbol;
}

Module &Executable()
{
    static Module *executable = [] {
        auto module = std::make_unique<Module>();
        module->dl = dlopen(nullptr, RTLD_NOW);
        dlinfo(module->dl, RTLD_DI_LINKMAP, &module->linkMap);
        module->path = ExecutablePath();
        struct stat st;
        if (stat(module->path.c_str(), &st) == 0) {
            module->device = st.st_dev;
            module->inode = st.st_ino;
        }
        module->references = 1;
        module->isExecutable = true;
        Module *raw = module.get();
        std::lock_guard<std::mutex> guard(g_listLock);
        g_modules.push_back(std::move(module));
        return raw;
    }();
    return *executable;
}

// The live record a handle points to, or null. Call with g_listLock held.
Module *FindLocked(HMODULE handle)
{
    for (auto &module : g_modules)
        if (reinterpret_cast<HMODULE>(module.get()) == handle)
            return module.get();
    return nullptr;
}

Module *Find(HMODULE handle)
{
    if (!handle)
        return &Executable();
    Executable();
    std::lock_guard<std::mutex> guard(g_listLock);
    return FindLocked(handle);
}

// Takes another reference on a loaded module matching the test, if there is one.
template <class Match>
HMODULE Reference(Match match)
{
    std::lock_guard<std::mutex> guard(g_listLock);
    for (auto &module : g_modules) {
        if (match(*module)) {
            if (!module->isExecutable)
                ++module->references;
            return reinterpret_cast<HMODULE>(module.get());
        }
    }
    return nullptr;
}

// Windows appends ".dll" to a file name without an extension; a trailing dot
// means "no extension" and is dropped.
std::string WithDefaultExtension(std::string name)
{
    std::string file = FileNameOf(name);
    if (!file.empty() && file.back() == '.')
        name.pop_back();
    else if (file.find('.') == std::string::npos)
        name += ".dll";
    return name;
}

// Where a module name is looked for: a name with a separator is a path;
// otherwise the executable's directory, the current directory, then the
// dynamic linker's library path (the bare name).
std::vector<std::string> Candidates(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return {name};
    std::vector<std::string> candidates;
    candidates.push_back(DirectoryOf(Executable().path) + "/" + name);
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
        candidates.push_back(std::string(cwd) + "/" + name);
    candidates.push_back(name);
    return candidates;
}

DWORD ErrorFromDlerror(const char *message)
{
    if (!message || std::strstr(message, "No such file"))
        return ERROR_MOD_NOT_FOUND;
    if (std::strstr(message, "undefined symbol"))
        return ERROR_PROC_NOT_FOUND;
    return ERROR_BAD_FORMAT;
}

HMODULE Load(const std::string &name)
{
    std::vector<std::string> candidates = Candidates(name);
    for (size_t i = 0; i < candidates.size(); ++i) {
        const std::string &candidate = candidates[i];
        bool searchPath = candidate.find('/') == std::string::npos;
        struct stat st;
        if (!searchPath) {
            if (stat(candidate.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
                continue;
            // Already loaded under some spelling of its path?
            if (HMODULE loaded = Reference([&](const Module &m) { return m.device == st.st_dev && m.inode == st.st_ino; }))
                return loaded;
            // A damaged file (cut short by a failed copy or a full disk) must
            // fail here: mapping it would kill the process.
            unsigned long error = ERROR_SUCCESS;
            if (!ElfSegmentsInFile(candidate, error)) {
                std::fprintf(stderr, "LoadLibraryA(%s): not a complete module file\n", name.c_str());
                SetLastError(error);
                return nullptr;
            }
        }

        void *dl = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!dl) {
            // A file that is there but does not load is worth a line for whoever reads the log.
            const char *message = dlerror();
            DWORD error = ErrorFromDlerror(message);
            if (!searchPath || error != ERROR_MOD_NOT_FOUND)
                std::fprintf(stderr, "LoadLibraryA(%s): %s\n", name.c_str(), message ? message : "cannot load");
            SetLastError(error);
            return nullptr;
        }
        if (HMODULE loaded = Reference([&](const Module &m) { return m.dl == dl; })) {
            dlclose(dl); // the record holds the one reference it needs
            return loaded;
        }

        auto module = std::make_unique<Module>();
        module->dl = dl;
        dlinfo(dl, RTLD_DI_LINKMAP, &module->linkMap);
        module->path = RealPath(searchPath && module->linkMap ? module->linkMap->l_name : candidate);
        if (stat(module->path.c_str(), &st) == 0) {
            module->device = st.st_dev;
            module->inode = st.st_ino;
        }
        module->references = 1;
        module->dllMain = reinterpret_cast<DllMainProc>(OwnSymbol(*module, "DllMain"));
        Module *raw = module.get();
        {
            std::lock_guard<std::mutex> guard(g_listLock);
            g_modules.push_back(std::move(module));
        }
        HMODULE handle = reinterpret_cast<HMODULE>(raw);
        if (raw->dllMain && !raw->dllMain(handle, DLL_PROCESS_ATTACH, nullptr)) {
            // Windows tells the module it is going away before unloading it.
            raw->dllMain(handle, DLL_PROCESS_DETACH, nullptr);
            {
                std::lock_guard<std::mutex> guard(g_listLock);
                g_modules.remove_if([&](const std::unique_ptr<Module> &m) { return m.get() == raw; });
            }
            dlclose(dl);
            SetLastError(ERROR_DLL_INIT_FAILED);
            return nullptr;
        }
        return handle;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

} // namespace

std::string ModulePath(HMODULE handle)
{
    Module *module = Find(handle);
    return module ? module->path : std::string();
}

} // namespace twk

using namespace twk;

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    if (!lpLibFileName || !*lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Executable();
    std::lock_guard<std::recursive_mutex> loader(g_loaderLock);
    return Load(WithDefaultExtension(NativePath(lpLibFileName)));
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    std::lock_guard<std::recursive_mutex> loader(g_loaderLock);
    Module *module = hLibModule ? Find(hLibModule) : nullptr;
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (module->isExecutable)
        return TRUE;
    {
        std::lock_guard<std::mutex> guard(g_listLock);
        if (--module->references > 0)
            return TRUE;
    }
    if (module->dllMain)
        module->dllMain(hLibModule, DLL_PROCESS_DETACH, nullptr);
    void *dl = module->dl;
    {
        std::lock_guard<std::mutex> guard(g_listLock);
        g_modules.remove_if([&](const std::unique_ptr<Module> &m) { return m.get() == module; });
    }
    dlclose(dl);
    return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    Module *module = Find(hModule);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Exports are by name here; an ordinal (a value below 0x10000) never matches.
    if (reinterpret_cast<uintptr_t>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void *symbol = OwnSymbol(*module, lpProcName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    Module &executable = Executable();
    if (!lpModuleName)
        return reinterpret_cast<HMODULE>(&executable);
    std::string name = WithDefaultExtension(NativePath(lpModuleName));
    bool byPath = name.find('/') != std::string::npos;
    std::string wanted = byPath ? RealPath(name) : name;
    std::lock_guard<std::mutex> guard(g_listLock);
    for (auto &module : g_modules) {
        bool match = byPath ? module->path == wanted
                            : strcasecmp(FileNameOf(module->path).c_str(), wanted.c_str()) == 0;
        if (match)
            return reinterpret_cast<HMODULE>(module.get());
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    Module *module = Find(hModule);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string path = module->path;
    if (nSize == 0 || !lpFilename) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(path.size());
    }
    // Too long: as much as fits, terminated, and the buffer size returned.
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

extern "C" BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule)
{
    // Thread attach and detach notifications are never sent, so there is nothing to turn off.
    if (!hLibModule || !Find(hLibModule)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
