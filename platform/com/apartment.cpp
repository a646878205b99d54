// Apartments: each thread initialises COM with one concurrency model and counts
// its CoInitialize calls; the last CoUninitialize of the process lets go of
// in-process servers that have no live objects.
#include "apartment.h"
#include "inproc_servers.h"

#include <atomic>
#include <objbase.h>

namespace {

struct ThreadApartment {
    ULONG initCount = 0;
    DWORD model = 0; // COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED
};

thread_local ThreadApartment t_apartment;
std::atomic<long> g_initializedThreads{0};
std::atomic<long> g_mtaThreads{0};

} // namespace

namespace twcom {

bool ThreadCanUseCom()
{
    return t_apartment.initCount > 0 || g_mtaThreads.load() > 0;
}

} // namespace twcom

STDAPI CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

STDAPI CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    const DWORD model = (dwCoInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    ThreadApartment &apt = t_apartment;
    if (apt.initCount > 0) {
        if (apt.model != model)
            return RPC_E_CHANGED_MODE;
        ++apt.initCount;
        return S_FALSE;
    }
    apt.initCount = 1;
    apt.model = model;
    ++g_initializedThreads;
    if (model == COINIT_MULTITHREADED)
        ++g_mtaThreads;
    return S_OK;
}

STDAPI_(void) CoUninitialize(void)
{
    ThreadApartment &apt = t_apartment;
    if (apt.initCount == 0)
        return;
    if (--apt.initCount > 0)
        return;
    if (apt.model == COINIT_MULTITHREADED)
        --g_mtaThreads;
    if (--g_initializedThreads == 0)
        twcom::FreeUnusedServers();
}
