// Test support shared by every test program: scratch directories, environment
// overrides and child processes.
#pragma once
#include <string>
#include <vector>

namespace twtest {

// A fresh directory under $TMPDIR, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Sets (or with a null value unsets) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_hadOld = false;
};

// A registry database of its own for the scope: TARNWICK_REGISTRY points into a scratch directory.
class ScratchRegistry {
public:
    ScratchRegistry();
    const std::string &path() const { return m_path; }

private:
    TempDir m_dir;
    std::string m_path;
    ScopedEnv m_env;
};

struct ProcessResult {
    int exitCode = -1;     // exit status, or -signal when killed by a signal
    std::string output;    // standard output and standard error, interleaved
};

// Runs a program to its end with the given arguments (argv[0] is the program path).
ProcessResult RunProcess(const std::vector<std::string> &argv, const std::string &workingDir = "");

// A program running in the background for the scope (a server under test). Its
// output goes to a file; the destructor ends it with SIGTERM, then SIGKILL.
class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string> &argv, const std::string &logPath,
                      const std::string &workingDir = "");
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess &) = delete;
    BackgroundProcess &operator=(const BackgroundProcess &) = delete;
    bool running();
    int stop(); // exit status as RunProcess reports it
    int pid() const { return m_pid; } // -1 once it has ended

private:
    int m_pid = -1;
    int m_status = -1;
};

// Polls until the file exists and is not empty, or the time-out passes.
bool WaitForFile(const std::string &path, int timeoutMs);

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &content);
bool FileExists(const std::string &path);

// The MD5 digest of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(const std::string &bytes);

// A disk that fills up: files of this process may not grow beyond the limit (writes
// past it fail with EFBIG) for the object's lifetime.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool set() const { return m_set; }

private:
    unsigned long long m_oldSoft = 0;
    void (*m_oldHandler)(int) = nullptr;
    bool m_set = false;
};

// Paths of the build's output directories.
std::string BinPath(const std::string &name);
std::string TestPath(const std::string &name);

} // namespace twtest
