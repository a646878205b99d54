// A prepared SQLite statement and a transaction, both released on scope exit.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <sqlite3.h>
#include <windows.h>

namespace twk::reg {

// Win32 error code for an SQLite result code.
LONG ErrorFromSqlite(int rc);

class Statement {
public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Parameters are numbered from 1, as in SQL.
    void Bind(int index, int64_t value);
    void Bind(int index, std::string_view text);
    void BindBlob(int index, const void *data, size_t size);

    // SQLITE_ROW, SQLITE_DONE or an error (also a failed prepare or bind).
    int Step();
    // Steps a statement that yields no rows: ERROR_SUCCESS or the mapped error.
    LONG Run();

    int64_t Int(int column) const;
    std::string Text(int column) const;
    std::vector<BYTE> Blob(int column) const;

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// BEGIN IMMEDIATE for a write, so that the busy timeout covers the wait for the
// write lock; a plain BEGIN for a read, which gives one consistent snapshot.
// Rolled back unless committed.
class Transaction {
public:
    Transaction(sqlite3 *db, bool write);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    LONG Begin();
    LONG Commit();

private:
    sqlite3 *m_db;
    bool m_write;
    bool m_open = false;
};

} // namespace twk::reg
