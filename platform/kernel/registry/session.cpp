#include "session.h"

#include <chrono>
#include <cstdlib>
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

// The log is copied into the database file once it holds this many pages
// (4 KB each), so that the file does not lag far behind what was committed.
constexpr int kCheckpointPages = 64;

std::mutex g_registryLock;
Connection g_connection; // g_registryLock

void CloseConnection()
{
    // A connection inherited across fork() belongs to the parent; using or
    // closing it here could disturb the parent's locks, so it is dropped.
    if (g_connection.db && g_connection.pid == getpid()) {
        // Everything committed goes into the database file itself, so that the
        // file alone (a backup, a copy) holds every value. Closing the last
        // connection would do it too, but not while another process has the
        // database open; a passive checkpoint copies what no reader still needs.
        sqlite3_wal_checkpoint_v2(g_connection.db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        sqlite3_close_v2(g_connection.db);
    }
    g_connection = Connection();
}

void CloseAtExit()
{
    std::lock_guard<std::mutex> guard(g_registryLock);
    CloseConnection();
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
    if (rc == SQLITE_OK)
        rc = sqlite3_wal_autocheckpoint(db, kCheckpointPages);
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

// A file URI for SQLite: the path with %, ? and # escaped.
std::string FileUri(const std::string &path, const char *query)
{
    std::string uri = "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            const char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[static_cast<unsigned char>(c) >> 4];
            uri += hex[c & 0xF];
        } else {
            uri += c;
        }
    }
    return uri + "?" + query;
}

// A database the user may read but not change (the file or its directory is
// read-only) is opened read-only: queries work, writes fail with
// ERROR_ACCESS_DENIED. Without a writable directory, the log and its index
// cannot be created beside the file; nobody can change the file then, so it is
// read as it stands.
int OpenReadOnly(const std::string &path, bool directoryWritable, sqlite3 **db)
{
    if (directoryWritable)
        return sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    return sqlite3_open_v2(FileUri(path, "immutable=1").c_str(), db,
                           SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
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
    const bool directoryWritable = access(parent.empty() ? "." : parent.c_str(), W_OK) == 0;
    const bool readOnly = access(path.c_str(), F_OK) == 0 && (!directoryWritable || access(path.c_str(), W_OK) != 0);
    sqlite3 *db = nullptr;
    int rc = readOnly ? OpenReadOnly(path, directoryWritable, &db)
                      : sqlite3_open_v2(path.c_str(), &db,
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc == SQLITE_NOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_IO_FAILED;
    }
    if (readOnly)
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
    else if (LONG err = Configure(db)) {
        sqlite3_close_v2(db);
        return err;
    }
    static const bool closedAtExit = std::atexit(CloseAtExit) == 0;
    (void)closedAtExit;
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
