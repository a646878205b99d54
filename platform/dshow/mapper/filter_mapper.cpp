#include "filter_mapper.h"

#include <algorithm>
#include <new>

#include <uuids.h>
#include <vfwmsgs.h>

#include <twcom/builtin_classes.h>
#include "filter_moniker.h"

namespace twds {
namespace {

twcom::BuiltinClassRegistration s_mapper2(CLSID_FilterMapper2, FilterMapper::Create);
twcom::BuiltinClassRegistration s_mapper(CLSID_FilterMapper, FilterMapper::Create);

const CLSID &DefaultCategory(const CLSID *category)
{
    return category ? *category : CLSID_LegacyAmFilterCategory;
}

std::u16string WideOrEmpty(LPCWSTR text)
{
    return text ? std::u16string(text) : std::u16string();
}

bool HasPin(const RegisteredFilter &filter, bool output, bool render, const std::vector<RegisteredPinType> &types)
{
    for (const RegisteredPin &pin : filter.pins) {
        if (pin.output != output || (render && !pin.rendered))
            continue;
        if (types.empty())
            return true;
        for (const RegisteredPinType &type : types)
            if (PinAcceptsType(pin, type.major, type.sub))
                return true;
    }
    return false;
}

// Wildcard-only type lists ask for nothing.
std::vector<RegisteredPinType> SignificantTypes(std::vector<RegisteredPinType> types)
{
    for (const RegisteredPinType &type : types)
        if (type.major != GUID_NULL || type.sub != GUID_NULL)
            return types;
    return {};
}

} // namespace

std::vector<RegisteredFilter> FindMatchingFilters(const FilterQuery &query)
{
    std::vector<RegisteredFilter> matches;
    std::vector<RegisteredPinType> inTypes = SignificantTypes(query.inputTypes);
    std::vector<RegisteredPinType> outTypes = SignificantTypes(query.outputTypes);
    for (RegisteredFilter &filter : LoadFilters(CLSID_LegacyAmFilterCategory)) {
        if (filter.merit < query.minMerit)
            continue;
        bool needInput = query.inputNeeded || query.render || !inTypes.empty();
        if (needInput && !HasPin(filter, false, query.render, inTypes))
            continue;
        bool needOutput = query.outputNeeded || !outTypes.empty();
        if (needOutput && !HasPin(filter, true, false, outTypes))
            continue;
        matches.push_back(std::move(filter));
    }
    std::stable_sort(matches.begin(), matches.end(),
                     [](const RegisteredFilter &a, const RegisteredFilter &b) { return a.merit > b.merit; });
    return matches;
}

HRESULT FilterMapper::Create(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return twcom::HandOut(twcom::Make<FilterMapper>(), riid, ppv);
}

HRESULT STDMETHODCALLTYPE FilterMapper::CreateCategory(REFCLSID, DWORD, LPCWSTR)
{
    // Categories exist as soon as a filter is registered in them.
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterMapper::UnregisterFilter(const CLSID *pclsidCategory, LPCOLESTR szInstance,
                                                         REFCLSID Filter)
{
    return RemoveFilter(DefaultCategory(pclsidCategory), szInstance, Filter);
}

HRESULT STDMETHODCALLTYPE FilterMapper::RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker **ppMoniker,
                                                       const CLSID *pclsidCategory, LPCOLESTR szInstance,
                                                       const REGFILTER2 *prf2)
{
    if (!prf2)
        return E_POINTER;
    RegisteredFilter filter;
    filter.clsid = clsidFilter;
    filter.name = WideOrEmpty(Name);
    filter.merit = prf2->dwMerit;
    try {
        if (prf2->dwVersion == 1) {
            if (prf2->cPins && !prf2->rgPins)
                return E_POINTER;
            for (ULONG i = 0; i < prf2->cPins; i++) {
                const REGFILTERPINS &in = prf2->rgPins[i];
                RegisteredPin pin;
                pin.name = WideOrEmpty(in.strName);
                pin.rendered = in.bRendered;
                pin.output = in.bOutput;
                pin.zero = in.bZero;
                pin.many = in.bMany;
                pin.connectsToFilter = in.clsConnectsToFilter ? *in.clsConnectsToFilter : GUID_NULL;
                pin.connectsToPin = WideOrEmpty(in.strConnectsToPin);
                if (in.nMediaTypes && !in.lpMediaType)
                    return E_POINTER;
                for (UINT t = 0; t < in.nMediaTypes; t++)
                    pin.types.push_back({in.lpMediaType[t].clsMajorType ? *in.lpMediaType[t].clsMajorType : GUID_NULL,
                                         in.lpMediaType[t].clsMinorType ? *in.lpMediaType[t].clsMinorType : GUID_NULL});
                filter.pins.push_back(std::move(pin));
            }
        } else if (prf2->dwVersion == 2) {
            if (prf2->cPins2 && !prf2->rgPins2)
                return E_POINTER;
            // Version 2 pins have no names; they are numbered.
            for (ULONG i = 0; i < prf2->cPins2; i++) {
                const REGFILTERPINS2 &in = prf2->rgPins2[i];
                RegisteredPin pin;
                std::string number = std::to_string(i);
                pin.name.assign(number.begin(), number.end());
                pin.rendered = (in.dwFlags & REG_PINFLAG_B_RENDERER) != 0;
                pin.output = (in.dwFlags & REG_PINFLAG_B_OUTPUT) != 0;
                pin.zero = (in.dwFlags & REG_PINFLAG_B_ZERO) != 0;
                pin.many = (in.dwFlags & REG_PINFLAG_B_MANY) != 0;
                if (in.nMediaTypes && !in.lpMediaType)
                    return E_POINTER;
                for (UINT t = 0; t < in.nMediaTypes; t++)
                    pin.types.push_back({in.lpMediaType[t].clsMajorType ? *in.lpMediaType[t].clsMajorType : GUID_NULL,
                                         in.lpMediaType[t].clsMinorType ? *in.lpMediaType[t].clsMinorType : GUID_NULL});
                filter.pins.push_back(std::move(pin));
            }
        } else {
            return E_INVALIDARG;
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = StoreFilter(DefaultCategory(pclsidCategory), szInstance, filter);
    if (SUCCEEDED(hr) && ppMoniker) {
        *ppMoniker = nullptr;
        hr = CreateFilterMoniker(DefaultCategory(pclsidCategory), filter, ppMoniker);
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE FilterMapper::EnumMatchingFilters(
    IEnumMoniker **ppEnum, DWORD, BOOL, DWORD dwMerit, BOOL bInputNeeded, DWORD cInputTypes, const GUID *pInputTypes,
    const REGPINMEDIUM *, const CLSID *, BOOL bRender, BOOL bOutputNeeded, DWORD cOutputTypes,
    const GUID *pOutputTypes, const REGPINMEDIUM *, const CLSID *)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    if ((cInputTypes && !pInputTypes) || (cOutputTypes && !pOutputTypes))
        return E_POINTER;
    FilterQuery query;
    query.minMerit = dwMerit;
    query.inputNeeded = bInputNeeded;
    query.render = bRender;
    query.outputNeeded = bOutputNeeded;
    try {
        // Type lists are pairs: major type, subtype.
        for (DWORD i = 0; i < cInputTypes; i++)
            query.inputTypes.push_back({pInputTypes[2 * i], pInputTypes[2 * i + 1]});
        for (DWORD i = 0; i < cOutputTypes; i++)
            query.outputTypes.push_back({pOutputTypes[2 * i], pOutputTypes[2 * i + 1]});
        return CreateFilterMonikerEnumerator(CLSID_LegacyAmFilterCategory, FindMatchingFilters(query), ppEnum);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE FilterMapper::RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit)
{
    RegisteredFilter filter;
    filter.clsid = clsid;
    filter.name = WideOrEmpty(Name);
    filter.merit = dwMerit;
    return StoreFilterValues(CLSID_LegacyAmFilterCategory, nullptr, filter);
}

HRESULT STDMETHODCALLTYPE FilterMapper::RegisterFilterInstance(CLSID, LPCWSTR, CLSID *MRId)
{
    if (MRId)
        *MRId = GUID_NULL;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterMapper::RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput,
                                                    BOOL bZero, BOOL bMany, CLSID ConnectsToFilter,
                                                    LPCWSTR ConnectsToPin)
{
    if (!Name)
        return E_POINTER;
    RegisteredPin pin;
    pin.name = Name;
    pin.rendered = bRendered;
    pin.output = bOutput;
    pin.zero = bZero;
    pin.many = bMany;
    pin.connectsToFilter = ConnectsToFilter;
    pin.connectsToPin = WideOrEmpty(ConnectsToPin);
    return StorePin(CLSID_LegacyAmFilterCategory, Filter, pin);
}

HRESULT STDMETHODCALLTYPE FilterMapper::RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType,
                                                        CLSID clsSubType)
{
    if (!strName)
        return E_POINTER;
    return StorePinType(CLSID_LegacyAmFilterCategory, clsFilter, strName, {clsMajorType, clsSubType});
}

HRESULT STDMETHODCALLTYPE FilterMapper::UnregisterFilter(CLSID Filter)
{
    return RemoveFilter(CLSID_LegacyAmFilterCategory, nullptr, Filter);
}

HRESULT STDMETHODCALLTYPE FilterMapper::UnregisterFilterInstance(CLSID)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterMapper::UnregisterPin(CLSID Filter, LPCWSTR Name)
{
    if (!Name)
        return E_POINTER;
    return RemovePin(CLSID_LegacyAmFilterCategory, Filter, Name);
}

HRESULT STDMETHODCALLTYPE FilterMapper::EnumMatchingFilters(IEnumRegFilters **ppEnum, DWORD dwMerit,
                                                            BOOL bInputNeeded, CLSID clsInMaj, CLSID clsInSub,
                                                            BOOL bRender, BOOL bOutputNeeded, CLSID clsOutMaj,
                                                            CLSID clsOutSub)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    FilterQuery query;
    query.minMerit = dwMerit;
    query.inputNeeded = bInputNeeded;
    query.render = bRender;
    query.outputNeeded = bOutputNeeded;
    try {
        query.inputTypes.push_back({clsInMaj, clsInSub});
        query.outputTypes.push_back({clsOutMaj, clsOutSub});
        return CreateRegFilterEnumerator(FindMatchingFilters(query), ppEnum);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

} // namespace twds
