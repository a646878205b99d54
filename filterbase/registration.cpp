#include "registration.h"

#include <cstring>

#include <objbase.h>
#include <uuids.h>
#include <windows.h>

namespace {

const size_t kBufferSize = MAX_PATH;

HRESULT HresultFromStatus(LONG status)
{
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

// Converts a wide string to the ANSI code page into a fixed buffer, truncating at a
// character boundary and always terminating. A null string becomes empty.
void FormatWide(char *pDest, size_t cbDest, LPCWSTR pSource)
{
    size_t used = 0;
    if (pSource) {
        for (size_t i = 0; pSource[i];) {
            int units = 1;
            if (pSource[i] >= 0xD800 && pSource[i] <= 0xDBFF && pSource[i + 1] >= 0xDC00 && pSource[i + 1] <= 0xDFFF)
                units = 2;
            char bytes[16];
            int n = WideCharToMultiByte(CP_ACP, 0, pSource + i, units, bytes, sizeof bytes, nullptr, nullptr);
            if (n <= 0 || used + static_cast<size_t>(n) > cbDest - 1)
                break;
            memcpy(pDest + used, bytes, static_cast<size_t>(n));
            used += static_cast<size_t>(n);
            i += static_cast<size_t>(units);
        }
    }
    pDest[used] = 0;
}

// "CLSID\{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
void ClassKeyName(char *pDest, size_t cbDest, REFCLSID clsid)
{
    WCHAR wide[39];
    if (StringFromGUID2(clsid, wide, 39) == 0)
        wide[0] = 0;
    char braced[39];
    FormatWide(braced, sizeof braced, wide);
    strncpy(pDest, "CLSID\\", cbDest - 1);
    pDest[cbDest - 1] = 0;
    strncat(pDest, braced, cbDest - 1 - strlen(pDest));
}

HRESULT SetDefaultValue(HKEY hKey, LPCSTR pName, const char *pText)
{
    LONG status = RegSetValueExA(hKey, pName, 0, REG_SZ, reinterpret_cast<const BYTE *>(pText),
                                 static_cast<DWORD>(strlen(pText) + 1));
    return HresultFromStatus(status);
}

} // namespace

HRESULT WriteServerKeys(REFCLSID clsid, LPCWSTR szDescription, LPCWSTR szModulePath, LPCWSTR szThreadingModel,
                        LPCWSTR szServerType)
{
    char keyName[kBufferSize];
    ClassKeyName(keyName, sizeof keyName, clsid);

    HKEY hClassKey = nullptr;
    LONG status = RegCreateKeyA(HKEY_CLASSES_ROOT, keyName, &hClassKey);
    if (status != ERROR_SUCCESS)
        return HresultFromStatus(status);

    char text[kBufferSize];
    FormatWide(text, sizeof text, szDescription);
    HRESULT hr = SetDefaultValue(hClassKey, nullptr, text);
    if (FAILED(hr)) {
        RegCloseKey(hClassKey);
        return hr;
    }

    char serverType[kBufferSize];
    FormatWide(serverType, sizeof serverType, szServerType);
    HKEY hServerKey = nullptr;
    status = RegCreateKeyA(hClassKey, serverType, &hServerKey);
    if (status != ERROR_SUCCESS) {
        RegCloseKey(hClassKey);
        return HresultFromStatus(status);
    }

    FormatWide(text, sizeof text, szModulePath);
    hr = SetDefaultValue(hServerKey, nullptr, text);
    if (SUCCEEDED(hr)) {
        FormatWide(text, sizeof text, szThreadingModel);
        hr = SetDefaultValue(hServerKey, "ThreadingModel", text);
    }
    RegCloseKey(hServerKey);
    RegCloseKey(hClassKey);
    return hr;
}

HRESULT DeleteServerKeys(REFCLSID clsid)
{
    char keyName[kBufferSize];
    ClassKeyName(keyName, sizeof keyName, clsid);
    DeleteKeyTree(HKEY_CLASSES_ROOT, keyName);
    return S_OK;
}

HRESULT DeleteKeyTree(HKEY hParent, LPCSTR szSubKey)
{
    // An empty name would delete the parent itself.
    if (!szSubKey || !*szSubKey)
        return E_FAIL;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hParent, szSubKey, 0, MAXIMUM_ALLOWED, &hKey) != ERROR_SUCCESS)
        return S_OK;

    char child[kBufferSize];
    char previous[kBufferSize] = "";
    while (RegEnumKeyA(hKey, 0, child, sizeof child) == ERROR_SUCCESS) {
        // A subkey that survived its deletion would come back at index 0 forever.
        if (strcmp(child, previous) == 0)
            break;
        DeleteKeyTree(hKey, child);
        strcpy(previous, child);
    }
    RegCloseKey(hKey);
    RegDeleteKeyA(hParent, szSubKey);
    return S_OK;
}

