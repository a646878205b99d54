// Files and directories by name, with composed Windows-style paths.
#include <gtest/gtest.h>
#include <twtesting.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string WindowsStyle(const twtest::TempDir &dir, const std::string &name)
{
    return dir.path() + "\\" + name;
}

TEST(FileSystem, Attributes)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("a.txt"), "x");
    EXPECT_EQ(GetFileAttributesA(WindowsStyle(dir, "a.txt").c_str()), (DWORD)FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(dir.path().c_str()) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(WindowsStyle(dir, "missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA(WindowsStyle(dir, "no\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(FileSystem, DirectoriesAndDelete)
{
    twtest::TempDir dir;
    std::string sub = WindowsStyle(dir, "Videos");
    EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA(WindowsStyle(dir, "a\\b").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);

    twtest::WriteFile(dir.file("Videos/clip.asf"), "x");
    EXPECT_FALSE(RemoveDirectoryA(sub.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFileA(sub.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFileA((sub + "\\clip.asf").c_str()));
    EXPECT_FALSE(DeleteFileA((sub + "\\clip.asf").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
}

TEST(FileSystem, MoveRefusesAnExistingTarget)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("old.dll"), "old");
    twtest::WriteFile(dir.file("new.dll"), "new");
    std::string from = WindowsStyle(dir, "new.dll"), to = WindowsStyle(dir, "old.dll");
    EXPECT_FALSE(MoveFileA(from.c_str(), to.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(twtest::ReadFile(dir.file("old.dll")), "old");

    EXPECT_TRUE(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(twtest::ReadFile(dir.file("old.dll")), "new");
    EXPECT_FALSE(twtest::FileExists(dir.file("new.dll")));

    EXPECT_TRUE(MoveFileA(to.c_str(), WindowsStyle(dir, "moved.dll").c_str()));
    EXPECT_EQ(twtest::ReadFile(dir.file("moved.dll")), "new");
    EXPECT_FALSE(MoveFileA(to.c_str(), from.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(FileSystem, CopyFile)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("a"), std::string(200000, 'q'));
    twtest::WriteFile(dir.file("b"), "b");
    EXPECT_FALSE(CopyFileA(WindowsStyle(dir, "a").c_str(), WindowsStyle(dir, "b").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    EXPECT_TRUE(CopyFileA(WindowsStyle(dir, "a").c_str(), WindowsStyle(dir, "b").c_str(), FALSE));
    EXPECT_EQ(twtest::ReadFile(dir.file("b")), std::string(200000, 'q'));
    EXPECT_FALSE(CopyFileA(WindowsStyle(dir, "none").c_str(), WindowsStyle(dir, "c").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(FileSystem, CurrentDirectoryAndBufferRules)
{
    twtest::TempDir dir;
    char previous[4096];
    DWORD n = GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n, strlen(previous));

    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    char real[4096];
    ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
    std::string expected = real;
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    EXPECT_EQ(needed, expected.size() + 1);
    char exact[4096];
    std::memset(exact, '#', sizeof exact);
    EXPECT_EQ(GetCurrentDirectoryA((DWORD)expected.size(), exact), expected.size() + 1) << "one short of the NUL";
    EXPECT_EQ(exact[0], '#');
    EXPECT_EQ(GetCurrentDirectoryA((DWORD)expected.size() + 1, exact), expected.size());
    EXPECT_EQ(std::string(exact), expected);

    twtest::WriteFile(dir.file("rel.txt"), "r");
    EXPECT_NE(GetFileAttributesA("rel.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(SetCurrentDirectoryA(WindowsStyle(dir, "nowhere").c_str()));
    EXPECT_TRUE(SetCurrentDirectoryA(previous));
}

TEST(FileSystem, TempPathEndsWithASeparator)
{
    twtest::TempDir dir;
    twtest::ScopedEnv tmp("TMPDIR", dir.path().c_str());
    char buffer[4096];
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, n), dir.path() + "/");
    EXPECT_EQ(GetTempPathA(2, buffer), n + 1);
}

} // namespace
