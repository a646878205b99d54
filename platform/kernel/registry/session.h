// Serialised access to the process's registry connection.
#pragma once
#include <mutex>
#include <string>

#include <sqlite3.h>
#include <windows.h>

namespace twk::reg {

// Held for the length of one registry call: takes the process-wide registry
// lock, and on Open() makes sure the connection is to the database the
// environment names now, opening or reopening it as needed.
class Session {
public:
    Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    LONG Open();
    sqlite3 *Db() const;
    // Resolved path of the open database.
    const std::string &Path() const;

private:
    std::unique_lock<std::mutex> m_lock;
};

} // namespace twk::reg
