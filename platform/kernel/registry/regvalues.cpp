// Reading, writing and deleting values.
#include <cstring>
#include <string>

#include "keyhandles.h"
#include "keyname.h"
#include "keycall.h"
#include "valuestore.h"

using namespace twk::reg;

extern "C" LSTATUS APIENTRY RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                             LPDWORD lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    KeyCall call(false);
    if (LONG err = call.Begin(hKey, KEY_QUERY_VALUE))
        return err;
    int64_t id = call.Key();
    Value value;
    if (LONG err = GetValue(call.Db(), id, lpValueName ? lpValueName : "", &value))
        return err;
    if (lpType)
        *lpType = value.type;
    if (!lpcbData)
        return ERROR_SUCCESS;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size)
        memcpy(lpData, value.data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS APIENTRY RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                                           DWORD cbData)
{
    if (!lpData && cbData)
        return ERROR_INVALID_PARAMETER;
    std::string name = lpValueName ? lpValueName : "";
    if (name.size() > kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    KeyCall call(true);
    if (LONG err = call.Begin(hKey, KEY_SET_VALUE))
        return err;
    int64_t id = call.Key();
    if (LONG err = PutValue(call.Db(), id, name, dwType, lpData, cbData))
        return err;
    return call.Commit();
}

extern "C" LSTATUS APIENTRY RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    KeyCall call(true);
    if (LONG err = call.Begin(hKey, KEY_SET_VALUE))
        return err;
    int64_t id = call.Key();
    if (LONG err = DropValue(call.Db(), id, lpValueName ? lpValueName : ""))
        return err;
    return call.Commit();
}
