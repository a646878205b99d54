#include "registry_key.h"

#include <twkernel/regread.h>
#include <utility>

namespace twds {

RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept
{
    if (this != &other) {
        Close();
        m_key = other.m_key;
        other.m_key = nullptr;
    }
    return *this;
}

LONG RegistryKey::Open(HKEY parent, const std::string &name)
{
    Close();
    return RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &m_key);
}

LONG RegistryKey::Create(HKEY parent, const std::string &name)
{
    Close();
    return RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                           &m_key, nullptr);
}

void RegistryKey::Close()
{
    if (m_key)
        RegCloseKey(m_key);
    m_key = nullptr;
}

LONG RegistryKey::SetString(const char *name, const std::string &value)
{
    return RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

LONG RegistryKey::SetDword(const char *name, DWORD value)
{
    return RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
}

bool RegistryKey::GetString(const char *name, std::string &value) const
{
    std::string text;
    DWORD type = REG_NONE;
    if (!twk::ReadRegistryString(m_key, name, text, &type) || type != REG_SZ)
        return false;
    value = std::move(text);
    return true;
}

bool RegistryKey::GetDword(const char *name, DWORD &value) const
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE *>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return false;
    value = data;
    return true;
}

std::vector<std::string> RegistryKey::SubKeys() const
{
    std::vector<std::string> names;
    for (DWORD index = 0;; index++) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(m_key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

LONG DeleteRegistryTree(HKEY parent, const std::string &name)
{
    if (name.empty())
        return ERROR_INVALID_PARAMETER;
    RegistryKey key;
    LONG status = key.Open(parent, name);
    if (status != ERROR_SUCCESS)
        return status;
    for (const std::string &child : key.SubKeys()) {
        status = DeleteRegistryTree(key.Get(), child);
        if (status != ERROR_SUCCESS)
            return status;
    }
    key.Close();
    return RegDeleteKeyA(parent, name.c_str());
}

} // namespace twds
