#include "inproc_servers.h"

#include <twcom/guidtext.h>
#include <twkernel/regread.h>

#include <mutex>
#include <string>
#include <vector>
#include <windows.h>

namespace twcom {
namespace {

struct LoadedServer {
    std::string path; // as registered
    HMODULE module;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow; // null: the module stays loaded
};

// Recursive, because a server's DllMain or DllGetClassObject may itself create
// objects through COM while the table is held.
std::recursive_mutex g_lock;
std::vector<LoadedServer> g_servers;

// An export as the function type it has; void(*)() is the neutral pointer type.
template <typename Function>
Function GetExport(HMODULE module, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The module path registered for the class, or an empty string.
std::string RegisteredServerPath(REFCLSID clsid)
{
    const std::string key = "CLSID\\" + GuidText(clsid) + "\\InprocServer32";
    HKEY hkey = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &hkey) != ERROR_SUCCESS)
        return std::string();
    std::string path;
    twk::ReadRegistryString(hkey, nullptr, path);
    RegCloseKey(hkey);
    return path;
}

// The loaded server for a path, loading it if need be. Called with g_lock held.
HRESULT FindOrLoadServer(const std::string &path, LoadedServer *&server)
{
    for (LoadedServer &s : g_servers) {
        if (s.path == path) {
            server = &s;
            return S_OK;
        }
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module)
        return CO_E_DLLNOTFOUND;
    auto getClassObject = GetExport<LPFNGETCLASSOBJECT>(module, "DllGetClassObject");
    if (!getClassObject) {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    // The same module registered under another spelling of its path: keep one entry.
    for (LoadedServer &s : g_servers) {
        if (s.module == module) {
            FreeLibrary(module);
            server = &s;
            return S_OK;
        }
    }
    auto canUnloadNow = GetExport<LPFNCANUNLOADNOW>(module, "DllCanUnloadNow");
    g_servers.push_back({path, module, getClassObject, canUnloadNow});
    server = &g_servers.back();
    return S_OK;
}

} // namespace

HRESULT GetRegisteredClassObject(REFCLSID clsid, REFIID riid, void **ppv)
{
    const std::string path = RegisteredServerPath(clsid);
    if (path.empty())
        return REGDB_E_CLASSNOTREG;
    std::lock_guard<std::recursive_mutex> hold(g_lock);
    LoadedServer *server = nullptr;
    HRESULT hr = FindOrLoadServer(path, server);
    if (FAILED(hr))
        return hr;
    // Called under the lock, so that FreeUnusedServers never frees a module
    // between its handing out a class object and the caller's taking it.
    return server->getClassObject(clsid, riid, ppv);
}

void FreeUnusedServers()
{
    std::vector<HMODULE> unused;
    {
        std::lock_guard<std::recursive_mutex> hold(g_lock);
        for (auto it = g_servers.begin(); it != g_servers.end();) {
            if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
                unused.push_back(it->module);
                it = g_servers.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Outside the lock: a module's detach code may call back into COM.
    for (HMODULE module : unused)
        FreeLibrary(module);
}

} // namespace twcom
