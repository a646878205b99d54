// Item monikers: a delimiter and an item name; the display name is the two
// joined, and two item monikers are equal when their names match regardless of
// case. Persistence, composition and parsing are not supported.
#include "rot.h"
#include <twcom/widestr.h>
#include <twkernel/textconv.h>

#include <objbase.h>
#include <twcom/interfaces.h>

namespace twcom {
namespace {

// {00000304-0000-0000-C000-000000000046}
const CLSID kClsidItemMoniker = {0x00000304, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class CItemMoniker final : public Object<CItemMoniker, IMoniker> {
public:
    CItemMoniker(std::u16string delimiter, std::u16string item)
        : m_displayName(std::move(delimiter) + std::move(item)), m_key(FoldCase(m_displayName))
    {
    }


    // IPersist, IPersistStream
    STDMETHODIMP GetClassID(CLSID *pClassID) override
    {
        if (!pClassID)
            return E_POINTER;
        *pClassID = kClsidItemMoniker;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream *) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream *, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER *) override { return E_NOTIMPL; }

    // IMoniker. Without a moniker to its left, an item moniker names an object
    // in the running object table.
    STDMETHODIMP BindToObject(IBindCtx *, IMoniker *pmkToLeft, REFIID riidResult, void **ppvResult) override
    {
        if (!ppvResult)
            return E_POINTER;
        *ppvResult = nullptr;
        if (pmkToLeft)
            return E_NOTIMPL;
        IUnknown *object = nullptr;
        HRESULT hr = RunningObjectTable()->GetObject(this, &object);
        if (FAILED(hr))
            return hr;
        hr = object->QueryInterface(riidResult, ppvResult);
        object->Release();
        return hr;
    }
    STDMETHODIMP BindToStorage(IBindCtx *, IMoniker *, REFIID, void **ppvObj) override
    {
        if (ppvObj)
            *ppvObj = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP Reduce(IBindCtx *, DWORD, IMoniker **, IMoniker **ppmkReduced) override
    {
        if (ppmkReduced)
            *ppmkReduced = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP ComposeWith(IMoniker *, BOOL, IMoniker **ppmkComposite) override
    {
        if (ppmkComposite)
            *ppmkComposite = nullptr;
        return E_NOTIMPL;
    }
    // A simple moniker has no parts to enumerate.
    STDMETHODIMP Enum(BOOL, IEnumMoniker **ppenumMoniker) override
    {
        if (!ppenumMoniker)
            return E_POINTER;
        *ppenumMoniker = nullptr;
        return S_OK;
    }
    STDMETHODIMP IsEqual(IMoniker *pmkOtherMoniker) override
    {
        if (!pmkOtherMoniker)
            return E_INVALIDARG;
        DWORD mksys = MKSYS_NONE;
        if (FAILED(pmkOtherMoniker->IsSystemMoniker(&mksys)) || mksys != MKSYS_ITEMMONIKER)
            return S_FALSE;
        LPOLESTR other = nullptr;
        if (FAILED(pmkOtherMoniker->GetDisplayName(nullptr, nullptr, &other)))
            return S_FALSE;
        const bool equal = FoldCase(twk::WideString(other)) == m_key;
        CoTaskMemFree(other);
        return equal ? S_OK : S_FALSE;
    }
    // FNV-1a over the case-folded name, so that equal monikers hash alike.
    STDMETHODIMP Hash(DWORD *pdwHash) override
    {
        if (!pdwHash)
            return E_POINTER;
        DWORD hash = 2166136261u;
        for (char16_t c : m_key) {
            hash = (hash ^ DWORD(c & 0xFF)) * 16777619u;
            hash = (hash ^ DWORD(c >> 8)) * 16777619u;
        }
        *pdwHash = hash;
        return S_OK;
    }
    STDMETHODIMP IsRunning(IBindCtx *, IMoniker *pmkToLeft, IMoniker *pmkNewlyRunning) override
    {
        if (pmkNewlyRunning)
            return IsEqual(pmkNewlyRunning);
        if (pmkToLeft)
            return E_NOTIMPL;
        return RunningObjectTable()->IsRunning(this);
    }
    STDMETHODIMP GetTimeOfLastChange(IBindCtx *, IMoniker *pmkToLeft, FILETIME *pFileTime) override
    {
        if (!pFileTime)
            return E_INVALIDARG;
        if (pmkToLeft)
            return E_NOTIMPL;
        return RunningObjectTable()->GetTimeOfLastChange(this, pFileTime);
    }
    STDMETHODIMP Inverse(IMoniker **ppmk) override
    {
        if (ppmk)
            *ppmk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP CommonPrefixWith(IMoniker *, IMoniker **ppmkPrefix) override
    {
        if (ppmkPrefix)
            *ppmkPrefix = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP RelativePathTo(IMoniker *, IMoniker **ppmkRelPath) override
    {
        if (ppmkRelPath)
            *ppmkRelPath = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDisplayName(IBindCtx *, IMoniker *, LPOLESTR *ppszDisplayName) override
    {
        if (!ppszDisplayName)
            return E_POINTER;
        *ppszDisplayName = TaskMemString(m_displayName);
        return *ppszDisplayName ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP ParseDisplayName(IBindCtx *, IMoniker *, LPOLESTR, ULONG *pchEaten, IMoniker **ppmkOut) override
    {
        if (pchEaten)
            *pchEaten = 0;
        if (ppmkOut)
            *ppmkOut = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP IsSystemMoniker(DWORD *pdwMksys) override
    {
        if (!pdwMksys)
            return E_POINTER;
        *pdwMksys = MKSYS_ITEMMONIKER;
        return S_OK;
    }

private:
    const std::u16string m_displayName;
    const std::u16string m_key;
};

} // namespace
} // namespace twcom

STDAPI CreateItemMoniker(LPCOLESTR lpszDelim, LPCOLESTR lpszItem, LPMONIKER *ppmk)
{
    if (!ppmk)
        return E_INVALIDARG;
    *ppmk = nullptr;
    auto moniker = twcom::Make<twcom::CItemMoniker>(twk::WideString(lpszDelim), twk::WideString(lpszItem));
    if (!moniker)
        return E_OUTOFMEMORY;
    *ppmk = moniker.detach();
    return S_OK;
}
