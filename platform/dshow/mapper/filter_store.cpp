#include "filter_store.h"

#include <twcom/guidtext.h>
#include <twkernel/textconv.h>
#include <uuids.h>

#include "registry_key.h"

using twcom::GuidFromText;
using twcom::GuidText;
using twk::Utf8FromWide;
using twk::WideFromUtf8;

namespace twds {
namespace {

HRESULT FromStatus(LONG status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

// Names become single key names: no separators, not empty.
bool ValidKeyName(const std::string &name)
{
    return !name.empty() && name.find('\\') == std::string::npos && name.find('/') == std::string::npos;
}

std::string InstanceRoot(REFCLSID category)
{
    return "CLSID\\" + GuidText(category) + "\\Instance";
}

std::string InstanceKey(REFCLSID category, LPCWSTR instance, REFCLSID filter)
{
    std::string name = instance && *instance ? Utf8FromWide(instance) : GuidText(filter);
    if (!ValidKeyName(name))
        return std::string();
    return InstanceRoot(category) + "\\" + name;
}

HRESULT WritePin(RegistryKey &filterKey, const RegisteredPin &pin)
{
    std::string pinName = Utf8FromWide(pin.name.c_str());
    if (!ValidKeyName(pinName))
        return E_INVALIDARG;
    DeleteRegistryTree(filterKey.Get(), "Pins\\" + pinName);
    RegistryKey key;
    LONG status = key.Create(filterKey.Get(), "Pins\\" + pinName);
    if (status == ERROR_SUCCESS)
        status = key.SetDword("Rendered", pin.rendered);
    if (status == ERROR_SUCCESS)
        status = key.SetDword("Output", pin.output);
    if (status == ERROR_SUCCESS)
        status = key.SetDword("Zero", pin.zero);
    if (status == ERROR_SUCCESS)
        status = key.SetDword("Many", pin.many);
    if (status == ERROR_SUCCESS)
        status = key.SetString("ConnectsToFilter", GuidText(pin.connectsToFilter));
    if (status == ERROR_SUCCESS)
        status = key.SetString("ConnectsToPin", Utf8FromWide(pin.connectsToPin.c_str()));
    for (size_t i = 0; status == ERROR_SUCCESS && i < pin.types.size(); i++) {
        RegistryKey typeKey;
        status = typeKey.Create(key.Get(), "Types\\" + std::to_string(i));
        if (status == ERROR_SUCCESS)
            status = typeKey.SetString("MajorType", GuidText(pin.types[i].major));
        if (status == ERROR_SUCCESS)
            status = typeKey.SetString("SubType", GuidText(pin.types[i].sub));
    }
    return FromStatus(status);
}

bool ReadPin(const RegistryKey &pinsKey, const std::string &name, RegisteredPin &pin)
{
    RegistryKey key;
    if (key.Open(pinsKey.Get(), name) != ERROR_SUCCESS)
        return false;
    pin.name = WideFromUtf8(name);
    DWORD flag = 0;
    pin.rendered = key.GetDword("Rendered", flag) && flag;
    pin.output = key.GetDword("Output", flag) && flag;
    pin.zero = key.GetDword("Zero", flag) && flag;
    pin.many = key.GetDword("Many", flag) && flag;
    std::string text;
    if (!key.GetString("ConnectsToFilter", text) || !GuidFromText(text, &pin.connectsToFilter))
        pin.connectsToFilter = GUID_NULL;
    if (key.GetString("ConnectsToPin", text))
        pin.connectsToPin = WideFromUtf8(text);

    RegistryKey typesKey;
    if (typesKey.Open(key.Get(), "Types") != ERROR_SUCCESS)
        return true;
    // Types keep their registration order: keys are numbered.
    for (size_t i = 0;; i++) {
        RegistryKey typeKey;
        if (typeKey.Open(typesKey.Get(), std::to_string(i)) != ERROR_SUCCESS)
            break;
        RegisteredPinType type{GUID_NULL, GUID_NULL};
        std::string major, sub;
        if (typeKey.GetString("MajorType", major) && typeKey.GetString("SubType", sub) &&
            GuidFromText(major, &type.major) && GuidFromText(sub, &type.sub))
            pin.types.push_back(type);
    }
    return true;
}

HRESULT WriteFilterValues(RegistryKey &key, const RegisteredFilter &filter)
{
    LONG status = key.SetString("FriendlyName", Utf8FromWide(filter.name.c_str()));
    if (status == ERROR_SUCCESS)
        status = key.SetString("CLSID", GuidText(filter.clsid));
    if (status == ERROR_SUCCESS)
        status = key.SetDword("Merit", filter.merit);
    return FromStatus(status);
}

HRESULT OpenFilterKey(REFCLSID category, REFCLSID filter, RegistryKey &key)
{
    std::string path = InstanceKey(category, nullptr, filter);
    return FromStatus(key.Open(HKEY_CLASSES_ROOT, path));
}

} // namespace

HRESULT StoreFilter(REFCLSID category, LPCWSTR instance, const RegisteredFilter &filter)
{
    std::string path = InstanceKey(category, instance, filter.clsid);
    if (path.empty())
        return E_INVALIDARG;
    DeleteRegistryTree(HKEY_CLASSES_ROOT, path);
    RegistryKey key;
    HRESULT hr = FromStatus(key.Create(HKEY_CLASSES_ROOT, path));
    if (SUCCEEDED(hr))
        hr = WriteFilterValues(key, filter);
    for (size_t i = 0; SUCCEEDED(hr) && i < filter.pins.size(); i++)
        hr = WritePin(key, filter.pins[i]);
    if (FAILED(hr)) {
        // Half a registration would mislead graph building.
        key.Close();
        DeleteRegistryTree(HKEY_CLASSES_ROOT, path);
    }
    return hr;
}

HRESULT StoreFilterValues(REFCLSID category, LPCWSTR instance, const RegisteredFilter &filter)
{
    std::string path = InstanceKey(category, instance, filter.clsid);
    if (path.empty())
        return E_INVALIDARG;
    RegistryKey key;
    HRESULT hr = FromStatus(key.Create(HKEY_CLASSES_ROOT, path));
    return SUCCEEDED(hr) ? WriteFilterValues(key, filter) : hr;
}

HRESULT StorePin(REFCLSID category, REFCLSID filter, const RegisteredPin &pin)
{
    RegistryKey key;
    HRESULT hr = OpenFilterKey(category, filter, key);
    return SUCCEEDED(hr) ? WritePin(key, pin) : hr;
}

HRESULT StorePinType(REFCLSID category, REFCLSID filter, LPCWSTR pinName, const RegisteredPinType &type)
{
    RegistryKey filterKey;
    HRESULT hr = OpenFilterKey(category, filter, filterKey);
    if (FAILED(hr))
        return hr;
    std::string name = Utf8FromWide(pinName);
    if (!ValidKeyName(name))
        return E_INVALIDARG;
    RegistryKey pinKey;
    hr = FromStatus(pinKey.Open(filterKey.Get(), "Pins\\" + name));
    if (FAILED(hr))
        return hr;
    RegistryKey typesKey;
    hr = FromStatus(typesKey.Create(pinKey.Get(), "Types"));
    if (FAILED(hr))
        return hr;
    size_t index = 0;
    for (RegistryKey probe; probe.Open(typesKey.Get(), std::to_string(index)) == ERROR_SUCCESS;)
        index++;
    RegistryKey typeKey;
    LONG status = typeKey.Create(typesKey.Get(), std::to_string(index));
    if (status == ERROR_SUCCESS)
        status = typeKey.SetString("MajorType", GuidText(type.major));
    if (status == ERROR_SUCCESS)
        status = typeKey.SetString("SubType", GuidText(type.sub));
    return FromStatus(status);
}

HRESULT RemovePin(REFCLSID category, REFCLSID filter, LPCWSTR pinName)
{
    RegistryKey filterKey;
    HRESULT hr = OpenFilterKey(category, filter, filterKey);
    if (FAILED(hr))
        return hr;
    std::string name = Utf8FromWide(pinName);
    if (!ValidKeyName(name))
        return E_INVALIDARG;
    return FromStatus(DeleteRegistryTree(filterKey.Get(), "Pins\\" + name));
}

HRESULT RemoveFilter(REFCLSID category, LPCWSTR instance, REFCLSID filter)
{
    std::string path = InstanceKey(category, instance, filter);
    if (path.empty())
        return E_INVALIDARG;
    return FromStatus(DeleteRegistryTree(HKEY_CLASSES_ROOT, path));
}

std::vector<RegisteredFilter> LoadFilters(REFCLSID category)
{
    std::vector<RegisteredFilter> filters;
    RegistryKey root;
    if (root.Open(HKEY_CLASSES_ROOT, InstanceRoot(category)) != ERROR_SUCCESS)
        return filters;
    for (const std::string &instance : root.SubKeys()) {
        RegistryKey key;
        if (key.Open(root.Get(), instance) != ERROR_SUCCESS)
            continue;
        RegisteredFilter filter;
        std::string text;
        if (!key.GetString("CLSID", text) || !GuidFromText(text, &filter.clsid))
            continue;
        if (key.GetString("FriendlyName", text))
            filter.name = WideFromUtf8(text);
        key.GetDword("Merit", filter.merit);
        RegistryKey pins;
        if (pins.Open(key.Get(), "Pins") == ERROR_SUCCESS) {
            for (const std::string &pinName : pins.SubKeys()) {
                RegisteredPin pin;
                if (ReadPin(pins, pinName, pin))
                    filter.pins.push_back(std::move(pin));
            }
        }
        filters.push_back(std::move(filter));
    }
    return filters;
}

bool PinAcceptsType(const RegisteredPin &pin, REFGUID major, REFGUID sub)
{
    if (pin.types.empty())
        return major == GUID_NULL && sub == GUID_NULL;
    for (const RegisteredPinType &type : pin.types) {
        bool majorOk = major == GUID_NULL || type.major == GUID_NULL || type.major == major;
        bool subOk = sub == GUID_NULL || type.sub == GUID_NULL || type.sub == sub;
        if (majorOk && subOk)
            return true;
    }
    return false;
}

} // namespace twds
