// regsvr32 [/u] [/s] <module>...: calls each module's DllRegisterServer, or
// DllUnregisterServer with /u, and says what happened (nothing with /s).
// Stops at the first module that fails; the exit code says how it failed.
#include "regsvr32.h"

#include <cstdio>
#include <fcntl.h>
#include <objbase.h>
#include <unistd.h>

namespace {

void Usage()
{
    printf("Usage: regsvr32 [/u] [/s] <module>...\n"
           "  /u  Unregister the server (calls DllUnregisterServer)\n"
           "  /s  Silent: display no messages\n");
}

// Silent means silent: what the loader, the platform libraries or the module
// itself would print goes nowhere either.
void SilenceOutput()
{
    fflush(stdout);
    fflush(stderr);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0)
        return;
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    close(null);
}

} // namespace

int main(int argc, char **argv)
{
    regsvr32::Options options;
    std::string error;
    bool parsed = regsvr32::ParseArguments(argc, argv, options, error);
    if (options.silent)
        SilenceOutput();
    if (!parsed) {
        if (!options.silent) {
            fprintf(stderr, "%s\n", error.c_str());
            Usage();
        }
        return regsvr32::kFailArgs;
    }
    if (options.help) {
        Usage();
        return regsvr32::kSuccess;
    }

    const HRESULT hrInit = CoInitialize(nullptr);
    if (FAILED(hrInit)) {
        if (!options.silent)
            fprintf(stderr, "CoInitialize failed with error code 0x%08x.\n", unsigned(hrInit));
        return regsvr32::kFailOle;
    }
    regsvr32::ExitCode result = regsvr32::kSuccess;
    for (const std::string &module : options.modules) {
        result = regsvr32::RegisterModule(module, options);
        if (result != regsvr32::kSuccess)
            break;
    }
    CoUninitialize();
    return result;
}
