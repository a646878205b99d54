// Registry access for the runtime's own records: an owning key handle and the few
// value and tree operations the filter store needs. Names are UTF-8.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

namespace twds {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(RegistryKey &&other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    RegistryKey &operator=(RegistryKey &&other) noexcept;
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    // Win32 error codes; ERROR_SUCCESS when the key is open.
    LONG Open(HKEY parent, const std::string &name);
    LONG Create(HKEY parent, const std::string &name);
    void Close();
    HKEY Get() const { return m_key; }

    LONG SetString(const char *name, const std::string &value);
    LONG SetDword(const char *name, DWORD value);
    bool GetString(const char *name, std::string &value) const;
    bool GetDword(const char *name, DWORD &value) const;
    std::vector<std::string> SubKeys() const;

private:
    HKEY m_key = nullptr;
};

// Deletes a key with everything below it; ERROR_FILE_NOT_FOUND when it is not there.
LONG DeleteRegistryTree(HKEY parent, const std::string &name);

} // namespace twds
