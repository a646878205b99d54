// A renderer module built on the framework: one input pin "In" taking WMV3 video,
// which reports every sample it receives to the graph.
#include <new>

#include <initguid.h>

#include "fbtestfilter.h"
#include "streams.h"

namespace {

class CModuleFilter;

class CModulePin : public CRenderedInputPin {
public:
    CModulePin(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
        : CRenderedInputPin("module pin", pFilter, pLock, phr, OLESTR("In"))
    {
    }

    HRESULT VerifyMediaType(const AM_MEDIA_TYPE *pmt) override
    {
        if (!pmt)
            return E_POINTER;
        return pmt->majortype == MEDIATYPE_Video && pmt->subtype == MEDIASUBTYPE_WMV3 ? S_OK : E_INVALIDARG;
    }

    STDMETHODIMP Receive(IMediaSample *pSample) override
    {
        HRESULT hr = CRenderedInputPin::Receive(pSample);
        if (hr != S_OK)
            return hr;
        BYTE *pData = nullptr;
        if (FAILED(pSample->GetPointer(&pData)) || pSample->GetActualDataLength() < 1)
            return S_OK;
        LONG count = InterlockedIncrement(&m_Received);
        m_pFilter->PostGraphEvent(EC_FBTEST_SAMPLE, pData[0], count);
        return S_OK;
    }

private:
    volatile LONG m_Received = 0;
};

class CModuleFilter : public CBaseFilter {
public:
    explicit CModuleFilter(LPUNKNOWN pUnk, HRESULT *phr)
        : CBaseFilter("module filter", pUnk, &m_Lock, CLSID_FbModuleFilter), m_pPin(nullptr)
    {
        m_pPin = new (std::nothrow) CModulePin(this, &m_Lock, phr);
        if (!m_pPin)
            *phr = E_OUTOFMEMORY;
    }
    ~CModuleFilter() override { delete m_pPin; }

    int PinCount() override { return 1; }
    CBasePin *PinAt(int n) override { return n == 0 ? m_pPin : nullptr; }

private:
    CCritSec m_Lock;
    CModulePin *m_pPin;
};

CUnknown *CreateModuleFilter(LPUNKNOWN pUnkOuter, HRESULT *phr)
{
    CUnknown *pObject = new (std::nothrow) CModuleFilter(pUnkOuter, phr);
    if (!pObject && phr)
        *phr = E_OUTOFMEMORY;
    return pObject;
}

const REGPINTYPES kInputTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_WMV3}};
const REGFILTERPINS kPins[] = {
    {const_cast<LPWSTR>(OLESTR("In")), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, OLESTR("Output"), 1, kInputTypes}};
const FilterSetupRecord kSetup = {&CLSID_FbModuleFilter, OLESTR("Framework test filter"), MERIT_DO_NOT_USE, 1, kPins};

} // namespace

const ClassTemplate ClassTemplateTable[] = {
    {OLESTR("Framework test filter"), &CLSID_FbModuleFilter, CreateModuleFilter, nullptr, &kSetup},
};
const int ClassTemplateCount = 1;

EXTERN_C BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    return ModuleEntry(hInstance, dwReason, pReserved);
}

STDAPI DllRegisterServer(void)
{
    return RegisterModuleServers(TRUE);
}

STDAPI DllUnregisterServer(void)
{
    return RegisterModuleServers(FALSE);
}
