// Values in the database. Every call runs inside the caller's transaction.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <windows.h>

namespace twk::reg {

struct Value {
    std::string name;  // as first stored
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// A value by name, compared case-insensitively; "" is the key's default value.
// ERROR_FILE_NOT_FOUND when missing.
LONG GetValue(sqlite3 *db, int64_t key, const std::string &name, Value *value);

// Stores the bytes as given. An existing value keeps its spelling and its place in enumeration order.
LONG PutValue(sqlite3 *db, int64_t key, const std::string &name, DWORD type, const BYTE *data, DWORD size);

// ERROR_FILE_NOT_FOUND when missing.
LONG DropValue(sqlite3 *db, int64_t key, const std::string &name);

// The index'th value in the order values were first set; ERROR_NO_MORE_ITEMS past the end.
LONG ValueAt(sqlite3 *db, int64_t key, DWORD index, Value *value);

} // namespace twk::reg
