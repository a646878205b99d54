// Object creation: built-in classes first, then registered in-process servers.
#include "apartment.h"
#include <twcom/builtin_classes.h>
#include "inproc_servers.h"

#include <objbase.h>
#include <twcom/object.h>

namespace {

// The class factory that serves a built-in class through its creation function.
class CBuiltinClassFactory final : public twcom::Object<CBuiltinClassFactory, IClassFactory> {
public:
    explicit CBuiltinClassFactory(twcom::CreateInstanceFunction create) : m_create(create) {}

    STDMETHODIMP CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter && riid != IID_IUnknown)
            return CLASS_E_NOAGGREGATION;
        return m_create(pUnkOuter, riid, ppv);
    }
    // The libraries holding built-in classes are never unloaded.
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    twcom::CreateInstanceFunction m_create;
};

} // namespace

STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!twcom::ThreadCanUseCom())
        return CO_E_NOTINITIALIZED;
    // Every class here, built-in or registered, is an in-process server.
    if (!(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;

    if (twcom::CreateInstanceFunction create = twcom::FindBuiltinClass(rclsid)) {
        return twcom::HandOut(twcom::Make<CBuiltinClassFactory>(create), riid, ppv);
    }
    return twcom::GetRegisteredClassObject(rclsid, riid, ppv);
}

STDAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void **>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

STDAPI_(void) CoFreeUnusedLibraries(void)
{
    twcom::FreeUnusedServers();
}
