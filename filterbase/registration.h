// Self-registration of a filter module: COM server keys under HKEY_CLASSES_ROOT
// and the filters' entries in the platform filter mapper.
#pragma once
#include <strmif.h>
#include "classfactory.h"

// The whole of DllRegisterServer (TRUE) and DllUnregisterServer (FALSE).
HRESULT RegisterModuleServers(BOOL bRegister);
HRESULT RegisterAllClassServers(LPCWSTR szModulePath, BOOL bRegister);
HRESULT WriteServerKeys(REFCLSID clsid, LPCWSTR szDescription, LPCWSTR szModulePath, LPCWSTR szThreadingModel,
                        LPCWSTR szServerType);
HRESULT DeleteServerKeys(REFCLSID clsid);
HRESULT DeleteKeyTree(HKEY hParent, LPCSTR szSubKey);
HRESULT RegisterFilterWithMapper2(const FilterSetupRecord *pSetup, IFilterMapper2 *pMapper, BOOL bRegister);
HRESULT RegisterFilterWithMapper(const FilterSetupRecord *pSetup, IFilterMapper *pMapper, BOOL bRegister);
