// Reading, writing and deleting values.
#include <cstring>
#include <string>

#include "handles.h"
#include "keyname.h"
#include "session.h"
#include "statement.h"
#include "valuestore.h"

using namespace twk::reg;

extern "C" LSTATUS APIENTRY RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                             LPDWORD lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    Session session;
    if (LONG err = session.Open())
        return err;
    Transaction tx(session.Db(), false);
    if (LONG err = tx.Begin())
        return err;
    int64_t id = 0;
    if (LONG err = ResolveHandle(session, hKey, KEY_QUERY_VALUE, &id))
        return err;
    Value value;
    if (LONG err = GetValue(session.Db(), id, lpValueName ? lpValueName : "", &value))
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
    Session session;
    if (LONG err = session.Open())
        return err;
    Transaction tx(session.Db(), true);
    if (LONG err = tx.Begin())
        return err;
    int64_t id = 0;
    if (LONG err = ResolveHandle(session, hKey, KEY_SET_VALUE, &id))
        return err;
    if (LONG err = PutValue(session.Db(), id, name, dwType, lpData, cbData))
        return err;
    return tx.Commit();
}

extern "C" LSTATUS APIENTRY RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    Session session;
    if (LONG err = session.Open())
        return err;
    Transaction tx(session.Db(), true);
    if (LONG err = tx.Begin())
        return err;
    int64_t id = 0;
    if (LONG err = ResolveHandle(session, hKey, KEY_SET_VALUE, &id))
        return err;
    if (LONG err = DropValue(session.Db(), id, lpValueName ? lpValueName : ""))
        return err;
    return tx.Commit();
}
