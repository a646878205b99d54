#include "keyhandles.h"

#include <string>
#include <unordered_map>

#include "keytree.h"

namespace twk::reg {

namespace {

struct KeyHandle {
    std::string db;
    int64_t id;
    REGSAM access;
};

constexpr REGSAM kAllKeyRights = KEY_ALL_ACCESS;

// Handle values are never reused within a process, so a stale copy of a closed
// handle is reported as invalid rather than reaching another key.
uintptr_t g_nextHandle = 0x1000;
std::unordered_map<uintptr_t, KeyHandle> g_handles;

bool PredefinedKey(HKEY key, int64_t *id)
{
    if (key == HKEY_CLASSES_ROOT)
        *id = kClassesRootId;
    else if (key == HKEY_CURRENT_USER)
        *id = kCurrentUserId;
    else if (key == HKEY_LOCAL_MACHINE)
        *id = kLocalMachineId;
    else
        return false;
    return true;
}

} // namespace

REGSAM GrantedAccess(REGSAM desired)
{
    if (desired & (MAXIMUM_ALLOWED | GENERIC_ALL))
        return kAllKeyRights;
    REGSAM granted = desired & kAllKeyRights;
    if (desired & GENERIC_READ)
        granted |= KEY_READ;
    if (desired & GENERIC_WRITE)
        granted |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE)
        granted |= KEY_EXECUTE;
    return granted;
}

HKEY AddHandle(const Session &session, int64_t id, REGSAM access)
{
    uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(value, KeyHandle{session.Path(), id, access});
    return reinterpret_cast<HKEY>(value);
}

LONG RemoveHandle(HKEY key)
{
    int64_t id;
    if (PredefinedKey(key, &id))
        return ERROR_SUCCESS;
    return g_handles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG ResolveHandle(Session &session, HKEY key, REGSAM needed, int64_t *id, REGSAM *access)
{
    REGSAM granted = kAllKeyRights;
    if (!PredefinedKey(key, id)) {
        auto it = g_handles.find(reinterpret_cast<uintptr_t>(key));
        if (it == g_handles.end())
            return ERROR_INVALID_HANDLE;
        if (it->second.db != session.Path())
            return ERROR_KEY_DELETED;
        *id = it->second.id;
        granted = it->second.access;
        if (LONG err = KeyExists(session.Db(), *id))
            return err;
    }
    if ((granted & needed) != needed)
        return ERROR_ACCESS_DENIED;
    if (access)
        *access = granted;
    return ERROR_SUCCESS;
}

} // namespace twk::reg
