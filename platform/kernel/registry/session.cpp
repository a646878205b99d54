#include "session.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "dbpath.h"
#include "statement.h"

namespace twk::reg {

namespace {

// Long enough for a burst of writers in other processes to finish; each write
// is one short transaction.
constexpr int kBusyTimeoutMs = 60000;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " folded TEXT NOT NULL,"
    " UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " folded TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, folded));"
    "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES"
    " (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
    " (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
    " (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE');";

struct Connection {
    sqlite3 *db = nullptr;
    std::string path;
    pid_t pid = 0;
};

std::mutex g_registryLock;
Connection g_connection;

void CloseConnection()
{
    // A connection inherited across fork() belongs to the parent; using or
    // closing it here could disturb the parent's locks, so it is dropped.
    if (g_connection.db && g_connection.pid == getpid())
        sqlite3_close_v2(g_connection.db);
    g_connection = Connection();
}

LONG Configure(sqlite3 *db)
{
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // WAL: readers never block the writer, and a killed process leaves every
    // committed transaction in place. NORMAL sync keeps commits cheap; they are
    // durable against process crashes, and RegFlushKey checkpoints to the file.
    // Switching a new database to WAL needs it to itself for a moment, and that
    // wait does not go through the busy handler: retry while another process
    // is setting the same database up.
    int rc;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    while ((rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr)) == SQLITE_BUSY &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return ErrorFromSqlite(rc);
    Transaction tx(db, true);
    if (LONG err = tx.Begin())
        return err;
    rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return ErrorFromSqlite(rc);
    return tx.Commit();
}

LONG OpenConnection(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
        std::filesystem::create_directories(parent, ec);
        if (ec)
            return ERROR_REGISTRY_IO_FAILED;
    }
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc == SQLITE_NOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_IO_FAILED;
    }
    if (LONG err = Configure(db)) {
        sqlite3_close_v2(db);
        return err;
    }
    g_connection.db = db;
    g_connection.path = path;
    g_connection.pid = getpid();
    return ERROR_SUCCESS;
}

} // namespace

Session::Session() : m_lock(g_registryLock)
{
}

LONG Session::Open()
{
    std::string path = RegistryDatabasePath();
    if (path.empty())
        return ERROR_REGISTRY_IO_FAILED;
    if (g_connection.db && g_connection.path == path && g_connection.pid == getpid())
        return ERROR_SUCCESS;
    CloseConnection();
    return OpenConnection(path);
}

sqlite3 *Session::Db() const
{
    return g_connection.db;
}

const std::string &Session::Path() const
{
    return g_connection.path;
}

} // namespace twk::reg
