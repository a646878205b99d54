#include "enummoniker.h"

#include <atomic>
#include <memory>
#include <new>

namespace twcom {
namespace {

// The moniker list is shared by clones; it never changes once made.
struct MonikerList {
    std::vector<IMoniker *> monikers;
    ~MonikerList()
    {
        for (IMoniker *m : monikers)
            m->Release();
    }
};

class CEnumMoniker final : public IEnumMoniker {
public:
    CEnumMoniker(std::shared_ptr<MonikerList> list, size_t position) : m_list(std::move(list)), m_position(position) {}

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumMoniker) {
            *ppv = static_cast<IEnumMoniker *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    STDMETHODIMP Next(ULONG celt, IMoniker **rgelt, ULONG *pceltFetched) override
    {
        if (!rgelt || (celt > 1 && !pceltFetched))
            return E_INVALIDARG;
        const std::vector<IMoniker *> &all = m_list->monikers;
        ULONG fetched = 0;
        while (fetched < celt && m_position < all.size()) {
            rgelt[fetched] = all[m_position++];
            rgelt[fetched]->AddRef();
            ++fetched;
        }
        if (pceltFetched)
            *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG celt) override
    {
        const size_t left = m_list->monikers.size() - m_position;
        if (celt > left) {
            m_position = m_list->monikers.size();
            return S_FALSE;
        }
        m_position += celt;
        return S_OK;
    }
    STDMETHODIMP Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMoniker **ppenum) override
    {
        if (!ppenum)
            return E_POINTER;
        *ppenum = new (std::nothrow) CEnumMoniker(m_list, m_position);
        return *ppenum ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::atomic<ULONG> m_refs{1};
    std::shared_ptr<MonikerList> m_list;
    size_t m_position;
};

} // namespace

HRESULT CreateMonikerEnumerator(std::vector<IMoniker *> monikers, IEnumMoniker **ppenum)
{
    auto list = std::make_shared<MonikerList>();
    list->monikers = std::move(monikers);
    if (!ppenum)
        return E_POINTER;
    *ppenum = new (std::nothrow) CEnumMoniker(std::move(list), 0);
    return *ppenum ? S_OK : E_OUTOFMEMORY;
}

} // namespace twcom
