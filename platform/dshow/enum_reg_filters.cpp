// IEnumRegFilters: what IFilterMapper::EnumMatchingFilters hands out.
#include <cstring>
#include <new>

#include <objbase.h>

#include "filter_mapper.h"

namespace twds {
namespace {

class RegFilterEnumerator final : public IEnumRegFilters {
public:
    RegFilterEnumerator(std::vector<RegisteredFilter> filters, size_t position)
        : m_filters(std::move(filters)), m_position(position)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumRegFilters) {
            *ppv = static_cast<IEnumRegFilters *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    // Each REGFILTER is one task-memory block holding its name; CoTaskMemFree frees both.
    HRESULT STDMETHODCALLTYPE Next(ULONG cFilters, REGFILTER **apRegFilter, ULONG *pcFetched) override
    {
        if (!apRegFilter)
            return E_POINTER;
        if (!pcFetched && cFilters > 1)
            return E_INVALIDARG;
        ULONG fetched = 0;
        while (fetched < cFilters && m_position < m_filters.size()) {
            const RegisteredFilter &filter = m_filters[m_position];
            size_t nameBytes = (filter.name.size() + 1) * sizeof(WCHAR);
            auto *record = static_cast<REGFILTER *>(CoTaskMemAlloc(sizeof(REGFILTER) + nameBytes));
            if (!record)
                break;
            record->Clsid = filter.clsid;
            record->Name = reinterpret_cast<LPWSTR>(record + 1);
            memcpy(record->Name, filter.name.c_str(), nameBytes);
            apRegFilter[fetched++] = record;
            m_position++;
        }
        if (pcFetched)
            *pcFetched = fetched;
        return fetched == cFilters ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG cFilters) override
    {
        size_t remaining = m_filters.size() - m_position;
        if (cFilters > remaining) {
            m_position = m_filters.size();
            return S_FALSE;
        }
        m_position += cFilters;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_position = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IEnumRegFilters **ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = nullptr;
        try {
            *ppEnum = new RegFilterEnumerator(m_filters, m_position);
        } catch (const std::bad_alloc &) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    ~RegFilterEnumerator() = default;

    std::atomic<ULONG> m_refs{1};
    std::vector<RegisteredFilter> m_filters;
    size_t m_position;
};

} // namespace

HRESULT CreateRegFilterEnumerator(std::vector<RegisteredFilter> filters, IEnumRegFilters **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = new (std::nothrow) RegFilterEnumerator(std::move(filters), 0);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

} // namespace twds
