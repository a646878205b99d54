#include "regsvr32.h"
#include <twkernel/paths.h>

#include <cstdio>
#include <filesystem>
#include <objbase.h>
#include <system_error>
#include <windows.h>

namespace regsvr32 {
namespace {

typedef HRESULT(STDAPICALLTYPE *ServerEntryPoint)(void);

// The module as an absolute path, so that the path the module records for itself is absolute.
std::string AbsolutePath(const std::string &module)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(twk::NativePath(module.c_str()), ec);
    return ec ? module : absolute.lexically_normal().string();
}

} // namespace

ExitCode RegisterModule(const std::string &module, const Options &options)
{
    const char *entryName = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto report = [&](FILE *stream, const char *format, auto... args) {
        if (!options.silent)
            fprintf(stream, format, args...);
    };

    HMODULE hModule = LoadLibraryA(AbsolutePath(module).c_str());
    if (!hModule) {
        const DWORD error = GetLastError();
        report(stderr,
               "The module \"%s\" failed to load.\n"
               "Make sure the binary is stored at the specified path and its dependent libraries can be found "
               "(error 0x%08x).\n",
               module.c_str(), unsigned(HRESULT_FROM_WIN32(error)));
        return kFailLoad;
    }
    auto entry = reinterpret_cast<ServerEntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, entryName)));
    if (!entry) {
        report(stderr, "The module \"%s\" was loaded. The entry-point %s was not found.\n", module.c_str(),
               entryName);
        FreeLibrary(hModule);
        return kFailEntry;
    }
    const HRESULT hr = entry();
    FreeLibrary(hModule);
    if (FAILED(hr)) {
        report(stderr, "%s in %s failed with error code 0x%08x.\n", entryName, module.c_str(), unsigned(hr));
        return kFailReg;
    }
    report(stdout, "%s in %s succeeded.\n", entryName, module.c_str());
    return kSuccess;
}

} // namespace regsvr32
