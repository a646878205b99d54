// COM object base of the filter framework: object counting, the non-delegating
// unknown with aggregation support, and the critical-section lock.
#pragma once
#include <windows.h>
#include <objbase.h>

// Number of live framework objects in this module (filters, pins, class factories).
extern volatile LONG ObjectCount;

// Every framework object counts itself in ObjectCount for its whole lifetime.
class CBaseObject {
public:
    explicit CBaseObject(const char *pName);
    CBaseObject(const CBaseObject &) = delete;
    CBaseObject &operator=(const CBaseObject &) = delete;
    ~CBaseObject();
};

// The object's own reference counting and interface lookup. An aggregated object
// hands these to its outer unknown; its interfaces delegate to the owner instead.
interface INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID riid, void **ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE InnerAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE InnerRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // pUnk is the outer unknown when the object is created inside an aggregate, else null.
    CUnknown(const char *pName, LPUNKNOWN pUnk);
    virtual ~CUnknown();

    STDMETHODIMP InnerQueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) InnerAddRef() override;
    STDMETHODIMP_(ULONG) InnerRelease() override;

    // The unknown every interface of this object delegates to.
    LPUNKNOWN GetOwner() const { return m_pOwner; }
    // The object's own unknown: what IID_IUnknown hands out, and what an aggregate holds.
    LPUNKNOWN GetInnerUnknown() { return &m_InnerUnknown; }

private:
    // IUnknown face of INonDelegatingUnknown.
    class CInnerUnknown : public IUnknown {
    public:
        explicit CInnerUnknown(CUnknown *pObject) : m_pObject(pObject) {}
        STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override { return m_pObject->InnerQueryInterface(riid, ppv); }
        STDMETHODIMP_(ULONG) AddRef() override { return m_pObject->InnerAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_pObject->InnerRelease(); }

    private:
        CUnknown *m_pObject;
    };

    LPUNKNOWN const m_pOwner; // never reference-counted

protected:
    volatile LONG m_cRef;

private:
    CInnerUnknown m_InnerUnknown;
};

// Interfaces of a CUnknown-derived class forward IUnknown to the owner.
#define DECLARE_IUNKNOWN                                                              \
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override                     \
    {                                                                                 \
        return GetOwner()->QueryInterface(riid, ppv);                                 \
    }                                                                                 \
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }           \
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

// Stores pUnk in *ppv with a reference added: E_POINTER for a null ppv.
HRESULT HandOutInterface(LPUNKNOWN pUnk, void **ppv);

// A re-entrant lock over a Win32 critical section.
class CCritSec {
public:
    CCritSec() { InitializeCriticalSection(&m_CritSec); }
    ~CCritSec() { DeleteCriticalSection(&m_CritSec); }
    CCritSec(const CCritSec &) = delete;
    CCritSec &operator=(const CCritSec &) = delete;
    void Lock() { EnterCriticalSection(&m_CritSec); }
    void Unlock() { LeaveCriticalSection(&m_CritSec); }

private:
    CRITICAL_SECTION m_CritSec;
};

// Holds a CCritSec for the scope.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec *pLock) : m_pLock(pLock) { m_pLock->Lock(); }
    ~CAutoLock() { m_pLock->Unlock(); }
    CAutoLock(const CAutoLock &) = delete;
    CAutoLock &operator=(const CAutoLock &) = delete;

private:
    CCritSec *m_pLock;
};
