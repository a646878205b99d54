#include "valuestore.h"

#include "keyname.h"
#include "statement.h"

namespace twk::reg {

namespace {

LONG ReadRow(Statement &st, Value *value)
{
    int rc = st.Step();
    if (rc == SQLITE_ROW) {
        value->name = st.Text(0);
        value->type = static_cast<DWORD>(st.Int(1));
        value->data = st.Blob(2);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : ErrorFromSqlite(rc);
}

} // namespace

LONG GetValue(sqlite3 *db, int64_t key, const std::string &name, Value *value)
{
    Statement st(db, "SELECT name, type, data FROM vals WHERE key = ?1 AND folded = ?2");
    st.Bind(1, key);
    st.Bind(2, FoldName(name));
    return ReadRow(st, value);
}

LONG PutValue(sqlite3 *db, int64_t key, const std::string &name, DWORD type, const BYTE *data, DWORD size)
{
    Statement st(db, "INSERT INTO vals(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)"
                     " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
    st.Bind(1, key);
    st.Bind(2, name);
    st.Bind(3, FoldName(name));
    st.Bind(4, static_cast<int64_t>(type));
    st.BindBlob(5, data, size);
    return st.Run();
}

LONG DropValue(sqlite3 *db, int64_t key, const std::string &name)
{
    Statement st(db, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
    st.Bind(1, key);
    st.Bind(2, FoldName(name));
    if (LONG err = st.Run())
        return err;
    return sqlite3_changes(db) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG ValueAt(sqlite3 *db, int64_t key, DWORD index, Value *value)
{
    Statement st(db, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
    st.Bind(1, key);
    st.Bind(2, static_cast<int64_t>(index));
    LONG err = ReadRow(st, value);
    return err == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : err;
}

} // namespace twk::reg
