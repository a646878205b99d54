// Reading a key's values and subkeys whole.
#include "regtool.h"

namespace regtool {

LONG ReadValue(HKEY key, const std::string &name, Value *value)
{
    DWORD size = 0;
    LONG err = RegQueryValueExA(key, name.c_str(), nullptr, &value->type, nullptr, &size);
    // The value may change between the two calls; ask again while it grows.
    while (err == ERROR_SUCCESS || err == ERROR_MORE_DATA) {
        value->data.resize(size);
        err = RegQueryValueExA(key, name.c_str(), nullptr, &value->type, value->data.data(), &size);
        if (err == ERROR_SUCCESS) {
            value->data.resize(size);
            value->name = name;
            return ERROR_SUCCESS;
        }
    }
    return err;
}

LONG ReadValues(HKEY key, std::vector<Value> *values)
{
    DWORD maxName = 0, maxData = 0;
    if (LONG err = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                    &maxData, nullptr, nullptr))
        return err;
    std::vector<char> name(maxName + 1);
    for (DWORD i = 0;; ++i) {
        Value value;
        value.data.resize(maxData);
        DWORD nameLen = static_cast<DWORD>(name.size());
        DWORD size = maxData;
        LONG err = RegEnumValueA(key, i, name.data(), &nameLen, nullptr, &value.type, value.data.data(), &size);
        if (err == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (err == ERROR_MORE_DATA) {
            // Written to since the sizes were taken: start over with fresh ones.
            values->clear();
            return ReadValues(key, values);
        }
        if (err)
            return err;
        value.name.assign(name.data(), nameLen);
        value.data.resize(size);
        values->push_back(std::move(value));
    }
}

LONG ReadSubKeys(HKEY key, std::vector<std::string> *names)
{
    char name[256];
    for (DWORD i = 0;; ++i) {
        LONG err = RegEnumKeyA(key, i, name, sizeof name);
        if (err == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (err)
            return err;
        names->push_back(name);
    }
}

} // namespace regtool
