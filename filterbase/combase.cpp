#include "combase.h"

volatile LONG ObjectCount = 0;

CBaseObject::CBaseObject(const char *)
{
    InterlockedIncrement(&ObjectCount);
}

CBaseObject::~CBaseObject()
{
    InterlockedDecrement(&ObjectCount);
}

CUnknown::CUnknown(const char *pName, LPUNKNOWN pUnk)
    : CBaseObject(pName), m_pOwner(pUnk ? pUnk : &m_InnerUnknown), m_cRef(0), m_InnerUnknown(this)
{
}

CUnknown::~CUnknown() = default;

STDMETHODIMP CUnknown::InnerQueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown)
        return HandOutInterface(&m_InnerUnknown, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::InnerAddRef()
{
    InterlockedIncrement(&m_cRef);
    LONG count = InterlockedExchangeAdd(&m_cRef, 0);
    return count > 1 ? static_cast<ULONG>(count) : 1;
}

STDMETHODIMP_(ULONG) CUnknown::InnerRelease()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count != 0) {
        count = InterlockedExchangeAdd(&m_cRef, 0);
        return count > 1 ? static_cast<ULONG>(count) : 1;
    }
    // A count of 1 during destruction keeps AddRef/Release pairs made by the
    // destructor from deleting the object a second time.
    InterlockedExchange(&m_cRef, 1);
    delete this;
    return 0;
}

HRESULT HandOutInterface(LPUNKNOWN pUnk, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
