#include <twkernel/regread.h>

namespace twk {

LONG ReadRegistryValue(HKEY key, const char *name, DWORD *type, std::vector<BYTE> &data)
{
    DWORD size = 0;
    LONG err = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    while (err == ERROR_SUCCESS || err == ERROR_MORE_DATA) {
        data.resize(size);
        err = RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
        if (err == ERROR_SUCCESS) {
            data.resize(size);
            return ERROR_SUCCESS;
        }
    }
    return err;
}

bool ReadRegistryString(HKEY key, const char *name, std::string &value, DWORD *type)
{
    DWORD found = REG_NONE;
    std::vector<BYTE> data;
    if (ReadRegistryValue(key, name, &found, data) != ERROR_SUCCESS || (found != REG_SZ && found != REG_EXPAND_SZ))
        return false;
    const char *text = reinterpret_cast<const char *>(data.data());
    size_t length = 0;
    while (length < data.size() && text[length] != '\0')
        ++length;
    value.assign(text, length);
    if (type)
        *type = found;
    return true;
}

} // namespace twk
