// Filter registrations as the filter mapper keeps them in the registry.
//
// Layout, one key per registered filter instance:
//   HKCR\CLSID\{category}\Instance\{instance}          instance: the filter CLSID unless named
//       FriendlyName   REG_SZ     the filter's name
//       CLSID          REG_SZ     the filter's class, "{...}"
//       Merit          REG_DWORD
//       Pins\<pin name>
//           Rendered, Output, Zero, Many   REG_DWORD 0 or 1
//           ConnectsToFilter               REG_SZ "{...}" (GUID_NULL: any)
//           ConnectsToPin                  REG_SZ
//           Types\<n>                      n = 0, 1, ... in registration order
//               MajorType, SubType         REG_SZ "{...}"
// The default category is CLSID_LegacyAmFilterCategory, where both mapper
// interfaces keep their registrations.
//
// Platform-internal: include by path ("dshow/filter_store.h" relative to platform/).
#pragma once
#include <string>
#include <vector>

#include <strmif.h>

namespace twds {

struct RegisteredPinType {
    GUID major;
    GUID sub;
};

struct RegisteredPin {
    std::u16string name;
    bool rendered = false;
    bool output = false;
    bool zero = false;
    bool many = false;
    CLSID connectsToFilter = GUID_NULL;
    std::u16string connectsToPin;
    std::vector<RegisteredPinType> types;
};

struct RegisteredFilter {
    CLSID clsid = GUID_NULL;
    std::u16string name;
    DWORD merit = 0;
    std::vector<RegisteredPin> pins;
};

// Writes a registration, replacing any earlier one of the same instance.
// A null instance name stands for the filter CLSID.
HRESULT StoreFilter(REFCLSID category, LPCWSTR instance, const RegisteredFilter &filter);

// Writes the filter values only, keeping the pins already stored.
HRESULT StoreFilterValues(REFCLSID category, LPCWSTR instance, const RegisteredFilter &filter);

// Adds or replaces one pin (without its types), or adds one type to a stored pin.
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the filter or pin is not registered.
HRESULT StorePin(REFCLSID category, REFCLSID filter, const RegisteredPin &pin);
HRESULT StorePinType(REFCLSID category, REFCLSID filter, LPCWSTR pinName, const RegisteredPinType &type);
HRESULT RemovePin(REFCLSID category, REFCLSID filter, LPCWSTR pinName);

// Removes a registration; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is none.
HRESULT RemoveFilter(REFCLSID category, LPCWSTR instance, REFCLSID filter);

// Every registration of a category, unordered. Unreadable entries are skipped.
std::vector<RegisteredFilter> LoadFilters(REFCLSID category);

// True when the pin has a type matching major/sub; GUID_NULL on either side
// matches anything. A pin without types matches only wildcards.
bool PinAcceptsType(const RegisteredPin &pin, REFGUID major, REFGUID sub);

} // namespace twds
