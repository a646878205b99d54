// The version blocks: the launcher's is what the update requests report, so its
// strings are found the way the update code finds them, through the translation.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "templates.h"

using namespace restest;

namespace {

class VersionBlock {
public:
    explicit VersionBlock(const std::string &path)
    {
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        m_data.resize(size);
        m_ok = size && GetFileVersionInfoA(path.c_str(), handle, size, m_data.data());
    }
    bool ok() const { return m_ok; }

    const VS_FIXEDFILEINFO *Fixed() const
    {
        void *value = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(m_data.data(), "\\", &value, &len) || len < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO *>(value);
    }
    // The first translation, language and code page.
    std::vector<WORD> Translation() const
    {
        void *value = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(m_data.data(), "\\VarFileInfo\\Translation", &value, &len) || len < 4)
            return {};
        const WORD *words = static_cast<const WORD *>(value);
        return {words[0], words[1]};
    }
    std::string String(const char *name) const
    {
        const std::vector<WORD> t = Translation();
        if (t.size() != 2)
            return "<no translation>";
        char query[128];
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", t[0], t[1], name);
        void *value = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(m_data.data(), query, &value, &len) || !value)
            return "<missing>";
        return static_cast<const char *>(value);
    }

private:
    std::vector<char> m_data;
    bool m_ok = false;
};

// The release, TW_VERSION "a.b.c.d", in the fixed part and the strings, which are
// found through the US English translation.
void ExpectRelease(const VersionBlock &block, DWORD fileType)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(sscanf(TW_EXPECTED_VERSION, "%u.%u.%u.%u", &a, &b, &c, &d), 4);
    ASSERT_TRUE(block.ok());
    const VS_FIXEDFILEINFO *fixed = block.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, DWORD(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(a << 16 | b));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(c << 16 | d));
    EXPECT_EQ(fixed->dwProductVersionMS, DWORD(a << 16 | b));
    EXPECT_EQ(fixed->dwProductVersionLS, DWORD(c << 16 | d));
    EXPECT_EQ(fixed->dwFileType, fileType);
    EXPECT_EQ(block.Translation(), (std::vector<WORD>{0x0409, 1200}));
    EXPECT_EQ(block.String("FileVersion"), TW_EXPECTED_VERSION);
    EXPECT_EQ(block.String("ProductVersion"), TW_EXPECTED_VERSION);
    EXPECT_EQ(block.String("ProductName"), "Tarnwick");
    EXPECT_EQ(block.String("CompanyName"), "Orvanne");
}

TEST(VersionBlocks, LauncherReportsTheReleaseThroughUsEnglishStrings)
{
    Module module("launcher_res.dll");
    const VersionBlock block(module.path());
    ExpectRelease(block, VFT_APP);
    EXPECT_EQ(block.String("InternalName"), "Tarnwick");
    EXPECT_EQ(block.String("Comments"), "Tarnwick");
    EXPECT_EQ(block.String("FileDescription"), "Tarnwick Application");
    EXPECT_EQ(block.String("OriginalFilename"), "Tarnwick.EXE");
}

TEST(VersionBlocks, RecorderLibraryCarriesTheSameRelease)
{
    Module module("recorder_res.dll");
    const VersionBlock block(module.path());
    ExpectRelease(block, VFT_DLL);
    EXPECT_EQ(block.String("FileDescription"), "Tarnwick Recorder");
}

} // namespace
