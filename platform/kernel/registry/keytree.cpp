#include "keytree.h"

#include "keyname.h"
#include "statement.h"

namespace twk::reg {

namespace {

LONG FindSubKey(sqlite3 *db, int64_t parent, const std::string &name, int64_t *id)
{
    Statement st(db, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
    st.Bind(1, parent);
    st.Bind(2, FoldName(name));
    int rc = st.Step();
    if (rc == SQLITE_ROW) {
        *id = st.Int(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : ErrorFromSqlite(rc);
}

LONG AddSubKey(sqlite3 *db, int64_t parent, const std::string &name, int64_t *id)
{
    Statement st(db, "INSERT INTO keys(parent, name, folded) VALUES (?1, ?2, ?3)");
    st.Bind(1, parent);
    st.Bind(2, name);
    st.Bind(3, FoldName(name));
    if (LONG err = st.Run())
        return err;
    *id = sqlite3_last_insert_rowid(db);
    return ERROR_SUCCESS;
}

} // namespace

LONG KeyExists(sqlite3 *db, int64_t id)
{
    Statement st(db, "SELECT 1 FROM keys WHERE id = ?1");
    st.Bind(1, id);
    int rc = st.Step();
    if (rc == SQLITE_ROW)
        return ERROR_SUCCESS;
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : ErrorFromSqlite(rc);
}

LONG WalkKeyPath(sqlite3 *db, int64_t from, const std::vector<std::string> &parts, bool create, int64_t *id,
                 bool *created)
{
    int64_t current = from;
    bool madeLast = false;
    for (const std::string &part : parts) {
        int64_t next = 0;
        LONG err = FindSubKey(db, current, part, &next);
        madeLast = false;
        if (err == ERROR_FILE_NOT_FOUND && create) {
            err = AddSubKey(db, current, part, &next);
            madeLast = true;
        }
        if (err)
            return err;
        current = next;
    }
    *id = current;
    if (created)
        *created = madeLast;
    return ERROR_SUCCESS;
}

LONG RemoveKey(sqlite3 *db, int64_t id)
{
    {
        Statement st(db, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
        st.Bind(1, id);
        int rc = st.Step();
        if (rc == SQLITE_ROW)
            return ERROR_ACCESS_DENIED;
        if (rc != SQLITE_DONE)
            return ErrorFromSqlite(rc);
    }
    Statement values(db, "DELETE FROM vals WHERE key = ?1");
    values.Bind(1, id);
    if (LONG err = values.Run())
        return err;
    Statement key(db, "DELETE FROM keys WHERE id = ?1");
    key.Bind(1, id);
    return key.Run();
}

LONG SubKeyAt(sqlite3 *db, int64_t parent, DWORD index, std::string *name)
{
    Statement st(db, "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded, id LIMIT 1 OFFSET ?2");
    st.Bind(1, parent);
    st.Bind(2, static_cast<int64_t>(index));
    int rc = st.Step();
    if (rc == SQLITE_ROW) {
        *name = st.Text(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : ErrorFromSqlite(rc);
}

LONG QueryKeyInfo(sqlite3 *db, int64_t id, KeyInfo *info)
{
    Statement keys(db, "SELECT count(*), ifnull(max(length(CAST(name AS BLOB))), 0) FROM keys WHERE parent = ?1");
    keys.Bind(1, id);
    int rc = keys.Step();
    if (rc != SQLITE_ROW)
        return ErrorFromSqlite(rc);
    info->subKeys = static_cast<DWORD>(keys.Int(0));
    info->maxSubKeyLen = static_cast<DWORD>(keys.Int(1));
    Statement values(db, "SELECT count(*), ifnull(max(length(CAST(name AS BLOB))), 0), ifnull(max(length(data)), 0)"
                         " FROM vals WHERE key = ?1");
    values.Bind(1, id);
    rc = values.Step();
    if (rc != SQLITE_ROW)
        return ErrorFromSqlite(rc);
    info->values = static_cast<DWORD>(values.Int(0));
    info->maxValueNameLen = static_cast<DWORD>(values.Int(1));
    info->maxValueLen = static_cast<DWORD>(values.Int(2));
    return ERROR_SUCCESS;
}

} // namespace twk::reg
