// The start of every call on an open key: the process's database session, one
// transaction (a write takes the database's write lock at once), and the key the
// handle names, checked for the rights the call needs.
#pragma once
#include <cstdint>
#include <optional>

#include <windows.h>

#include "keyhandles.h"
#include "session.h"
#include "statement.h"

namespace twk::reg {

class KeyCall {
public:
    explicit KeyCall(bool write) : m_write(write) {}
    KeyCall(const KeyCall &) = delete;
    KeyCall &operator=(const KeyCall &) = delete;

    // Opens the session and the transaction and resolves the handle; the rights
    // the handle was opened with go to *granted when asked for.
    LONG Begin(HKEY hKey, REGSAM needed, REGSAM *granted = nullptr)
    {
        if (LONG err = m_session.Open())
            return err;
        m_tx.emplace(m_session.Db(), m_write);
        if (LONG err = m_tx->Begin())
            return err;
        return ResolveHandle(m_session, hKey, needed, &m_key, granted);
    }

    Session &session() { return m_session; }
    sqlite3 *Db() const { return m_session.Db(); }
    int64_t Key() const { return m_key; }
    LONG Commit() { return m_tx->Commit(); }

private:
    bool m_write;
    Session m_session;
    std::optional<Transaction> m_tx; // after the session: ended before it
    int64_t m_key = 0;
};

} // namespace twk::reg
