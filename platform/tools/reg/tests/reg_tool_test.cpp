// reg add, query and delete against a scratch registry.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "regrun.h"

namespace {


std::vector<BYTE> Stored(const char *path, const char *name, DWORD *type)
{
    HKEY key = nullptr;
    std::vector<BYTE> data;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return data;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
    }
    RegCloseKey(key);
    return data;
}

std::vector<BYTE> Bytes(const std::string &text, bool withNul)
{
    std::vector<BYTE> bytes(text.begin(), text.end());
    if (withNul)
        bytes.push_back(0);
    return bytes;
}

class RegTool : public ::testing::Test {
protected:
    twtest::ScratchRegistry m_registry;
};

TEST_F(RegTool, StringsRoundTripVerbatim)
{
    auto r = Reg({"add", "HKCU\\Software\\Orvanne\\Tool", "/v", "Greeting", "/t", "REG_SZ", "/d", "hello world", "/f"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    EXPECT_TRUE(Contains(r.output, kDone)) << r.output;
    r = Reg({"add", "hkcu\\Software\\Orvanne\\Tool", "/v", "Search", "/t", "REG_EXPAND_SZ", "/d", "%PATH%;%HOME%\\bin"});
    ASSERT_EQ(0, r.exitCode) << r.output;

    DWORD type = 0;
    EXPECT_EQ(Bytes("hello world", true), Stored("Software\\Orvanne\\Tool", "Greeting", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(Bytes("%PATH%;%HOME%\\bin", true), Stored("Software\\Orvanne\\Tool", "Search", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);

    r = Reg({"query", "HKEY_CURRENT_USER\\Software\\Orvanne\\Tool", "/v", "search"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    EXPECT_EQ("\nHKEY_CURRENT_USER\\Software\\Orvanne\\Tool\n    search    REG_EXPAND_SZ    %PATH%;%HOME%\\bin\n\n",
              r.output);

    // Values written through the API show up the same way.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvanne\\Tool", 0, KEY_WRITE, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Api", 0, REG_SZ, reinterpret_cast<const BYTE *>("from api"), 9));
    RegCloseKey(key);
    r = Reg({"query", "HKCU\\Software\\Orvanne\\Tool"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    EXPECT_EQ("\nHKEY_CURRENT_USER\\Software\\Orvanne\\Tool\n"
              "    Greeting    REG_SZ    hello world\n"
              "    Search    REG_EXPAND_SZ    %PATH%;%HOME%\\bin\n"
              "    Api    REG_SZ    from api\n\n",
              r.output);
}

TEST_F(RegTool, DwordBinaryAndDefaultValues)
{
    ASSERT_EQ(0, Reg({"add", "HKCU\\T", "/v", "Dec", "/t", "REG_DWORD", "/d", "42", "/f"}).exitCode);
    ASSERT_EQ(0, Reg({"add", "HKCU\\T", "/v", "Hex", "/t", "reg_dword", "/d", "0xFFFFFFFF", "/f"}).exitCode);
    ASSERT_EQ(0, Reg({"add", "HKCU\\T", "/v", "Bin", "/t", "REG_BINARY", "/d", "00ff10Ab", "/f"}).exitCode);
    ASSERT_EQ(0, Reg({"add", "HKCU\\T", "/ve", "/d", "the default", "/f"}).exitCode);

    DWORD type = 0;
    EXPECT_EQ((std::vector<BYTE>{42, 0, 0, 0}), Stored("T", "Dec", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ((std::vector<BYTE>{0x00, 0xff, 0x10, 0xab}), Stored("T", "Bin", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(Bytes("the default", true), Stored("T", "", &type));

    auto r = Reg({"query", "HKCU\\T"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    EXPECT_TRUE(Contains(r.output, "    Dec    REG_DWORD    0x2a\n")) << r.output;
    EXPECT_TRUE(Contains(r.output, "    Hex    REG_DWORD    0xffffffff\n")) << r.output;
    EXPECT_TRUE(Contains(r.output, "    Bin    REG_BINARY    00FF10AB\n")) << r.output;
    EXPECT_TRUE(Contains(r.output, "    (Default)    REG_SZ    the default\n")) << r.output;

    r = Reg({"query", "HKCU\\T", "/ve"});
    EXPECT_EQ("\nHKEY_CURRENT_USER\\T\n    (Default)    REG_SZ    the default\n\n", r.output);

    // Data that does not fit its type is refused before anything is written.
    for (auto bad : std::vector<std::vector<std::string>>{{"/t", "REG_DWORD", "/d", "4294967296"},
                                                          {"/t", "REG_DWORD", "/d", "12abc"},
                                                          {"/t", "REG_DWORD", "/d", "-1"},
                                                          {"/t", "REG_BINARY", "/d", "abc"},
                                                          {"/t", "REG_BINARY", "/d", "zz"},
                                                          {"/t", "REG_WHAT", "/d", "1"}}) {
        std::vector<std::string> args{"add", "HKCU\\T", "/v", "Bad", "/f"};
        args.insert(args.end(), bad.begin(), bad.end());
        r = Reg(args);
        EXPECT_EQ(1, r.exitCode) << bad[1] << " " << bad[3];
        EXPECT_TRUE(Contains(r.output, "ERROR: ")) << r.output;
    }
    EXPECT_TRUE(Stored("T", "Bad", &type).empty());
}

TEST_F(RegTool, MissingKeysAndValuesAreReported)
{
    auto r = Reg({"query", "HKCU\\Nowhere"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, kNotFound)) << r.output;

    ASSERT_EQ(0, Reg({"add", "HKCU\\Here"}).exitCode);
    r = Reg({"query", "HKCU\\Here", "/v", "Nothing"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, kNotFound)) << r.output;
    r = Reg({"delete", "HKCU\\Here", "/v", "Nothing", "/f"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, kNotFound)) << r.output;
    r = Reg({"delete", "HKCU\\Nowhere", "/f"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, kNotFound)) << r.output;

    // An unset default value is shown as such rather than missing.
    r = Reg({"query", "HKCU\\Here", "/ve"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_TRUE(Contains(r.output, "(Default)    REG_SZ    (value not set)")) << r.output;

    for (auto bad : std::vector<std::vector<std::string>>{{"query", "HKXX\\Here"},
                                                          {"query", "HKCU\\Here", "/bogus"},
                                                          {"query", "HKCU\\Here", "/v"},
                                                          {"query", "HKCU\\Here", "/v", "a", "/ve"},
                                                          {"frobnicate", "HKCU\\Here"},
                                                          {"delete", "HKCU", "/f"}}) {
        r = Reg(bad);
        EXPECT_EQ(1, r.exitCode) << bad[0] << " " << bad[1];
        EXPECT_TRUE(Contains(r.output, "ERROR: ")) << r.output;
    }
}

TEST_F(RegTool, OverwriteAndDeleteAskFirst)
{
    ASSERT_EQ(0, Reg({"add", "HKCU\\Ask", "/v", "V", "/d", "first"}).exitCode);
    // Standard input is empty: the answer is No.
    auto r = Reg({"add", "HKCU\\Ask", "/v", "V", "/d", "second"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, "exists, overwrite(Yes/No)?")) << r.output;
    DWORD type = 0;
    EXPECT_EQ(Bytes("first", true), Stored("Ask", "V", &type));
    ASSERT_EQ(0, Reg({"add", "HKCU\\Ask", "/v", "V", "/d", "second", "/f"}).exitCode);
    EXPECT_EQ(Bytes("second", true), Stored("Ask", "V", &type));

    r = Reg({"delete", "HKCU\\Ask", "/v", "V"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, "Permanently delete")) << r.output;
    EXPECT_EQ(Bytes("second", true), Stored("Ask", "V", &type));
    r = Reg({"delete", "HKCU\\Ask", "/v", "v", "/f"});
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_TRUE(Contains(r.output, kDone)) << r.output;
    EXPECT_TRUE(Stored("Ask", "V", &type).empty());
}

TEST_F(RegTool, DeleteWholeTreesOrAllValues)
{
    ASSERT_EQ(0, Reg({"add", "HKCU\\Tree\\A\\Deep", "/v", "x", "/d", "1"}).exitCode);
    ASSERT_EQ(0, Reg({"add", "HKCU\\Tree\\B", "/v", "y", "/d", "2"}).exitCode);
    ASSERT_EQ(0, Reg({"add", "HKCU\\Tree", "/v", "top", "/d", "3"}).exitCode);
    ASSERT_EQ(0, Reg({"add", "HKCU\\Tree", "/ve", "/d", "4"}).exitCode);

    auto r = Reg({"query", "HKCU\\Tree", "/s"});
    ASSERT_EQ(0, r.exitCode);
    EXPECT_TRUE(Contains(r.output, "HKEY_CURRENT_USER\\Tree\\A\\Deep\n    x    REG_SZ    1\n")) << r.output;
    EXPECT_TRUE(Contains(r.output, "HKEY_CURRENT_USER\\Tree\\B\n    y    REG_SZ    2\n")) << r.output;
    r = Reg({"query", "HKCU\\Tree", "/v", "y", "/s"});
    ASSERT_EQ(0, r.exitCode);
    EXPECT_TRUE(Contains(r.output, "End of search: 1 match(es) found.")) << r.output;

    r = Reg({"delete", "HKCU\\Tree", "/va", "/f"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    r = Reg({"query", "HKCU\\Tree"});
    EXPECT_EQ("\nHKEY_CURRENT_USER\\Tree\\A\nHKEY_CURRENT_USER\\Tree\\B\n", r.output) << "subkeys stay, values go";

    EXPECT_EQ(1, Reg({"delete", "HKCU\\Tree"}).exitCode) << "not without an answer";
    ASSERT_EQ(0, Reg({"delete", "HKCU\\tree", "/f"}).exitCode);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Tree", 0, KEY_READ, &key));
}

} // namespace
