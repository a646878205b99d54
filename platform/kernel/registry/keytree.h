// Keys in the database: lookup, creation, removal and enumeration. Every call
// runs inside the caller's transaction.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <windows.h>

namespace twk::reg {

// Row ids of the three root keys, fixed by the schema.
constexpr int64_t kClassesRootId = 1;
constexpr int64_t kCurrentUserId = 2;
constexpr int64_t kLocalMachineId = 3;

// ERROR_SUCCESS, ERROR_KEY_DELETED or a database error.
LONG KeyExists(sqlite3 *db, int64_t id);

// Follows a split path from a key. ERROR_FILE_NOT_FOUND when a step is missing,
// unless create is set: then the missing keys are made, and *created tells
// whether the last one was new.
LONG WalkKeyPath(sqlite3 *db, int64_t from, const std::vector<std::string> &parts, bool create, int64_t *id,
                 bool *created);

// Removes a key without subkeys, with its values. ERROR_ACCESS_DENIED when it has subkeys.
LONG RemoveKey(sqlite3 *db, int64_t id);

// Name of the index'th subkey in folded-name order; ERROR_NO_MORE_ITEMS past the end.
LONG SubKeyAt(sqlite3 *db, int64_t parent, DWORD index, std::string *name);

struct KeyInfo {
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0;     // bytes, without the terminator
    DWORD values = 0;
    DWORD maxValueNameLen = 0;  // bytes, without the terminator
    DWORD maxValueLen = 0;      // bytes
};
LONG QueryKeyInfo(sqlite3 *db, int64_t id, KeyInfo *info);

} // namespace twk::reg
