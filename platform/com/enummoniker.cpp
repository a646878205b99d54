#include <twcom/enummoniker.h>

#include <memory>
#include <twcom/interfaces.h>

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

class CEnumMoniker final : public Object<CEnumMoniker, IEnumMoniker> {
public:
    CEnumMoniker(std::shared_ptr<MonikerList> list, size_t position) : m_list(std::move(list)), m_position(position) {}


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
        *ppenum = nullptr;
        auto clone = Make<CEnumMoniker>(m_list, m_position);
        if (!clone)
            return E_OUTOFMEMORY;
        *ppenum = clone.detach();
        return S_OK;
    }

private:
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
    *ppenum = nullptr;
    auto enumerator = Make<CEnumMoniker>(std::move(list), 0);
    if (!enumerator)
        return E_OUTOFMEMORY;
    *ppenum = enumerator.detach();
    return S_OK;
}

} // namespace twcom
