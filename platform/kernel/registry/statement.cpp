#include "statement.h"

namespace twk::reg {

LONG ErrorFromSqlite(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return ERROR_SUCCESS;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
    case SQLITE_ERROR: return ERROR_REGISTRY_CORRUPT;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_TOOBIG: return ERROR_INVALID_PARAMETER;
    default: return ERROR_REGISTRY_IO_FAILED;
    }
}

Statement::Statement(sqlite3 *db, const char *sql)
{
    m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::Bind(int index, int64_t value)
{
    if (m_rc == SQLITE_OK)
        m_rc = sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::Bind(int index, std::string_view text)
{
    if (m_rc == SQLITE_OK)
        m_rc = sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Statement::BindBlob(int index, const void *data, size_t size)
{
    if (m_rc != SQLITE_OK)
        return;
    // A null blob pointer would store NULL; an empty value is a zero-length blob.
    if (size == 0)
        m_rc = sqlite3_bind_zeroblob(m_stmt, index, 0);
    else
        m_rc = sqlite3_bind_blob64(m_stmt, index, data, size, SQLITE_TRANSIENT);
}

int Statement::Step()
{
    if (m_rc != SQLITE_OK)
        return m_rc;
    int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_rc = rc;
    return rc;
}

LONG Statement::Run()
{
    return ErrorFromSqlite(Step());
}

int64_t Statement::Int(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

std::string Statement::Text(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(m_stmt, column))) : std::string();
}

std::vector<BYTE> Statement::Blob(int column) const
{
    const auto *data = static_cast<const BYTE *>(sqlite3_column_blob(m_stmt, column));
    int size = sqlite3_column_bytes(m_stmt, column);
    return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
}

Transaction::Transaction(sqlite3 *db, bool write) : m_db(db), m_write(write)
{
}

Transaction::~Transaction()
{
    if (m_open)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

LONG Transaction::Begin()
{
    int rc = sqlite3_exec(m_db, m_write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr);
    m_open = rc == SQLITE_OK;
    return ErrorFromSqlite(rc);
}

LONG Transaction::Commit()
{
    int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        m_open = false;
    return ErrorFromSqlite(rc);
}

} // namespace twk::reg
