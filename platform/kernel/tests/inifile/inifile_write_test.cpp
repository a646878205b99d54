// Writing profile files: replacing, adding and deleting while every other byte stays.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <twtesting.h>

namespace {

const char kManifest[] =
    "\xef" "1.0.0.7\r\n"
    "[File1]\r\n"
    "Name=Tarnwick\r\n"
    "; keep me\r\n"
    "Size = 100\r\n"
    "odd line without equals\r\n"
    "\r\n"
    "[File2]\r\n"
    "Name=TarnwickDll.dll\r\n"
    "\r\n";

class ProfileWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.file("files.ini");
        twtest::WriteFile(m_path, kManifest);
    }

    BOOL Write(const char *section, const char *key, const char *value)
    {
        return WritePrivateProfileStringA(section, key, value, m_path.c_str());
    }

    std::string Content() const { return twtest::ReadFile(m_path); }

    twtest::TempDir m_dir;
    std::string m_path;
};

TEST_F(ProfileWrite, ReplacingAValueChangesOnlyThatLine)
{
    ASSERT_TRUE(Write("file1", "SIZE", "5000"));
    std::string expected = kManifest;
    expected.replace(expected.find("Size = 100"), 10, "Size = 5000");
    EXPECT_EQ(Content(), expected);
}

TEST_F(ProfileWrite, NewKeysGoAtTheEndOfTheirSectionAndNewSectionsAtTheEndOfTheFile)
{
    ASSERT_TRUE(Write("File1", "DownloadedSize", "0"));
    ASSERT_TRUE(Write("File3", "Name", "Kestrin.ax"));
    std::string expected = kManifest;
    expected.insert(expected.find("\r\n\r\n[File2]") + 2, "DownloadedSize=0\r\n");
    expected += "[File3]\r\nName=Kestrin.ax\r\n";
    EXPECT_EQ(Content(), expected);

    char buffer[32];
    GetPrivateProfileStringA("File3", "Name", "", buffer, sizeof buffer, m_path.c_str());
    EXPECT_STREQ(buffer, "Kestrin.ax");
}

TEST_F(ProfileWrite, NullValueDeletesKeyAndNullKeyDeletesSection)
{
    ASSERT_TRUE(Write("File1", "Name", nullptr));
    std::string expected = kManifest;
    expected.erase(expected.find("Name=Tarnwick\r\n"), 15);
    EXPECT_EQ(Content(), expected);

    ASSERT_TRUE(Write("FILE2", nullptr, nullptr));
    expected.erase(expected.find("[File2]"));
    EXPECT_EQ(Content(), expected);

    // Deleting what is not there changes nothing and creates nothing.
    ASSERT_TRUE(Write("File9", "Name", nullptr));
    ASSERT_TRUE(WritePrivateProfileStringA("File9", nullptr, nullptr, m_dir.file("none.ini").c_str()));
    EXPECT_EQ(Content(), expected);
    EXPECT_FALSE(twtest::FileExists(m_dir.file("none.ini")));
}

TEST_F(ProfileWrite, DeletingASectionRemovesItsDuplicatesToo)
{
    twtest::WriteFile(m_path, "[A]\nk=1\n[B]\nk=2\n[a]\nk=3\n");
    ASSERT_TRUE(Write("A", nullptr, nullptr));
    EXPECT_EQ(Content(), "[B]\nk=2\n");
}

TEST_F(ProfileWrite, RawFirstLineSurvivesEveryKindOfWrite)
{
    const std::string firstLine = std::string("\xef" "1.0.0.7\r\n");
    ASSERT_TRUE(Write("File1", "Size", "1"));
    ASSERT_TRUE(Write("File1", "New", "2"));
    ASSERT_TRUE(Write("File1", "Name", nullptr));
    ASSERT_TRUE(Write("File1", nullptr, nullptr));
    ASSERT_TRUE(Write("File2", nullptr, nullptr));
    ASSERT_TRUE(Write("File5", "Name", "x"));
    EXPECT_EQ(Content(), firstLine + "[File5]\r\nName=x\r\n");
}

TEST_F(ProfileWrite, LineEndingsFollowTheFileAndNewFilesUseCrLf)
{
    std::string lf = m_dir.file("lf.ini");
    twtest::WriteFile(lf, "v1\n[S]\na=1");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "b", "2", lf.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("T", "c", "3", lf.c_str()));
    EXPECT_EQ(twtest::ReadFile(lf), "v1\n[S]\na=1\nb=2\n[T]\nc=3\n");

    std::string fresh = m_dir.file("new.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "a", "1", fresh.c_str()));
    EXPECT_EQ(twtest::ReadFile(fresh), "[S]\r\na=1\r\n");
}

TEST_F(ProfileWrite, BackslashPathsWork)
{
    ASSERT_EQ(::mkdir(m_dir.file("sub").c_str(), 0755), 0);
    std::string windowsPath = m_dir.path() + "\\sub\\x.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", windowsPath.c_str()));
    EXPECT_EQ(twtest::ReadFile(m_dir.file("sub/x.ini")), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileWrite, FailuresReturnFalseWithAnErrorAndLeaveTheFileAlone)
{
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", m_dir.file("missing/dir/x.ini").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // A value with a line break would smuggle in lines of its own.
    EXPECT_FALSE(Write("File1", "Name", "x\r\n[Evil]\r\nk=v"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Write(nullptr, "Name", "x"));
    EXPECT_EQ(Content(), kManifest);
    // No temporary files are left behind.
    EXPECT_EQ(twtest::RunProcess({"/bin/sh", "-c", "ls -A " + m_dir.path()}).output, "files.ini\n");
}

TEST_F(ProfileWrite, ReadersNeverSeeAHalfWrittenFile)
{
    // Every version of the file ends with the same marker section; a reader that
    // sees a partial file finds no marker.
    std::string big(64 * 1024, 'p');
    twtest::WriteFile(m_path, std::string(kManifest) + "[Pad]\r\nP=" + big + "\r\n[End]\r\nMarker=yes\r\n");
    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};
    std::thread reader([&] {
        char buffer[8];
        while (!done.load()) {
            GetPrivateProfileStringA("End", "Marker", "", buffer, sizeof buffer, m_path.c_str());
            if (std::strcmp(buffer, "yes") != 0)
                ++badReads;
            std::string raw = twtest::ReadFile(m_path);
            if (raw.size() < 12 || raw.compare(raw.size() - 12, 12, "Marker=yes\r\n") != 0)
                ++badReads;
        }
    });
    for (int i = 0; i < 60; ++i) {
        std::string value = std::to_string(i) + std::string(static_cast<std::size_t>(i) * 997, 'v');
        ASSERT_TRUE(Write("Pad", "P", value.c_str()));
    }
    done = true;
    reader.join();
    EXPECT_EQ(badReads.load(), 0);
    EXPECT_EQ(GetPrivateProfileIntA("Pad", "P", -1, m_path.c_str()), 59u);
}

} // namespace
