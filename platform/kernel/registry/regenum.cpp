// Enumerating subkeys and values, and key information.
#include <cstring>
#include <string>

#include "keyhandles.h"
#include "keytree.h"
#include "keycall.h"
#include "valuestore.h"

using namespace twk::reg;

namespace {

// Keys keep no class or last-write time: report an empty class and a zero time.
void ClearFileTime(PFILETIME time)
{
    if (time)
        time->dwLowDateTime = time->dwHighDateTime = 0;
}

} // namespace

extern "C" LSTATUS APIENTRY RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    if (!lpName || !lpcchName)
        return ERROR_INVALID_PARAMETER;
    KeyCall call(false);
    if (LONG err = call.Begin(hKey, KEY_ENUMERATE_SUB_KEYS))
        return err;
    int64_t id = call.Key();
    std::string name;
    if (LONG err = SubKeyAt(call.Db(), id, dwIndex, &name))
        return err;
    if (name.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA;
    memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass && lpcchClass && *lpcchClass)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    ClearFileTime(lpftLastWriteTime);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS APIENTRY RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName)
{
    return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

extern "C" LSTATUS APIENTRY RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                          LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    KeyCall call(false);
    if (LONG err = call.Begin(hKey, KEY_QUERY_VALUE))
        return err;
    int64_t id = call.Key();
    Value value;
    if (LONG err = ValueAt(call.Db(), id, dwIndex, &value))
        return err;
    if (value.name.size() + 1 > *lpcchValueName)
        return ERROR_MORE_DATA;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    if (lpType)
        *lpType = value.type;
    if (lpData && size)
        memcpy(lpData, value.data.data(), size);
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS APIENTRY RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD,
                                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    KeyCall call(false);
    if (LONG err = call.Begin(hKey, KEY_QUERY_VALUE))
        return err;
    int64_t id = call.Key();
    KeyInfo info;
    if (LONG err = QueryKeyInfo(call.Db(), id, &info))
        return err;
    if (lpClass && lpcchClass && *lpcchClass)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpcSubKeys)
        *lpcSubKeys = info.subKeys;
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = info.maxSubKeyLen;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = info.values;
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = info.maxValueNameLen;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = info.maxValueLen;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    ClearFileTime(lpftLastWriteTime);
    return ERROR_SUCCESS;
}
