// The stream server as a real process for tests: started on a free port, which
// it prints on its first line of output.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <twtesting.h>

namespace strsrvtest {

class StreamServerProcess {
public:
    // Starts build/bin/stream-server --root root --listen 127.0.0.1:0 plus args.
    StreamServerProcess(const std::string &root, const std::vector<std::string> &args);
    bool Ok() const { return m_port > 0; }
    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" with another scheme if given.
    std::string Base(const std::string &scheme = "http") const;
    std::string Log() const;

private:
    std::string m_log;
    std::unique_ptr<twtest::BackgroundProcess> m_process;
    int m_port = 0;
};

} // namespace strsrvtest
