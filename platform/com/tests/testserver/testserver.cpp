// A self-registering in-process server with one class, written as a Windows
// module against the platform headers. It logs process attach and detach to the
// file named by TW_TESTSERVER_LOG, so that a test can see when it is unloaded,
// and its DllRegisterServer fails on request (TW_TESTSERVER_FAIL_REGISTER).
#include <initguid.h>
#include "counter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

static HMODULE g_hModule;
static LONG g_cObjects;
static LONG g_cLocks;

static void LogEvent(const char *event)
{
    const char *path = getenv("TW_TESTSERVER_LOG");
    if (!path || !*path)
        return;
    if (FILE *f = fopen(path, "a")) {
        fprintf(f, "%s\n", event);
        fclose(f);
    }
}

class CCounter : public ICounter {
public:
    CCounter() { InterlockedIncrement(&g_cObjects); }
    virtual ~CCounter() { InterlockedDecrement(&g_cObjects); }

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv)
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ICounter)) {
            *ppv = static_cast<ICounter *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release()
    {
        LONG cRef = InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return cRef;
    }
    STDMETHODIMP Increment(LONG *pValue)
    {
        LONG value = InterlockedIncrement(&m_value);
        if (pValue)
            *pValue = value;
        return S_OK;
    }
    STDMETHODIMP GetValue(LONG *pValue)
    {
        if (!pValue)
            return E_POINTER;
        *pValue = m_value;
        return S_OK;
    }

private:
    LONG m_cRef = 0;
    LONG m_value = 0;
};

class CCounterFactory : public IClassFactory {
public:
    CCounterFactory() { InterlockedIncrement(&g_cObjects); }
    virtual ~CCounterFactory() { InterlockedDecrement(&g_cObjects); }

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv)
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release()
    {
        LONG cRef = InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return cRef;
    }
    STDMETHODIMP CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = NULL;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        CCounter *pCounter = new CCounter;
        pCounter->AddRef();
        HRESULT hr = pCounter->QueryInterface(riid, ppv);
        pCounter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock)
    {
        if (fLock)
            InterlockedIncrement(&g_cLocks);
        else
            InterlockedDecrement(&g_cLocks);
        return S_OK;
    }

private:
    LONG m_cRef = 0;
};

EXTERN_C BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        LogEvent("attach");
    } else if (dwReason == DLL_PROCESS_DETACH) {
        LogEvent("detach");
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (!IsEqualCLSID(rclsid, CLSID_TestCounter))
        return CLASS_E_CLASSNOTAVAILABLE;
    CCounterFactory *pFactory = new CCounterFactory;
    pFactory->AddRef();
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

STDAPI DllCanUnloadNow(void)
{
    return (g_cObjects == 0 && g_cLocks == 0) ? S_OK : S_FALSE;
}

static HRESULT SetStringValue(HKEY hKey, LPCSTR pszName, LPCSTR pszValue)
{
    LONG lr = RegSetValueExA(hKey, pszName, 0, REG_SZ, (const BYTE *)pszValue, (DWORD)strlen(pszValue) + 1);
    return HRESULT_FROM_WIN32(lr);
}

STDAPI DllRegisterServer(void)
{
    const char *fail = getenv("TW_TESTSERVER_FAIL_REGISTER");
    if (fail && *fail)
        return E_ACCESSDENIED;
    char szPath[MAX_PATH];
    if (GetModuleFileNameA(g_hModule, szPath, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());

    HKEY hClass = NULL, hServer = NULL;
    LONG lr = RegCreateKeyExA(HKEY_CLASSES_ROOT, TESTSERVER_CLSID_KEY, 0, NULL, 0, KEY_WRITE, NULL, &hClass, NULL);
    if (lr != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lr);
    HRESULT hr = SetStringValue(hClass, NULL, TESTSERVER_DESCRIPTION);
    if (SUCCEEDED(hr)) {
        lr = RegCreateKeyExA(hClass, "InprocServer32", 0, NULL, 0, KEY_WRITE, NULL, &hServer, NULL);
        hr = HRESULT_FROM_WIN32(lr);
    }
    if (SUCCEEDED(hr))
        hr = SetStringValue(hServer, NULL, szPath);
    if (SUCCEEDED(hr))
        hr = SetStringValue(hServer, "ThreadingModel", "Both");
    if (hServer)
        RegCloseKey(hServer);
    RegCloseKey(hClass);
    return hr;
}

STDAPI DllUnregisterServer(void)
{
    LONG lr = RegDeleteKeyA(HKEY_CLASSES_ROOT, TESTSERVER_CLSID_KEY "\\InprocServer32");
    if (lr != ERROR_SUCCESS && lr != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(lr);
    lr = RegDeleteKeyA(HKEY_CLASSES_ROOT, TESTSERVER_CLSID_KEY);
    if (lr != ERROR_SUCCESS && lr != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(lr);
    return S_OK;
}
