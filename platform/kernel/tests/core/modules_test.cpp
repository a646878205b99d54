// The module loader with a real module file beside the test program.
#include "testmodule.h"

#include <gtest/gtest.h>
#include <twtesting.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char kModule[] = "TwTestModule.dll";

// An export as a typed function pointer (through void (*)(), which converts silently).
template <class Function>
Function *Export(HMODULE module, const char *name)
{
    return reinterpret_cast<Function *>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::string ModuleFile(HMODULE module)
{
    char path[4096];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, n);
}

// Points the module's counters at a fresh struct for the test's scope.
class ModuleTest : public ::testing::Test {
protected:
    ModuleTest() : m_env("TW_TESTMOD_COUNTERS", Address().c_str()) {}
    std::string Address()
    {
        char text[32];
        std::snprintf(text, sizeof text, "%p", static_cast<void *>(&m_counters));
        return text;
    }
    void CopyModuleTo(const std::string &path)
    {
        std::filesystem::copy_file(twtest::TestPath(kModule), path);
    }
    TestModuleCounters m_counters{};
    twtest::ScopedEnv m_env;
};

TEST_F(ModuleTest, AttachOnceDetachOnLastFree)
{
    HMODULE first = LoadLibraryA(kModule);
    ASSERT_NE(first, nullptr) << GetLastError();
    EXPECT_EQ(m_counters.attaches, 1);
    EXPECT_EQ(m_counters.lastInstance, first); // DllMain gets the handle LoadLibraryA returns

    HMODULE second = LoadLibraryA(kModule);
    EXPECT_EQ(second, first);
    EXPECT_EQ(m_counters.attaches, 1);
    EXPECT_EQ(GetModuleHandleA("twtestmodule.DLL"), first);

    auto answer = Export<int()>(first, "TestModuleAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    auto instance = Export<HINSTANCE()>(first, "TestModuleInstance");
    EXPECT_EQ(instance(), first);
    EXPECT_EQ(GetProcAddress(first, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    // An export of a library the module depends on is not the module's own.
    EXPECT_EQ(GetProcAddress(first, "LoadLibraryA"), nullptr);

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(m_counters.detaches, 0);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(m_counters.detaches, 1);
    EXPECT_EQ(GetModuleHandleA(kModule), nullptr);
    EXPECT_FALSE(FreeLibrary(first));

    // Loading again after the last free attaches again.
    HMODULE third = LoadLibraryA(kModule);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(m_counters.attaches, 2);
    FreeLibrary(third);
}

TEST_F(ModuleTest, EverySpellingOfThePathIsOneModule)
{
    std::string dir = std::filesystem::path(twtest::TestPath(kModule)).parent_path().string();
    std::string windowsStyle = dir;
    for (char &c : windowsStyle)
        if (c == '/')
            c = '\\';
    HMODULE byName = LoadLibraryA("TwTestModule"); // ".dll" is implied
    ASSERT_NE(byName, nullptr);
    HMODULE byPath = LoadLibraryA((dir + "/./TwTestModule.dll").c_str());
    HMODULE byBackslashes = LoadLibraryA((windowsStyle + "\\TwTestModule.dll").c_str());
    EXPECT_EQ(byPath, byName);
    EXPECT_EQ(byBackslashes, byName);
    EXPECT_EQ(m_counters.attaches, 1);
    EXPECT_EQ(ModuleFile(byName), dir + "/TwTestModule.dll");
    FreeLibrary(byName);
    FreeLibrary(byPath);
    EXPECT_EQ(m_counters.detaches, 0);
    FreeLibrary(byBackslashes);
    EXPECT_EQ(m_counters.detaches, 1);
}

TEST_F(ModuleTest, SearchesExecutableDirectoryThenCurrentDirectory)
{
    twtest::TempDir temp;
    CopyModuleTo(temp.file("TwTestModule.dll"));
    CopyModuleTo(temp.file("CwdOnly.dll"));
    char previous[4096];
    ASSERT_TRUE(GetCurrentDirectoryA(sizeof previous, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(temp.path().c_str()));

    HMODULE exeDir = LoadLibraryA("TwTestModule.dll");
    HMODULE cwd = LoadLibraryA("CwdOnly.dll");
    SetCurrentDirectoryA(previous);

    ASSERT_NE(exeDir, nullptr);
    ASSERT_NE(cwd, nullptr);
    EXPECT_NE(exeDir, cwd);
    EXPECT_EQ(ModuleFile(exeDir), twtest::TestPath(kModule));
    std::string tempReal = std::filesystem::canonical(temp.path()).string();
    EXPECT_EQ(ModuleFile(cwd), tempReal + "/CwdOnly.dll");
    EXPECT_EQ(GetModuleHandleA("CwdOnly.dll"), cwd);
    EXPECT_EQ(GetModuleHandleA((tempReal + "\\CwdOnly.dll").c_str()), cwd);
    EXPECT_EQ(m_counters.attaches, 2);
    FreeLibrary(exeDir);
    FreeLibrary(cwd);
    EXPECT_EQ(m_counters.detaches, 2);
}

TEST_F(ModuleTest, MissingModuleAndFailedAttach)
{
    EXPECT_EQ(LoadLibraryA("NoSuchModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA("/no/such/dir/NoSuchModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);

    twtest::TempDir temp;
    twtest::WriteFile(temp.file("Garbage.dll"), "not an ELF file");
    EXPECT_EQ(LoadLibraryA(temp.file("Garbage.dll").c_str()), nullptr);
    EXPECT_NE(GetLastError(), (DWORD)ERROR_SUCCESS);

    twtest::ScopedEnv fail("TW_TESTMOD_FAIL", "1");
    EXPECT_EQ(LoadLibraryA(kModule), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DLL_INIT_FAILED);
    EXPECT_EQ(m_counters.attaches, 1);
    EXPECT_EQ(m_counters.detaches, 1); // told it is going away
    EXPECT_EQ(GetModuleHandleA(kModule), nullptr);
}

// A module file cut short anywhere (a half-finished copy) fails to load with
// ERROR_BAD_EXE_FORMAT instead of killing the process when it is mapped.
TEST_F(ModuleTest, TruncatedModuleFailsWithBadExeFormat)
{
    const std::string whole = twtest::ReadFile(twtest::TestPath(kModule));
    ASSERT_GT(whole.size(), 4096u);
    twtest::TempDir temp;
    size_t refused = 0;
    for (size_t size = 0; size < whole.size(); size += size < 128 ? 16 : 1024) {
        const std::string path = temp.file("Cut" + std::to_string(size) + ".dll");
        twtest::WriteFile(path, whole.substr(0, size));
        SetLastError(ERROR_SUCCESS);
        HMODULE module = LoadLibraryA(path.c_str());
        if (module) {
            // Every loadable segment is in; what is cut (symbols, debug data) is not needed.
            FreeLibrary(module);
            break;
        }
        ASSERT_EQ(GetLastError(), (DWORD)ERROR_BAD_EXE_FORMAT) << size << " bytes";
        ++refused;
    }
    EXPECT_GT(refused, 8u);
    twtest::WriteFile(temp.file("Garbage.dll"), "not an ELF file");
    EXPECT_EQ(LoadLibraryA(temp.file("Garbage.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_EXE_FORMAT);
}

TEST_F(ModuleTest, DllMainMayLoadAnotherModule)
{
    twtest::TempDir temp;
    CopyModuleTo(temp.file("Nested.dll"));
    twtest::ScopedEnv nested("TW_TESTMOD_NESTED", temp.file("Nested.dll").c_str());
    HMODULE outer = LoadLibraryA(kModule);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(m_counters.attaches, 2);
    HMODULE inner = GetModuleHandleA("Nested.dll");
    EXPECT_NE(inner, nullptr);
    EXPECT_NE(inner, outer);
    FreeLibrary(outer); // its DllMain frees the nested one
    EXPECT_EQ(m_counters.detaches, 2);
    EXPECT_EQ(GetModuleHandleA("Nested.dll"), nullptr);
}

TEST_F(ModuleTest, ConcurrentLoadsShareOneAttach)
{
    std::vector<HMODULE> handles(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < handles.size(); ++i)
        threads.emplace_back([&, i] { handles[i] = LoadLibraryA(kModule); });
    for (auto &t : threads)
        t.join();
    for (HMODULE h : handles)
        EXPECT_EQ(h, handles[0]);
    EXPECT_EQ(m_counters.attaches, 1);
    for (HMODULE h : handles)
        FreeLibrary(h);
    EXPECT_EQ(m_counters.detaches, 1);
}

TEST(Modules, ExecutableFileName)
{
    char path[4096];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    std::string exe = std::filesystem::canonical("/proc/self/exe").string();
    EXPECT_EQ(std::string(path, n), exe);
    EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr));
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path), n);

    // Too small: truncated, terminated, the buffer size returned.
    char small[8];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), (DWORD)sizeof small);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(small), exe.substr(0, 7));
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(path), small, sizeof small), 0u);
}

} // namespace
