// A module for the loader tests. Its DllMain counts attaches and detaches into
// the loading test's counters (TW_TESTMOD_COUNTERS), fails the attach when
// TW_TESTMOD_FAIL is set, and loads another module from its own DllMain when
// TW_TESTMOD_NESTED names one.
#include "testmodule.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HINSTANCE g_instance;
HMODULE g_nested;

TestModuleCounters *Counters()
{
    const char *text = std::getenv("TW_TESTMOD_COUNTERS");
    void *address = nullptr;
    if (!text || std::sscanf(text, "%p", &address) != 1)
        return nullptr;
    return static_cast<TestModuleCounters *>(address);
}

} // namespace

EXTERN_C __declspec(dllexport) BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID)
{
    TestModuleCounters *counters = Counters();
    if (fdwReason == DLL_PROCESS_ATTACH) {
        g_instance = hinstDLL;
        if (counters) {
            ++counters->attaches;
            counters->lastInstance = hinstDLL;
        }
        if (const char *nested = std::getenv("TW_TESTMOD_NESTED")) {
            std::string name = nested;
            unsetenv("TW_TESTMOD_NESTED"); // the nested module loads nothing further
            g_nested = LoadLibraryA(name.c_str());
            if (!g_nested)
                return FALSE;
        }
        return std::getenv("TW_TESTMOD_FAIL") ? FALSE : TRUE;
    }
    if (fdwReason == DLL_PROCESS_DETACH) {
        if (counters)
            ++counters->detaches;
        if (g_nested)
            FreeLibrary(g_nested);
        g_nested = nullptr;
    }
    return TRUE;
}

EXTERN_C __declspec(dllexport) int TestModuleAnswer(void)
{
    return 42;
}

EXTERN_C __declspec(dllexport) HINSTANCE TestModuleInstance(void)
{
    return g_instance;
}
