// Monikers naming registered filters, as IFilterMapper2::EnumMatchingFilters
// hands them out. Binding one creates the filter; its display name is
// "@device:sw:{category}\{filter CLSID}".
#pragma once
#include <vector>

#include <objbase.h>

#include "filter_store.h"

namespace twds {

HRESULT CreateFilterMoniker(REFCLSID category, const RegisteredFilter &filter, IMoniker **ppMoniker);
HRESULT CreateFilterMonikerEnumerator(REFCLSID category, const std::vector<RegisteredFilter> &filters,
                                      IEnumMoniker **ppEnum);

} // namespace twds
