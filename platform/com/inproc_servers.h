// In-process servers: modules named by HKCR\CLSID\{clsid}\InprocServer32 that the
// runtime loads, asks for class objects and frees when they report no live objects.
#pragma once
#include <objbase.h>

namespace twcom {

// Loads the class's registered server module (once per process) and calls its
// DllGetClassObject. REGDB_E_CLASSNOTREG when the class has no InprocServer32
// entry, CO_E_DLLNOTFOUND when the module does not load, CO_E_ERRORINDLL when
// it has no DllGetClassObject.
HRESULT GetRegisteredClassObject(REFCLSID clsid, REFIID riid, void **ppv);

// Frees every loaded server whose DllCanUnloadNow returns S_OK.
void FreeUnusedServers();

} // namespace twcom
