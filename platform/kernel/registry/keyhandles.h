// Open key handles of the process. Called with a Session held.
#pragma once
#include <cstdint>

#include <windows.h>

#include "session.h"

namespace twk::reg {

// Expands generic rights and MAXIMUM_ALLOWED into the key rights they grant.
REGSAM GrantedAccess(REGSAM desired);

// A new handle on a key of the session's database.
HKEY AddHandle(const Session &session, int64_t id, REGSAM access);

// ERROR_INVALID_HANDLE for a handle that is not open. Predefined keys need no closing.
LONG RemoveHandle(HKEY key);

// The key a handle names, checked: ERROR_INVALID_HANDLE, ERROR_KEY_DELETED (also
// for a handle on another database than the current one), ERROR_ACCESS_DENIED
// when the handle lacks any of the needed rights, or a database error.
LONG ResolveHandle(Session &session, HKEY key, REGSAM needed, int64_t *id, REGSAM *access = nullptr);

} // namespace twk::reg
