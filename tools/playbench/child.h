// Child processes of the benchmark: started with extra environment variables and
// their output in a file, watched without blocking, measured when they end.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace playbench {

struct Usage {
    double cpuSeconds = 0;   // user + system
    long peakRssKb = 0;
};

class Child {
public:
    Child() = default;
    ~Child();                // stops the process if it still runs
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // Starts argv[0] with the environment plus env, output (both streams) to log.
    bool Start(const std::vector<std::string> &argv, const std::vector<std::pair<std::string, std::string>> &env,
               const std::string &log);
    // True once the process has ended; its status and usage are then known.
    bool Ended();
    // Waits at most timeoutMs for the end; false if it still runs.
    bool WaitEnd(int timeoutMs);
    // SIGTERM, then SIGKILL after a second; waits for the end.
    void Stop();
    // The resident set size now, in kB; 0 when it cannot be read.
    long RssKb() const;

    pid_t Pid() const { return m_pid; }
    int ExitCode() const { return m_exitCode; }   // -signal when killed by one
    const Usage &Used() const { return m_usage; }

private:
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_exitCode = -1;
    Usage m_usage;
};

// Runs a program to its end (at most timeoutMs); its exit code, or -1.
int RunToEnd(const std::vector<std::string> &argv, const std::vector<std::pair<std::string, std::string>> &env,
             const std::string &log, int timeoutMs);

// Stops every child still running (before the benchmark exits on a failure).
void StopAllChildren();

// Set by SIGINT and SIGTERM: every wait gives up and the benchmark stops its children.
bool StopRequested();
void InstallStopHandlers();

} // namespace playbench
