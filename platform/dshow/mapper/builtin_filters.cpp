#include "mapper/builtin_filters.h"

#include <algorithm>
#include <mutex>
#include <uuids.h>

namespace twds {
namespace {

struct Table {
    std::mutex lock;                       // guards filters
    std::vector<RegisteredFilter> filters;
};

// Built on first use, so registrations from other files' static objects find it.
Table &TheTable()
{
    static Table *table = new Table;       // lives to the end of the process
    return *table;
}

} // namespace

BuiltinFilterRegistration::BuiltinFilterRegistration(RegisteredFilter filter)
{
    Table &t = TheTable();
    std::lock_guard<std::mutex> hold(t.lock);
    t.filters.push_back(std::move(filter));
}

std::vector<RegisteredFilter> BuiltinFilters()
{
    Table &t = TheTable();
    std::lock_guard<std::mutex> hold(t.lock);
    return t.filters;
}

std::vector<RegisteredFilter> LoadFiltersWithBuiltins()
{
    std::vector<RegisteredFilter> filters = LoadFilters(CLSID_LegacyAmFilterCategory);
    for (RegisteredFilter &builtin : BuiltinFilters()) {
        bool registered = std::any_of(filters.begin(), filters.end(), [&](const RegisteredFilter &f) {
            return IsEqualGUID(f.clsid, builtin.clsid);
        });
        if (!registered)
            filters.push_back(std::move(builtin));
    }
    return filters;
}

} // namespace twds
