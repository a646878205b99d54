// Opening, creating, closing, deleting and flushing keys.
#include <cstring>
#include <string>
#include <vector>

#include "keyhandles.h"
#include "keyname.h"
#include "keytree.h"
#include "keycall.h"
#include "session.h"
#include "statement.h"

using namespace twk::reg;

extern "C" LSTATUS APIENTRY RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (LONG err = SplitKeyPath(lpSubKey, &parts))
        return err;
    KeyCall call(false);
    if (LONG err = call.Begin(hKey, 0))
        return err;
    int64_t id = call.Key();
    if (LONG err = WalkKeyPath(call.Db(), id, parts, false, &id, nullptr))
        return err;
    *phkResult = AddHandle(call.session(), id, GrantedAccess(samDesired));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS APIENTRY RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    // With no sub-key the call hands back the handle it was given, as Windows does.
    if (!lpSubKey || !*lpSubKey) {
        Session session;
        if (LONG err = session.Open())
            return err;
        int64_t id = 0;
        if (LONG err = ResolveHandle(session, hKey, 0, &id))
            return err;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult);
}

// Class, options and security attributes are accepted and ignored: every key is
// stored, none carries a class or a security descriptor.
extern "C" LSTATUS APIENTRY RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::string> parts;
    if (LONG err = SplitKeyPath(lpSubKey, &parts))
        return err;
    KeyCall call(true);
    REGSAM parentAccess = 0;
    if (LONG err = call.Begin(hKey, 0, &parentAccess))
        return err;
    int64_t parent = call.Key();
    int64_t id = 0;
    bool created = false;
    LONG err = WalkKeyPath(call.Db(), parent, parts, false, &id, nullptr);
    if (err == ERROR_FILE_NOT_FOUND) {
        if (!(parentAccess & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        err = WalkKeyPath(call.Db(), parent, parts, true, &id, &created);
    }
    if (err)
        return err;
    if (LONG commitErr = call.Commit())
        return commitErr;
    *phkResult = AddHandle(call.session(), id, GrantedAccess(samDesired));
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS APIENTRY RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    if (!lpSubKey || !*lpSubKey)
        return RegOpenKeyA(hKey, lpSubKey, phkResult);
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr,
                           phkResult, nullptr);
}

extern "C" LSTATUS APIENTRY RegCloseKey(HKEY hKey)
{
    Session session;
    return RemoveHandle(hKey);
}

extern "C" LSTATUS APIENTRY RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    std::vector<std::string> parts;
    if (LONG err = SplitKeyPath(lpSubKey, &parts))
        return err;
    if (parts.empty())
        return ERROR_INVALID_PARAMETER;
    KeyCall call(true);
    if (LONG err = call.Begin(hKey, 0))
        return err;
    int64_t id = call.Key();
    if (LONG err = WalkKeyPath(call.Db(), id, parts, false, &id, nullptr))
        return err;
    if (LONG err = RemoveKey(call.Db(), id))
        return err;
    return call.Commit();
}

// Commits are already durable against a process crash; flushing also copies the
// write-ahead log into the database file and syncs it.
extern "C" LSTATUS APIENTRY RegFlushKey(HKEY hKey)
{
    Session session;
    if (LONG err = session.Open())
        return err;
    int64_t id = 0;
    if (LONG err = ResolveHandle(session, hKey, 0, &id))
        return err;
    int rc = sqlite3_wal_checkpoint_v2(session.Db(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    // Another process reading or writing just leaves part of the log for later.
    return rc == SQLITE_BUSY ? ERROR_SUCCESS : ErrorFromSqlite(rc);
}
