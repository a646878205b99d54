#include "child.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace playbench {
namespace {

volatile std::sig_atomic_t g_stop = 0;   // written by the signal handler only
std::vector<Child *> g_children;          // started and not yet destroyed; main thread only

void OnStop(int)
{
    g_stop = 1;
}

} // namespace

bool StopRequested()
{
    return g_stop != 0;
}

void InstallStopHandlers()
{
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

Child::~Child()
{
    Stop();
    g_children.erase(std::remove(g_children.begin(), g_children.end(), this), g_children.end());
}

void StopAllChildren()
{
    for (Child *child : g_children)
        child->Stop();
}

bool Child::Start(const std::vector<std::string> &argv, const std::vector<std::pair<std::string, std::string>> &env,
                  const std::string &log)
{
    std::vector<std::string> environment;
    for (char **e = environ; *e; ++e) {
        bool replaced = false;
        for (const auto &kv : env)
            replaced = replaced || std::strncmp(*e, (kv.first + "=").c_str(), kv.first.size() + 1) == 0;
        if (!replaced)
            environment.emplace_back(*e);
    }
    for (const auto &kv : env)
        environment.push_back(kv.first + "=" + kv.second);
    std::vector<char *> args, envp;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string &e : environment)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    int rc = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "playbench: cannot start %s: %s\n", args[0], std::strerror(rc));
        m_pid = -1;
        return false;
    }
    m_ended = false;
    if (std::find(g_children.begin(), g_children.end(), this) == g_children.end())
        g_children.push_back(this);
    return true;
}

bool Child::Ended()
{
    if (m_pid <= 0 || m_ended)
        return true;
    int status = 0;
    rusage ru{};
    pid_t r = wait4(m_pid, &status, WNOHANG, &ru);
    if (r == 0 || (r < 0 && errno == EINTR))
        return false;
    m_ended = true;
    if (r == m_pid) {
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
        m_usage.cpuSeconds = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                             double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
        m_usage.peakRssKb = ru.ru_maxrss;
    }
    return true;
}

bool Child::WaitEnd(int timeoutMs)
{
    for (int waited = 0; !Ended(); waited += 10) {
        if (waited >= timeoutMs || StopRequested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void Child::Stop()
{
    if (Ended())
        return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 100 && !Ended(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!Ended()) {
        kill(m_pid, SIGKILL);
        while (!Ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

long Child::RssKb() const
{
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

int RunToEnd(const std::vector<std::string> &argv, const std::vector<std::pair<std::string, std::string>> &env,
             const std::string &log, int timeoutMs)
{
    Child child;
    if (!child.Start(argv, env, log))
        return -1;
    if (!child.WaitEnd(timeoutMs)) {
        child.Stop();
        return -1;
    }
    return child.ExitCode();
}

} // namespace playbench
