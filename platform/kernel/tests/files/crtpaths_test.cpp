// fopen, remove, rename and _access with composed Windows-style paths.
#include <gtest/gtest.h>
#include <twtesting.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

bool CrtBeforeWindowsWrite(const std::string &path, const std::string &text);
int CrtBeforeWindowsRemove(const std::string &path);
int CrtBeforeWindowsRename(const std::string &from, const std::string &to);
size_t CrtBeforeWindowsAlgorithm();
std::string CrtAfterWindowsRead(const std::string &path);
int CrtAfterWindowsRemove(const std::string &path);
size_t CrtAfterWindowsAlgorithm();

namespace {

TEST(CrtPaths, BackslashPathsWorkWhicheverHeaderComesFirst)
{
    twtest::TempDir dir;
    std::string composed = dir.path() + "\\files.ini";
    ASSERT_TRUE(CrtBeforeWindowsWrite(composed, "[files]\n"));
    EXPECT_EQ(twtest::ReadFile(dir.file("files.ini")), "[files]\n");
    EXPECT_EQ(CrtAfterWindowsRead(composed), "[files]\n");

    EXPECT_EQ(CrtBeforeWindowsRename(composed, dir.path() + "\\renamed.ini"), 0);
    EXPECT_TRUE(twtest::FileExists(dir.file("renamed.ini")));
    EXPECT_EQ(CrtAfterWindowsRemove(dir.path() + "\\renamed.ini"), 0);
    EXPECT_FALSE(twtest::FileExists(dir.file("renamed.ini")));
    EXPECT_EQ(CrtBeforeWindowsRemove(dir.path() + "\\renamed.ini"), -1);
    EXPECT_EQ(errno, ENOENT);

    EXPECT_EQ(CrtBeforeWindowsAlgorithm(), 2u);
    EXPECT_EQ(CrtAfterWindowsAlgorithm(), 2u);
}

TEST(CrtPaths, RenameKeepsAnExistingTarget)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("a"), "a");
    twtest::WriteFile(dir.file("b"), "b");
    EXPECT_EQ(rename((dir.path() + "\\a").c_str(), (dir.path() + "\\b").c_str()), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(twtest::ReadFile(dir.file("b")), "b");
}

TEST(CrtPaths, RemoveRefusesDirectoriesAndAccessChecks)
{
    twtest::TempDir dir;
    ASSERT_TRUE(CreateDirectoryA((dir.path() + "\\sub").c_str(), nullptr));
    EXPECT_EQ(remove((dir.path() + "\\sub").c_str()), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(_access((dir.path() + "\\sub").c_str(), 0), 0);
    EXPECT_EQ(_access((dir.path() + "\\none").c_str(), 0), -1);
    twtest::WriteFile(dir.file("f"), "f");
    EXPECT_EQ(_access((dir.path() + "\\f").c_str(), 6), 0);
}

} // namespace
