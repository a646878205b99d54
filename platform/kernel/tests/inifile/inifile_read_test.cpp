// Reading profile files: lookups, defaults, buffer limits, listings, quotes.
#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <string>
#include <twtesting.h>

namespace {

class ProfileRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.file("files.ini");
        twtest::WriteFile(m_path,
                          "\x01" "1.0.0.7\r\n"
                          "; a comment = not a key\r\n"
                          "[File1]\r\n"
                          "  Name = Tarnwick  \r\n"
                          "Version=1.0.0.1\r\n"
                          "name=shadowed\r\n"
                          "Size=  123456\r\n"
                          "\r\n"
                          "[ file2 ]\r\n"
                          "Name=TarnwickDll.dll\r\n"
                          "Quoted=\"with spaces \"\r\n"
                          "Single='x'\r\n"
                          "Mismatched=\"x'\r\n"
                          "Lone=\"\r\n"
                          "Empty=\r\n"
                          "Hex=0x1F\r\n"
                          "Negative=-5\r\n"
                          "Junk=12abc\r\n"
                          "[FILE1]\r\n"
                          "Name=second section loses\r\n"
                          "Extra=only here\r\n");
    }

    std::string Get(const char *section, const char *key, const char *def = "", DWORD size = 256)
    {
        char buffer[256];
        DWORD n = GetPrivateProfileStringA(section, key, def, buffer, size, m_path.c_str());
        EXPECT_EQ(n, std::strlen(buffer));
        return buffer;
    }

    twtest::TempDir m_dir;
    std::string m_path;
};

TEST_F(ProfileRead, NamesAreCaseInsensitiveAndTrimmedAndTheFirstMatchWins)
{
    EXPECT_EQ(Get("File1", "Name"), "Tarnwick");
    EXPECT_EQ(Get("FILE1", "NAME"), "Tarnwick");
    EXPECT_EQ(Get("file2", "name"), "TarnwickDll.dll");
    EXPECT_EQ(Get(" File1 ", " Size "), "123456");
    // The key lives only in the second "File1" section, which the first hides.
    EXPECT_EQ(Get("File1", "Extra", "none"), "none");
}

TEST_F(ProfileRead, DefaultsForMissingFileSectionKeyAndEmptyKeyName)
{
    EXPECT_EQ(Get("File3", "Name", "dflt"), "dflt");
    EXPECT_EQ(Get("File1", "Missing", "dflt  "), "dflt");  // trailing blanks of the default go
    EXPECT_EQ(Get("File1", "", "dflt"), "dflt");
    char buffer[16] = "garbage";
    EXPECT_EQ(GetPrivateProfileStringA("File1", "Name", nullptr, buffer, sizeof buffer,
                                       m_dir.file("absent.ini").c_str()),
              0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Get("File2", "Empty", "dflt"), "");  // present but empty is not missing
}

TEST_F(ProfileRead, ValueTruncationReturnsSizeMinusOne)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("File2", "Name", "", buffer, 5, m_path.c_str()), 4u);
    EXPECT_STREQ(buffer, "Tarn");
    EXPECT_EQ(buffer[5], 'x');  // nothing written past nSize
    EXPECT_EQ(GetPrivateProfileStringA("File2", "Name", "", buffer, 1, m_path.c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(GetPrivateProfileStringA("File2", "Name", "", buffer, 0, m_path.c_str()), 0u);
}

TEST_F(ProfileRead, SectionAndKeyListsAreDoubleTerminatedAndTruncatedAtSizeMinusTwo)
{
    char buffer[64];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, m_path.c_str());
    EXPECT_EQ(std::string(buffer, n + 1), std::string("File1\0file2\0", 13));
    EXPECT_EQ(n, 12u);

    n = GetPrivateProfileStringA("File1", nullptr, "", buffer, sizeof buffer, m_path.c_str());
    EXPECT_EQ(std::string(buffer, n + 1), std::string("Name\0Version\0name\0Size\0", 24));

    std::memset(buffer, 'x', sizeof buffer);
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 9, m_path.c_str());
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(std::string(buffer, 9), std::string("File1\0f\0\0", 9));
    EXPECT_EQ(buffer[9], 'x');

    // A section without keys, or a missing one, yields the default as one string.
    n = GetPrivateProfileStringA("Nowhere", nullptr, "dflt", buffer, sizeof buffer, m_path.c_str());
    EXPECT_EQ(n, 4u);
    EXPECT_STREQ(buffer, "dflt");

    // No file: an empty list.
    std::memset(buffer, 'x', sizeof buffer);
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, m_dir.file("absent.ini").c_str());
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '\0');
}

