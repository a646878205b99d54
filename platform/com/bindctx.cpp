// Bind contexts: the objects bound during a moniker operation, its options and
// named object parameters.
#include "rot.h"
#include <twcom/widestr.h>
#include <twkernel/textconv.h>

#include <map>
#include <mutex>
#include <objbase.h>
#include <twcom/interfaces.h>
#include <vector>

namespace twcom {
namespace {

class CBindCtx final : public Object<CBindCtx, IBindCtx> {
public:
    CBindCtx()
    {
        m_options.cbStruct = sizeof(BIND_OPTS);
        m_options.grfFlags = 0;
        m_options.grfMode = 0x12; // STGM_READWRITE | STGM_SHARE_EXCLUSIVE
        m_options.dwTickCountDeadline = 0;
    }
    ~CBindCtx()
    {
        ReleaseBoundObjects();
        for (auto &param : m_params)
            param.second->Release();
    }


    STDMETHODIMP RegisterObjectBound(IUnknown *punk) override
    {
        if (!punk)
            return E_INVALIDARG;
        punk->AddRef();
        std::lock_guard<std::mutex> hold(m_lock);
        m_bound.push_back(punk);
        return S_OK;
    }
    STDMETHODIMP RevokeObjectBound(IUnknown *punk) override
    {
        if (!punk)
            return E_INVALIDARG;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            auto it = m_bound.begin();
            while (it != m_bound.end() && *it != punk)
                ++it;
            if (it == m_bound.end())
                return MK_E_NOTBOUND;
            m_bound.erase(it);
        }
        punk->Release();
        return S_OK;
    }
    STDMETHODIMP ReleaseBoundObjects() override
    {
        std::vector<IUnknown *> bound;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            bound.swap(m_bound);
        }
        for (IUnknown *punk : bound)
            punk->Release();
        return S_OK;
    }
    STDMETHODIMP SetBindOptions(BIND_OPTS *pbindopts) override
    {
        if (!pbindopts || pbindopts->cbStruct < sizeof(BIND_OPTS))
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(m_lock);
        m_options.grfFlags = pbindopts->grfFlags;
        m_options.grfMode = pbindopts->grfMode;
        m_options.dwTickCountDeadline = pbindopts->dwTickCountDeadline;
        return S_OK;
    }
    STDMETHODIMP GetBindOptions(BIND_OPTS *pbindopts) override
    {
        if (!pbindopts || pbindopts->cbStruct < sizeof(BIND_OPTS))
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(m_lock);
        pbindopts->grfFlags = m_options.grfFlags;
        pbindopts->grfMode = m_options.grfMode;
        pbindopts->dwTickCountDeadline = m_options.dwTickCountDeadline;
        return S_OK;
    }
    STDMETHODIMP GetRunningObjectTable(IRunningObjectTable **pprot) override
    {
        if (!pprot)
            return E_INVALIDARG;
        *pprot = RunningObjectTable();
        (*pprot)->AddRef();
        return S_OK;
    }
    STDMETHODIMP RegisterObjectParam(LPOLESTR pszKey, IUnknown *punk) override
    {
        if (!pszKey || !punk)
            return E_INVALIDARG;
        punk->AddRef();
        IUnknown *replaced = nullptr;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            IUnknown *&slot = m_params[twk::WideString(pszKey)];
            replaced = slot;
            slot = punk;
        }
        if (replaced)
            replaced->Release();
        return S_OK;
    }
    STDMETHODIMP GetObjectParam(LPOLESTR pszKey, IUnknown **ppunk) override
    {
        if (!ppunk)
            return E_POINTER;
        *ppunk = nullptr;
        if (!pszKey)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(m_lock);
        auto it = m_params.find(twk::WideString(pszKey));
        if (it == m_params.end())
            return E_FAIL;
        it->second->AddRef();
        *ppunk = it->second;
        return S_OK;
    }
    STDMETHODIMP EnumObjectParam(IEnumString **ppenum) override
    {
        if (ppenum)
            *ppenum = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP RevokeObjectParam(LPOLESTR pszKey) override
    {
        if (!pszKey)
            return E_INVALIDARG;
        IUnknown *revoked = nullptr;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            auto it = m_params.find(twk::WideString(pszKey));
            if (it == m_params.end())
                return S_FALSE;
            revoked = it->second;
            m_params.erase(it);
        }
        revoked->Release();
        return S_OK;
    }

private:
    std::mutex m_lock;      // guards the members below
    BIND_OPTS m_options;
    std::vector<IUnknown *> m_bound;
    std::map<std::u16string, IUnknown *> m_params;
};

} // namespace
} // namespace twcom

STDAPI CreateBindCtx(DWORD reserved, LPBC *ppbc)
{
    if (!ppbc)
        return E_INVALIDARG;
    *ppbc = nullptr;
    if (reserved != 0)
        return E_INVALIDARG;
    auto bindctx = twcom::Make<twcom::CBindCtx>();
    if (!bindctx)
        return E_OUTOFMEMORY;
    *ppbc = bindctx.detach();
    return S_OK;
}
