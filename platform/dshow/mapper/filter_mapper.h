// The filter mapper (CLSID_FilterMapper2, CLSID_FilterMapper): one object serving
// both mapper interfaces over the registrations of filter_store.h.
#pragma once
#include <vector>

#include <strmif.h>
#include <twcom/object.h>

#include "filter_store.h"

TWCOM_INTERFACE(IFilterMapper2, IID_IFilterMapper2)
TWCOM_INTERFACE(IFilterMapper, IID_IFilterMapper)

namespace twds {

class FilterMapper final : public twcom::Object<FilterMapper, IFilterMapper2, IFilterMapper> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);

    // IFilterMapper2
    HRESULT STDMETHODCALLTYPE CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit,
                                             LPCWSTR Description) override;
    HRESULT STDMETHODCALLTYPE UnregisterFilter(const CLSID *pclsidCategory, LPCOLESTR szInstance,
                                               REFCLSID Filter) override;
    HRESULT STDMETHODCALLTYPE RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker **ppMoniker,
                                             const CLSID *pclsidCategory, LPCOLESTR szInstance,
                                             const REGFILTER2 *prf2) override;
    HRESULT STDMETHODCALLTYPE EnumMatchingFilters(IEnumMoniker **ppEnum, DWORD dwFlags, BOOL bExactMatch,
                                                  DWORD dwMerit, BOOL bInputNeeded, DWORD cInputTypes,
                                                  const GUID *pInputTypes, const REGPINMEDIUM *pMedIn,
                                                  const CLSID *pPinCategoryIn, BOOL bRender, BOOL bOutputNeeded,
                                                  DWORD cOutputTypes, const GUID *pOutputTypes,
                                                  const REGPINMEDIUM *pMedOut, const CLSID *pPinCategoryOut) override;

    // IFilterMapper
    HRESULT STDMETHODCALLTYPE RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit) override;
    HRESULT STDMETHODCALLTYPE RegisterFilterInstance(CLSID clsid, LPCWSTR Name, CLSID *MRId) override;
    HRESULT STDMETHODCALLTYPE RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput, BOOL bZero,
                                          BOOL bMany, CLSID ConnectsToFilter, LPCWSTR ConnectsToPin) override;
    HRESULT STDMETHODCALLTYPE RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType,
                                              CLSID clsSubType) override;
    HRESULT STDMETHODCALLTYPE UnregisterFilter(CLSID Filter) override;
    HRESULT STDMETHODCALLTYPE UnregisterFilterInstance(CLSID MRId) override;
    HRESULT STDMETHODCALLTYPE UnregisterPin(CLSID Filter, LPCWSTR Name) override;
    HRESULT STDMETHODCALLTYPE EnumMatchingFilters(IEnumRegFilters **ppEnum, DWORD dwMerit, BOOL bInputNeeded,
                                                  CLSID clsInMaj, CLSID clsInSub, BOOL bRender, BOOL bOutputNeeded,
                                                  CLSID clsOutMaj, CLSID clsOutSub) override;

};

// What a graph builder asks of a filter: a minimum merit, and input and output
// pins accepting one of the listed types (empty: any type).
struct FilterQuery {
    DWORD minMerit = 0;
    bool inputNeeded = false;
    bool render = false;
    std::vector<RegisteredPinType> inputTypes;
    bool outputNeeded = false;
    std::vector<RegisteredPinType> outputTypes;
};

// Registrations of the default category that satisfy the query, highest merit first.
std::vector<RegisteredFilter> FindMatchingFilters(const FilterQuery &query);

// An IEnumRegFilters over a list of filters.
HRESULT CreateRegFilterEnumerator(std::vector<RegisteredFilter> filters, IEnumRegFilters **ppEnum);

} // namespace twds