TEST_F(ProfileRead, MatchingSurroundingQuotesAreRemoved)
{
    EXPECT_EQ(Get("File2", "Quoted"), "with spaces ");
    EXPECT_EQ(Get("File2", "Single"), "x");
    EXPECT_EQ(Get("File2", "Mismatched"), "\"x'");
    EXPECT_EQ(Get("File2", "Lone"), "\"");
}

TEST_F(ProfileRead, IntegersParseLikeTheRuntime)
{
    const char *path = m_path.c_str();
    EXPECT_EQ(GetPrivateProfileIntA("File1", "Size", 7, path), 123456u);
    EXPECT_EQ(GetPrivateProfileIntA("File2", "Hex", 7, path), 31u);
    EXPECT_EQ(GetPrivateProfileIntA("File2", "Negative", 7, path), static_cast<UINT>(-5));
    EXPECT_EQ(GetPrivateProfileIntA("File2", "Junk", 7, path), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("File2", "Name", 7, path), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("File2", "Empty", 7, path), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("File2", "Missing", -3, path), static_cast<UINT>(-3));
}

TEST_F(ProfileRead, BackslashPathsAndLfFilesWork)
{
    std::string sub = m_dir.file("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    twtest::WriteFile(sub + "/lf.ini", "[A]\nk = v\n[B]\nk=w");
    std::string windowsPath = m_dir.path() + "\\sub\\lf.ini";
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("b", "K", "", buffer, sizeof buffer, windowsPath.c_str()), 1u);
    EXPECT_STREQ(buffer, "w");
    EXPECT_EQ(GetPrivateProfileStringA("a", "k", "", buffer, sizeof buffer, windowsPath.c_str()), 1u);
    EXPECT_STREQ(buffer, "v");
}

TEST(ProfileHostile, LargeFilesNulBytesAndOddLinesDoNotBreakLookups)
{
    twtest::TempDir dir;
    std::string path = dir.file("big.ini");
    std::string content = "no section line\n[\n]\n[]\n=empty key\n[S]\nnul=a";
    content.push_back('\0');
    content += "b\n";
    content += "[Many]\n";
    std::string filler(4096, 'z');
    while (content.size() < (17u << 20))
        content += filler + "=" + filler + "\n[" + filler.substr(0, 100) + "]\n";
    content += "[Last]\nkey=found\n";
    twtest::WriteFile(path, content);

    char buffer[64];
    EXPECT_EQ(GetPrivateProfileStringA("Last", "key", "", buffer, sizeof buffer, path.c_str()), 5u);
    EXPECT_STREQ(buffer, "found");
    // A NUL ends the returned text; the count agrees with it.
    EXPECT_EQ(GetPrivateProfileStringA("S", "nul", "", buffer, sizeof buffer, path.c_str()), 1u);
    EXPECT_STREQ(buffer, "a");
    // The listing skips the nameless section and stays well-formed.
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, path.c_str());
    ASSERT_EQ(n, sizeof buffer - 2);
    EXPECT_EQ(std::string(buffer, 7), std::string("S\0Many\0", 7));
}

TEST(ProfileHostile, DirectoriesAndFifosAreNotProfileFiles)
{
    twtest::TempDir dir;
    std::string fifo = dir.file("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    char buffer[16];
    for (const std::string &path : {fifo, dir.path()}) {
        // Returns the default at once instead of waiting for a writer.
        EXPECT_EQ(GetPrivateProfileStringA("S", "k", "dflt", buffer, sizeof buffer, path.c_str()), 4u);
        EXPECT_STREQ(buffer, "dflt");
        EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", path.c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
}

} // namespace
