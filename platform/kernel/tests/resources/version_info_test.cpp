// Version information read from module files on disk, loaded or not.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "twtesting.h"

namespace {

std::string ModulePath()
{
    return twtest::TestPath("restest.dll");
}

std::vector<uint8_t> ReadInfo(const std::string &path)
{
    DWORD handle = 123;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0)
        return {};
    std::vector<uint8_t> info(size);
    EXPECT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, info.data()));
    return info;
}

std::string QueryText(const void *block, const char *subBlock, UINT *length = nullptr)
{
    LPVOID value = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(block, subBlock, &value, &len))
        return "<missing>";
    if (length)
        *length = len;
    return static_cast<const char *>(value);
}

TEST(VersionInfo, FixedInfoTranslationAndStrings)
{
    std::vector<uint8_t> info = ReadInfo(ModulePath());
    ASSERT_FALSE(info.empty()) << GetLastError();
    const uint8_t *begin = info.data(), *end = info.data() + info.size();

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<LPVOID *>(&fixed), &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, DWORD(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlags, DWORD(VS_FF_PRERELEASE));
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));

    WORD *translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID *>(&translation), &len));
    ASSERT_EQ(len, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    char key[64];
    snprintf(key, sizeof key, "\\StringFileInfo\\%04X%04X\\ProductName", translation[0], translation[1]);
    UINT chars = 0;
    EXPECT_EQ(QueryText(info.data(), key, &chars), "Tarnwick");
    EXPECT_EQ(chars, 9u);
    EXPECT_EQ(QueryText(info.data(), "\\StringFileInfo\\040904b0\\FileVersion"), "1.2.3.4");
    EXPECT_EQ(QueryText(info.data(), "\\stringfileinfo\\040904B0\\companyname"), "Orvanne");
    EXPECT_EQ(QueryText(info.data(), "\\StringFileInfo\\040904B0\\Comments"), "Grüße ✓");
    EXPECT_EQ(QueryText(info.data(), "\\StringFileInfo\\040904B0\\Empty", &chars), "");
    EXPECT_EQ(chars, 0u);
    EXPECT_EQ(QueryText(info.data(), "\\StringFileInfo\\040904B0\\Missing"), "<missing>");
    EXPECT_EQ(QueryText(info.data(), "\\StringFileInfo\\040704B0\\ProductName"), "<missing>");

    // Every string handed out lies in the caller's buffer.
    LPVOID value = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName", &value, &len));
    const auto *p = static_cast<const uint8_t *>(value);
    EXPECT_TRUE(p >= begin && p + len <= end);
}

TEST(VersionInfo, PathsWithEitherSeparator)
{
    std::string windowsForm = ModulePath();
    for (char &c : windowsForm)
        if (c == '/')
            c = '\\';
    std::vector<uint8_t> info = ReadInfo(windowsForm);
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(QueryText(info.data(), "\\StringFileInfo\\040904B0\\ProductName"), "Tarnwick");
}

TEST(VersionInfo, MissingFileAndFilesWithoutVersion)
{
    twtest::TempDir dir;
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA(dir.file("absent.dll").c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    std::vector<uint8_t> buffer(256);
    EXPECT_FALSE(GetFileVersionInfoA(dir.file("absent.dll").c_str(), 0, 256, buffer.data()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    // The kernel library itself carries no resources.
    EXPECT_EQ(GetFileVersionInfoSizeA(twtest::BinPath("libtwkernel.so").c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_EQ(GetFileVersionInfoSizeA(dir.path().c_str(), nullptr), 0u);
}

// Every buffer length, from nothing up to the full size: the copy never overruns
// the buffer and no answer points outside it (the buffer is exactly len bytes, so
// the address sanitizer sees any stray access).
TEST(VersionInfo, ShortBuffersTruncateSafely)
{
    const std::string path = ModulePath();
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    const char *queries[] = {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904B0\\ProductName",
                             "\\StringFileInfo\\040904B0\\Comments", "\\StringFileInfo\\040904B0\\Empty",
                             "\\StringFileInfo"};
    int fullAnswers = 0;
    for (DWORD len = 0; len <= size; ++len) {
        std::vector<uint8_t> buffer(len);
        if (!GetFileVersionInfoA(path.c_str(), 0, len, len ? buffer.data() : nullptr))
            continue;
        int answers = 0;
        for (const char *q : queries) {
            LPVOID value = nullptr;
            UINT valueLen = 0;
            if (!VerQueryValueA(buffer.data(), q, &value, &valueLen))
                continue;
            ++answers;
            const auto *p = static_cast<const uint8_t *>(value);
            EXPECT_TRUE(p >= buffer.data() && p + valueLen <= buffer.data() + len) << q << " at len " << len;
        }
        if (len == size)
            fullAnswers = answers;
    }
    EXPECT_EQ(fullAnswers, 6);
}

} // namespace
