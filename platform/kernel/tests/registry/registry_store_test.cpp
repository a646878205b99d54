// The registry database: its location, damage, and concurrent writers in
// threads and processes, including one killed mid-write.
#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include "twtesting.h"

namespace {

LONG SetSz(HKEY key, const std::string &name, const std::string &text)
{
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

std::string GetSz(HKEY root, const char *path, const std::string &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    std::vector<char> buf(4096);
    DWORD size = static_cast<DWORD>(buf.size() - 1);
    LONG err = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(buf.data()), &size);
    RegCloseKey(key);
    return err == ERROR_SUCCESS ? std::string(buf.data()) : "<missing>";
}

DWORD ValueCount(const char *path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
}

TEST(RegistryStore, CreatedWithItsFoldersUnderTheConfigDirectory)
{
    twtest::TempDir dir;
    twtest::ScopedEnv noOverride("TARNWICK_REGISTRY", nullptr);
    twtest::ScopedEnv config("XDG_CONFIG_HOME", (dir.path() + "/cfg").c_str());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Where", &key));
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "v", "here"));
    RegCloseKey(key);
    EXPECT_TRUE(twtest::FileExists(dir.path() + "/cfg/tarnwick/registry.db"));

    // Without XDG_CONFIG_HOME the store is under ~/.config.
    twtest::ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
    twtest::ScopedEnv home("HOME", (dir.path() + "/home").c_str());
    EXPECT_EQ("<no key>", GetSz(HKEY_CURRENT_USER, "Software\\Where", "v"));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Home", &key));
    RegCloseKey(key);
    EXPECT_TRUE(twtest::FileExists(dir.path() + "/home/.config/tarnwick/registry.db"));
}

TEST(RegistryStore, FollowsTheEnvironmentBetweenCalls)
{
    twtest::TempDir dir;
    HKEY stale = nullptr;
    {
        twtest::ScopedEnv first("TARNWICK_REGISTRY", dir.file("one.db").c_str());
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "K", &stale));
        ASSERT_EQ(ERROR_SUCCESS, SetSz(stale, "v", "one"));
    }
    {
        twtest::ScopedEnv second("TARNWICK_REGISTRY", dir.file("two.db").c_str());
        EXPECT_EQ("<no key>", GetSz(HKEY_CURRENT_USER, "K", "v"));
        // A handle opened on the other database does not reach into this one.
        EXPECT_EQ(ERROR_KEY_DELETED, SetSz(stale, "v", "two"));
    }
    twtest::ScopedEnv first("TARNWICK_REGISTRY", dir.file("one.db").c_str());
    EXPECT_EQ("one", GetSz(HKEY_CURRENT_USER, "K", "v"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(stale));
}

TEST(RegistryStore, DamagedOrUnreachableDatabaseFailsWithAnError)
{
    twtest::TempDir dir;
    std::string garbage;
    for (int i = 0; i < 512; ++i)
        garbage += "this is no database at all; ";
    twtest::WriteFile(dir.file("bad.db"), garbage);
    {
        twtest::ScopedEnv bad("TARNWICK_REGISTRY", dir.file("bad.db").c_str());
        HKEY key = nullptr;
        LONG err = RegCreateKeyA(HKEY_CURRENT_USER, "K", &key);
        EXPECT_TRUE(err == ERROR_REGISTRY_CORRUPT || err == ERROR_REGISTRY_IO_FAILED) << err;
        DWORD size = 0;
        err = RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, nullptr, &size);
        EXPECT_TRUE(err == ERROR_REGISTRY_CORRUPT || err == ERROR_REGISTRY_IO_FAILED) << err;
        EXPECT_EQ(garbage, twtest::ReadFile(dir.file("bad.db"))) << "a damaged file is left alone";
    }
    {
        // The parent "directory" is a regular file.
        twtest::WriteFile(dir.file("plain"), "x");
        twtest::ScopedEnv unreachable("TARNWICK_REGISTRY", (dir.file("plain") + "/sub/registry.db").c_str());
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegCreateKeyA(HKEY_CURRENT_USER, "K", &key));
    }
    // A good database afterwards works again.
    twtest::ScopedEnv good("TARNWICK_REGISTRY", dir.file("good.db").c_str());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "K", &key));
    RegCloseKey(key);
}

