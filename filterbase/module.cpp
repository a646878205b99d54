// Class factory, DllGetClassObject, DllCanUnloadNow and the module entry routine.
// They sit in one object file so that a module linking the framework statically
// and referencing ModuleEntry from its DllMain also gets both exports.
#include <new>

#include "classfactory.h"

LONG ServerLockCount = 0;
HINSTANCE ModuleInstance = nullptr;

CClassFactory::CClassFactory(const ClassTemplate *pTemplate)
    : CBaseObject("Class factory"), m_pTemplate(pTemplate), m_cRef(0)
{
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    return static_cast<ULONG>(++m_cRef);
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    if (--m_cRef == 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(m_cRef);
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        ServerLockCount++;
    else
        ServerLockCount--;
    return S_OK;
}

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // An aggregated object can only be asked for its inner unknown.
    if (pUnkOuter && riid != IID_IUnknown)
        return E_NOINTERFACE;

    HRESULT hr = S_OK;
    CUnknown *pObject = m_pTemplate->m_lpfnNew(pUnkOuter, &hr);
    if (!pObject)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pObject;
        return hr;
    }
    // A failed query releases the only reference and so destroys the object.
    pObject->InnerAddRef();
    hr = pObject->InnerQueryInterface(riid, ppv);
    pObject->InnerRelease();
    return hr;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    for (int i = 0; i < ClassTemplateCount; i++) {
        const ClassTemplate *pTemplate = &ClassTemplateTable[i];
        if (!pTemplate->m_ClsID || *pTemplate->m_ClsID != rclsid)
            continue;
        CClassFactory *pFactory = new (std::nothrow) CClassFactory(pTemplate);
        if (!pFactory)
            return E_OUTOFMEMORY;
        pFactory->AddRef();
        *ppv = static_cast<IClassFactory *>(pFactory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow(void)
{
    if (ServerLockCount > 0 || InterlockedExchangeAdd(&ObjectCount, 0) != 0)
        return S_FALSE;
    return S_OK;
}

void InitClassTemplates(BOOL bLoading)
{
    for (int i = 0; i < ClassTemplateCount; i++) {
        const ClassTemplate *pTemplate = &ClassTemplateTable[i];
        if (pTemplate->m_lpfnInit)
            pTemplate->m_lpfnInit(bLoading, pTemplate->m_ClsID);
    }
}

BOOL ModuleEntry(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(hInstance);
        ModuleInstance = hInstance;
        InitClassTemplates(TRUE);
        break;
    case DLL_PROCESS_DETACH:
        InitClassTemplates(FALSE);
        break;
    default:
        break;
    }
    return TRUE;
}
