// The parsed copy of a profile file: lookups follow every change to the file,
// whether made through the profile functions or by anyone else.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <twtesting.h>
#include <unistd.h>
#include <vector>

namespace {

class ProfileCopy : public ::testing::Test {
protected:
    void SetUp() override { m_path = m_dir.file("files.ini"); }

    std::string Get(const char *section, const char *key)
    {
        char buffer[64];
        GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, m_path.c_str());
        return buffer;
    }

    // Rewrites the file in place, as a plain write by another program does: same
    // inode, and the same size when the texts are as long.
    void OverwriteInPlace(const std::string &content)
    {
        FILE *file = std::fopen(m_path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), file), content.size());
        std::fclose(file);
    }

    static std::string Text(int value) { return "[S]\r\nk=" + std::to_string(value) + "\r\n"; }

    twtest::TempDir m_dir;
    std::string m_path;
};

TEST_F(ProfileCopy, InPlaceRewritesOfTheSameSizeAreSeenAtOnceAndLater)
{
    // Back to back, within the clock tick the file system stamps files with.
    twtest::WriteFile(m_path, Text(10));
    for (int value = 11; value < 60; ++value) {
        ASSERT_EQ(Get("S", "k"), std::to_string(value - 1));
        OverwriteInPlace(Text(value));
        ASSERT_EQ(Get("S", "k"), std::to_string(value)) << "after a rewrite right after a read";
    }
    // Long after the last change, when the file's times alone vouch for the copy.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Get("S", "k"), "59");
    EXPECT_EQ(Get("S", "k"), "59");
    OverwriteInPlace(Text(77));
    EXPECT_EQ(Get("S", "k"), "77");
}

TEST_F(ProfileCopy, ReplacedRemovedAndRecreatedFilesAreReadAgain)
{
    twtest::WriteFile(m_path, Text(1));
    EXPECT_EQ(Get("S", "k"), "1");
    // Another file of the same size put in its place.
    std::string other = m_dir.file("other.ini");
    twtest::WriteFile(other, Text(2));
    ASSERT_EQ(::unlink(m_path.c_str()), 0);
    ASSERT_EQ(::link(other.c_str(), m_path.c_str()), 0);
    EXPECT_EQ(Get("S", "k"), "2");
    ASSERT_EQ(::unlink(m_path.c_str()), 0);
    EXPECT_EQ(Get("S", "k"), "<none>");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", -1, m_path.c_str()), static_cast<UINT>(-1));
    twtest::WriteFile(m_path, Text(3));
    EXPECT_EQ(Get("S", "k"), "3");
}

TEST_F(ProfileCopy, WritesAreSeenByLookupsAndKeepChangesMadeByOthers)
{
    twtest::WriteFile(m_path, "[S]\r\nk=1\r\n[T]\r\nk=x\r\n");
    EXPECT_EQ(Get("T", "k"), "x");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", m_path.c_str()));
    EXPECT_EQ(Get("S", "k"), "2");
    // Another program changes a key; the next write builds on its version.
    twtest::WriteFile(m_path, "[S]\r\nk=2\r\n[T]\r\nk=y\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "n", "3", m_path.c_str()));
    EXPECT_EQ(twtest::ReadFile(m_path), "[S]\r\nk=2\r\nn=3\r\n[T]\r\nk=y\r\n");
    // Setting a value to what it is leaves the file untouched.
    ASSERT_TRUE(WritePrivateProfileStringA("S", "n", "3", m_path.c_str()));
    EXPECT_EQ(twtest::ReadFile(m_path), "[S]\r\nk=2\r\nn=3\r\n[T]\r\nk=y\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("T", nullptr, nullptr, m_path.c_str()));
    EXPECT_EQ(Get("T", "k"), "<none>");
    EXPECT_EQ(Get("S", "n"), "3");
}

TEST_F(ProfileCopy, SeveralFilesAndHiddenDuplicatesKeepTheirOwnAnswers)
{
    // More files than are kept parsed at once, read in turn.
    std::vector<std::string> paths;
    for (int i = 0; i < 7; ++i) {
        paths.push_back(m_dir.file("f" + std::to_string(i) + ".ini"));
        twtest::WriteFile(paths.back(), "[S]\nk=" + std::to_string(i) + "\n[s]\nk=hidden\nonly=second\n");
    }
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 7; ++i) {
            char buffer[16];
            GetPrivateProfileStringA("s", "K", "", buffer, sizeof buffer, paths[i].c_str());
            EXPECT_EQ(std::string(buffer), std::to_string(i));
            GetPrivateProfileStringA("S", "only", "none", buffer, sizeof buffer, paths[i].c_str());
            EXPECT_EQ(std::string(buffer), "none") << "a key of a later section of the same name stays hidden";
        }
}

} // namespace