TEST(RegistryStore, ThreadsWritingAtOnceLoseNothing)
{
    twtest::ScratchRegistry registry;
    constexpr int kThreads = 4;
    constexpr int kValues = 100;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            HKEY key = nullptr;
            if (RegCreateKeyA(HKEY_CURRENT_USER, "Threads\\Shared", &key) != ERROR_SUCCESS) {
                ++failures[t];
                return;
            }
            for (int i = 0; i < kValues; ++i) {
                std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
                if (SetSz(key, name, name) != ERROR_SUCCESS)
                    ++failures[t];
                // Interleave readers and other keys with the writers.
                if (GetSz(HKEY_CURRENT_USER, "Threads\\Shared", name) != name)
                    ++failures[t];
                HKEY own = nullptr;
                if (RegCreateKeyA(key, ("own" + std::to_string(t)).c_str(), &own) == ERROR_SUCCESS)
                    RegCloseKey(own);
                else
                    ++failures[t];
            }
            RegCloseKey(key);
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(std::vector<int>(kThreads, 0), failures);
    EXPECT_EQ(static_cast<DWORD>(kThreads * kValues), ValueCount("Threads\\Shared"));
}

TEST(RegistryStore, TwoProcessesWritingAtOnceLoseNothing)
{
    twtest::ScratchRegistry registry;
    constexpr int kValues = 300;
    const std::string writer = twtest::TestPath("regwriter");
    twtest::ProcessResult results[2];
    std::thread second([&] { results[1] = twtest::RunProcess({writer, "Procs", "b", std::to_string(kValues)}); });
    results[0] = twtest::RunProcess({writer, "Procs", "a", std::to_string(kValues)});
    second.join();
    ASSERT_EQ(0, results[0].exitCode) << results[0].output;
    ASSERT_EQ(0, results[1].exitCode) << results[1].output;
    EXPECT_EQ(static_cast<DWORD>(2 * kValues), ValueCount("Procs"));
    for (const char *prefix : {"a", "b"})
        for (int i = 0; i < kValues; i += 37) {
            std::string name = prefix + std::to_string(i);
            EXPECT_EQ(name + ":" + std::string(512, 'x'), GetSz(HKEY_CURRENT_USER, "Procs", name));
        }
}

TEST(RegistryStore, ProcessKilledMidWriteLeavesCommittedValues)
{
    twtest::ScratchRegistry registry;
    int out[2];
    ASSERT_EQ(0, pipe(out));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        const std::string writer = twtest::TestPath("regwriter");
        execl(writer.c_str(), writer.c_str(), "Killed", "v", "1000000", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE *lines = fdopen(out[0], "r");
    ASSERT_NE(nullptr, lines);
    std::set<int> committed;
    char line[64];
    while (committed.size() < 400 && fgets(line, sizeof line, lines)) {
        int index = -1;
        if (sscanf(line, "committed %d", &index) == 1)
            committed.insert(index);
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    // Indices the child printed before it died are committed too.
    while (fgets(line, sizeof line, lines)) {
        int index = -1;
        if (sscanf(line, "committed %d", &index) == 1)
            committed.insert(index);
    }
    fclose(lines);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer finished before it could be killed";
    ASSERT_GE(committed.size(), 400u);

    std::set<int> missing;
    for (int index : committed) {
        std::string name = "v" + std::to_string(index);
        if (GetSz(HKEY_CURRENT_USER, "Killed", name) != name + ":" + std::string(512, 'x'))
            missing.insert(index);
    }
    EXPECT_TRUE(missing.empty()) << missing.size() << " committed values lost, first " << *missing.begin();
    EXPECT_GE(ValueCount("Killed"), committed.size());
    EXPECT_LE(ValueCount("Killed"), committed.size() + 1) << "at most the write in flight may have landed";

    // The store takes writes again.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Killed", &key));
    EXPECT_EQ(ERROR_SUCCESS, SetSz(key, "after", "ok"));
    RegCloseKey(key);
}

} // namespace
