#include "twtesting.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <filesystem>
#include <fcntl.h>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace twtest {

TempDir::TempDir()
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/twtest.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(strerror(errno)));
    m_path = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(const char *name, const char *value) : m_name(name)
{
    if (const char *old = getenv(name)) {
        m_hadOld = true;
        m_old = old;
    }
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (m_hadOld)
        setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ScratchRegistry::ScratchRegistry()
    : m_path(m_dir.file("registry.db")), m_env("TARNWICK_REGISTRY", m_path.c_str())
{
}

namespace {

// In a forked child: output to outFd, no input, the working directory, then the
// program. Never returns.
[[noreturn]] void ExecChild(const std::vector<std::string> &argv, int outFd, const std::string &workingDir)
{
    dup2(outFd, 1);
    dup2(outFd, 2);
    close(outFd);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0)
        dup2(devnull, 0);
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0)
        _exit(127);
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

int ExitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

} // namespace

ProcessResult RunProcess(const std::vector<std::string> &argv, const std::string &workingDir)
{
    ProcessResult result;
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return result;
    pid_t pid = fork();
    if (pid == 0) {
        close(pipefd[0]);
        ExecChild(argv, pipefd[1], workingDir);
    }
    close(pipefd[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0)
        result.output.append(buf, static_cast<size_t>(n));
    close(pipefd[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        result.exitCode = ExitCodeOf(status);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string> &argv, const std::string &logPath,
                                     const std::string &workingDir)
{
    pid_t pid = fork();
    if (pid == 0) {
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log < 0)
            log = open("/dev/null", O_WRONLY);
        ExecChild(argv, log, workingDir);
    }
    m_pid = pid;
}

BackgroundProcess::~BackgroundProcess()
{
    stop();
}

bool BackgroundProcess::running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = ExitCodeOf(status);
        m_pid = -1;
        return false;
    }
    return true;
}

int BackgroundProcess::stop()
{
    if (m_pid <= 0)
        return m_status;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (!running())
            return m_status;
        usleep(10000);
    }
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_status = ExitCodeOf(status);
    m_pid = -1;
    return m_status;
}

bool WaitForFile(const std::string &path, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && st.st_size > 0)
            return true;
        usleep(10000);
    }
    return false;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool FileExists(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}

std::string BinPath(const std::string &name)
{
    return std::string(TW_BIN_DIR) + "/" + name;
}

std::string TestPath(const std::string &name)
{
    return std::string(TW_TEST_DIR) + "/" + name;
}

std::string Md5Hex(const std::string &bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_md5(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < len; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

} // namespace twtest
