// Reading a key's values and subkeys whole.
#include "regtool.h"

#include <twkernel/regread.h>

namespace regtool {

LONG ReadValue(HKEY key, const std::string &name, Value *value)
{
    LONG err = twk::ReadRegistryValue(key, name.c_str(), &value->type, value->data);
    if (err == ERROR_SUCCESS)
        value->name = name;
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
