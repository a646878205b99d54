#include "filter_moniker.h"

#include <new>
#include <string>

#include <twcom/enummoniker.h>
#include <twcom/guidtext.h>
#include <twcom/interfaces.h>
#include <twcom/widestr.h>
#include <twkernel/textconv.h>

using twcom::GuidText;
using twk::WideFromUtf8;

namespace twds {
namespace {

class FilterMoniker final : public twcom::Object<FilterMoniker, IMoniker> {
public:
    FilterMoniker(REFCLSID category, REFCLSID filter) : m_category(category), m_filter(filter) {}


    // IPersist, IPersistStream: filter monikers are not persisted.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *pClassID) override
    {
        if (!pClassID)
            return E_POINTER;
        *pClassID = GUID_NULL;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream *, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER *) override { return E_NOTIMPL; }

    // IMoniker
    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx *, IMoniker *, REFIID riidResult, void **ppvResult) override
    {
        if (!ppvResult)
            return E_POINTER;
        return CoCreateInstance(m_filter, nullptr, CLSCTX_INPROC_SERVER, riidResult, ppvResult);
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx *, IMoniker *, REFIID, void **ppvObj) override
    {
        if (ppvObj)
            *ppvObj = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Reduce(IBindCtx *, DWORD, IMoniker **, IMoniker **ppmkReduced) override
    {
        if (ppmkReduced)
            *ppmkReduced = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker *, BOOL, IMoniker **ppmkComposite) override
    {
        if (ppmkComposite)
            *ppmkComposite = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker **ppenumMoniker) override
    {
        if (!ppenumMoniker)
            return E_POINTER;
        *ppenumMoniker = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsEqual(IMoniker *pmkOtherMoniker) override
    {
        if (!pmkOtherMoniker)
            return E_POINTER;
        LPOLESTR mine = nullptr, theirs = nullptr;
        HRESULT hr = S_FALSE;
        if (SUCCEEDED(GetDisplayName(nullptr, nullptr, &mine)) &&
            SUCCEEDED(pmkOtherMoniker->GetDisplayName(nullptr, nullptr, &theirs)) && mine && theirs &&
            std::u16string(mine) == std::u16string(theirs))
            hr = S_OK;
        CoTaskMemFree(mine);
        CoTaskMemFree(theirs);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Hash(DWORD *pdwHash) override
    {
        if (!pdwHash)
            return E_POINTER;
        *pdwHash = m_filter.Data1 ^ m_category.Data1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx *, IMoniker *, IMoniker *) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx *, IMoniker *, FILETIME *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Inverse(IMoniker **ppmk) override
    {
        if (ppmk)
            *ppmk = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker *, IMoniker **ppmkPrefix) override
    {
        if (ppmkPrefix)
            *ppmkPrefix = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker *, IMoniker **ppmkRelPath) override
    {
        if (ppmkRelPath)
            *ppmkRelPath = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx *, IMoniker *, LPOLESTR *ppszDisplayName) override
    {
        if (!ppszDisplayName)
            return E_POINTER;
        std::string name = "@device:sw:" + GuidText(m_category) + "\\" + GuidText(m_filter);
        *ppszDisplayName = twcom::TaskMemString(WideFromUtf8(name));
        return *ppszDisplayName ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx *, IMoniker *, LPOLESTR, ULONG *pchEaten,
                                               IMoniker **ppmkOut) override
    {
        if (pchEaten)
            *pchEaten = 0;
        if (ppmkOut)
            *ppmkOut = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD *pdwMksys) override
    {
        if (!pdwMksys)
            return E_POINTER;
        *pdwMksys = MKSYS_NONE;
        return S_FALSE;
    }

private:
    CLSID m_category;
    CLSID m_filter;
};

} // namespace

HRESULT CreateFilterMoniker(REFCLSID category, const RegisteredFilter &filter, IMoniker **ppMoniker)
{
    if (!ppMoniker)
        return E_POINTER;
    *ppMoniker = nullptr;
    auto moniker = twcom::Make<FilterMoniker>(category, filter.clsid);
    if (!moniker)
        return E_OUTOFMEMORY;
    *ppMoniker = moniker.detach();
    return S_OK;
}

HRESULT CreateFilterMonikerEnumerator(REFCLSID category, const std::vector<RegisteredFilter> &filters,
                                      IEnumMoniker **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    std::vector<IMoniker *> monikers;
    try {
        monikers.reserve(filters.size());
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    for (const RegisteredFilter &filter : filters) {
        IMoniker *moniker = nullptr;
        if (FAILED(CreateFilterMoniker(category, filter, &moniker))) {
            for (IMoniker *m : monikers)
                m->Release();
            return E_OUTOFMEMORY;
        }
        monikers.push_back(moniker);
    }
    return twcom::CreateMonikerEnumerator(std::move(monikers), ppEnum);
}

} // namespace twds
