// IEnumRegFilters: what IFilterMapper::EnumMatchingFilters hands out.
#include <cstring>
#include <new>

#include <objbase.h>
#include <twcom/object.h>

#include "filter_mapper.h"

TWCOM_INTERFACE(IEnumRegFilters, IID_IEnumRegFilters)

namespace twds {
namespace {

class RegFilterEnumerator final : public twcom::Object<RegFilterEnumerator, IEnumRegFilters> {
public:
    RegFilterEnumerator(std::vector<RegisteredFilter> filters, size_t position)
        : m_filters(std::move(filters)), m_position(position)
    {
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
            auto clone = twcom::Make<RegFilterEnumerator>(m_filters, m_position);
            if (!clone)
                return E_OUTOFMEMORY;
            *ppEnum = clone.detach();
        } catch (const std::bad_alloc &) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    std::vector<RegisteredFilter> m_filters;
    size_t m_position;
};

} // namespace

HRESULT CreateRegFilterEnumerator(std::vector<RegisteredFilter> filters, IEnumRegFilters **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    auto enumerator = twcom::Make<RegFilterEnumerator>(std::move(filters), 0);
    if (!enumerator)
        return E_OUTOFMEMORY;
    *ppEnum = enumerator.detach();
    return S_OK;
}

} // namespace twds