HRESULT RegisterAllClassServers(LPCWSTR szModulePath, BOOL bRegister)
{
    HRESULT hr = S_OK;
    for (int i = 0; i < ClassTemplateCount; i++) {
        const ClassTemplate *pTemplate = &ClassTemplateTable[i];
        if (bRegister)
            hr = WriteServerKeys(*pTemplate->m_ClsID, pTemplate->m_Name, szModulePath, OLESTR("Both"),
                                 OLESTR("InprocServer32"));
        else
            hr = DeleteServerKeys(*pTemplate->m_ClsID);
        if (FAILED(hr))
            break;
    }
    return hr;
}

HRESULT RegisterFilterWithMapper2(const FilterSetupRecord *pSetup, IFilterMapper2 *pMapper, BOOL bRegister)
{
    if (!pSetup)
        return S_FALSE;
    HRESULT hr = pMapper->UnregisterFilter(nullptr, nullptr, *pSetup->clsID);
    if (bRegister) {
        REGFILTER2 rf2;
        memset(&rf2, 0, sizeof rf2);
        rf2.dwVersion = 1;
        rf2.dwMerit = pSetup->dwMerit;
        rf2.cPins = pSetup->nPins;
        rf2.rgPins = pSetup->lpPin;
        hr = pMapper->RegisterFilter(*pSetup->clsID, pSetup->strName, nullptr, nullptr, nullptr, &rf2);
    }
    // Not registered is what unregistering wants.
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        hr = S_OK;
    return hr;
}

HRESULT RegisterFilterWithMapper(const FilterSetupRecord *pSetup, IFilterMapper *pMapper, BOOL bRegister)
{
    if (!pSetup)
        return S_FALSE;
    HRESULT hr = pMapper->UnregisterFilter(*pSetup->clsID);
    if (bRegister) {
        hr = pMapper->RegisterFilter(*pSetup->clsID, pSetup->strName, pSetup->dwMerit);
        for (UINT p = 0; SUCCEEDED(hr) && p < pSetup->nPins; p++) {
            const REGFILTERPINS &pin = pSetup->lpPin[p];
            hr = pMapper->RegisterPin(*pSetup->clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                      pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL,
                                      pin.strConnectsToPin);
            for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; t++) {
                const REGPINTYPES &type = pin.lpMediaType[t];
                hr = pMapper->RegisterPinType(*pSetup->clsID, pin.strName,
                                              type.clsMajorType ? *type.clsMajorType : GUID_NULL,
                                              type.clsMinorType ? *type.clsMinorType : GUID_NULL);
            }
        }
    }
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        hr = S_OK;
    return hr;
}

HRESULT RegisterModuleServers(BOOL bRegister)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(ModuleInstance, path, MAX_PATH);
    if (length == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    // A truncated path would register a server that does not exist.
    if (length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());

    HRESULT hr = S_OK;
    if (bRegister) {
        hr = RegisterAllClassServers(widePath, TRUE);
        if (FAILED(hr))
            return hr;
    }

    CoInitialize(nullptr);
    IFilterMapper2 *pMapper2 = nullptr;
    IFilterMapper *pMapper = nullptr;
    HRESULT hrCreate = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                        reinterpret_cast<void **>(&pMapper2));
    if (FAILED(hrCreate)) {
        pMapper2 = nullptr;
        hrCreate = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                    reinterpret_cast<void **>(&pMapper));
        if (FAILED(hrCreate))
            pMapper = nullptr;
    }
    if (pMapper2 || pMapper) {
        for (int i = 0; i < ClassTemplateCount && SUCCEEDED(hr); i++) {
            const FilterSetupRecord *pSetup = ClassTemplateTable[i].m_pFilterSetup;
            if (!pSetup)
                continue;
            if (pMapper2)
                hr = RegisterFilterWithMapper2(pSetup, pMapper2, bRegister);
            else
                hr = RegisterFilterWithMapper(pSetup, pMapper, bRegister);
        }
        if (pMapper2)
            pMapper2->Release();
        if (pMapper)
            pMapper->Release();
    } else {
        hr = hrCreate;
    }
    CoFreeUnusedLibraries();
    CoUninitialize();

    if (!bRegister && SUCCEEDED(hr))
        hr = RegisterAllClassServers(widePath, FALSE);
    return hr;
}
