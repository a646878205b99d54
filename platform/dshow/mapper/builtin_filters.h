// The platform's own filters as the mapper knows them without registry entries
// (decoders and renderers that intelligent connect must find on a fresh machine).
// A filter file describes itself from a namespace-scope registration object:
//
//     static twds::BuiltinFilterRegistration s_reg(RegisteredFilter{CLSID_X, u"Name", MERIT_NORMAL, pins});
//
// A registry entry for the same CLSID wins over the built-in description.
//
// Platform-internal: included as "mapper/builtin_filters.h" from the library's root.
#pragma once
#include <vector>

#include "mapper/filter_store.h"

namespace twds {

// The built-in filters, in the order they were added. Thread-safe.
std::vector<RegisteredFilter> BuiltinFilters();

// The registry's filters of the legacy category followed by the built-in ones
// that the registry does not describe.
std::vector<RegisteredFilter> LoadFiltersWithBuiltins();

class BuiltinFilterRegistration {
public:
    explicit BuiltinFilterRegistration(RegisteredFilter filter);
    BuiltinFilterRegistration(const BuiltinFilterRegistration &) = delete;
    BuiltinFilterRegistration &operator=(const BuiltinFilterRegistration &) = delete;
};

} // namespace twds
