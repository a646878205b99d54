// Class templates of a filter module, its class factory and its COM exports.
#pragma once
#include <strmif.h>
#include "combase.h"

// What registration writes to the filter mapper for one filter. The pins are the
// mapper's own REGFILTERPINS records.
struct FilterSetupRecord {
    const CLSID *clsID;
    LPCWSTR strName;
    DWORD dwMerit;
    UINT nPins;
    const REGFILTERPINS *lpPin;
};

typedef CUnknown *(*LPFNNewCOMObject)(LPUNKNOWN pUnkOuter, HRESULT *phr);
typedef void (*LPFNInitRoutine)(BOOL bLoading, const CLSID *rclsid);

// One creatable class of the module.
struct ClassTemplate {
    LPCWSTR m_Name;
    const CLSID *m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;               // may be null
    const FilterSetupRecord *m_pFilterSetup;  // may be null
};

// Supplied by the module.
extern const ClassTemplate ClassTemplateTable[];
extern const int ClassTemplateCount;

// Module-wide state: outstanding LockServer calls and the module's instance handle.
extern LONG ServerLockCount;
extern HINSTANCE ModuleInstance;

class CClassFactory : public IClassFactory, public CBaseObject {
public:
    explicit CClassFactory(const ClassTemplate *pTemplate);
    virtual ~CClassFactory() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void **ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    const ClassTemplate *m_pTemplate;
    int m_cRef; // COM serialises factory calls
};

// The module's DllMain passes here with all its arguments.
BOOL ModuleEntry(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved);

// Calls every template's init routine with the loading flag, in table order.
void InitClassTemplates(BOOL bLoading);
