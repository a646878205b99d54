#include "serverprocess.h"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace strsrvtest {

StreamServerProcess::StreamServerProcess(const std::string &root, const std::vector<std::string> &args)
{
    static int counter = 0;
    m_log = root + "/server-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".log";
    std::vector<std::string> argv = {twtest::BinPath("stream-server"), "--root", root, "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), args.begin(), args.end());
    m_process = std::make_unique<twtest::BackgroundProcess>(argv, m_log);
    for (int i = 0; i < 200 && m_port == 0 && m_process->running(); ++i) {
        std::string text = twtest::ReadFile(m_log);
        size_t eol = text.find('\n');
        if (eol != std::string::npos)
            m_port = atoi(text.substr(0, eol).c_str());
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

std::string StreamServerProcess::Base(const std::string &scheme) const
{
    return scheme + "://127.0.0.1:" + std::to_string(m_port);
}

std::string StreamServerProcess::Log() const
{
    return twtest::ReadFile(m_log);
}

} // namespace strsrvtest
