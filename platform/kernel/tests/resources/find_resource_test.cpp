// FindResource, LoadResource and LoadStringA on the test program's own resources
// (module handle NULL) and on a loaded module.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "twtesting.h"

namespace {

std::string ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type)
{
    HRSRC info = FindResourceA(module, name, type);
    if (!info)
        return "<not found>";
    const void *data = LockResource(LoadResource(module, info));
    return std::string(static_cast<const char *>(data), SizeofResource(module, info));
}

std::string Expected(const char *text, size_t n)
{
    return std::string(text, n);
}

void CheckModuleResources(HMODULE module)
{
    // windres stores RCDATA strings without a terminator and numbers as little-endian words.
    EXPECT_EQ(ResourceBytes(module, MAKEINTRESOURCEA(42), RT_RCDATA), Expected("blob\x01\x02\x03\x04", 8));
    EXPECT_EQ(ResourceBytes(module, "#42", RT_RCDATA), Expected("blob\x01\x02\x03\x04", 8));
    EXPECT_EQ(ResourceBytes(module, "#42", "#10"), Expected("blob\x01\x02\x03\x04", 8));
    EXPECT_EQ(ResourceBytes(module, "Settings", "mytype"), "named resource");
    EXPECT_EQ(ResourceBytes(module, "SETTINGS", "MyType"), "named resource");

    char text[64];
    EXPECT_EQ(LoadStringA(module, 1, text, sizeof text), 12);
    EXPECT_STREQ(text, "First string");
    EXPECT_EQ(LoadStringA(module, 15, text, sizeof text), 7);
    EXPECT_STREQ(text, "Fifteen");
    EXPECT_EQ(LoadStringA(module, 17, text, sizeof text), 9);
    EXPECT_STREQ(text, "Seventeen");
    EXPECT_EQ(LoadStringA(module, 18, text, sizeof text), int(strlen("naïve €")));
    EXPECT_STREQ(text, "naïve €");
}

TEST(FindResource, ExecutableResourcesByOrdinalNameAndNumberString)
{
    CheckModuleResources(nullptr);
    CheckModuleResources(GetModuleHandleA(nullptr));
}

TEST(FindResource, ResourcesOfSeveralScriptsInOneModule)
{
    EXPECT_EQ(ResourceBytes(nullptr, MAKEINTRESOURCEA(50), RT_RCDATA), "second script");
    EXPECT_EQ(ResourceBytes(nullptr, MAKEINTRESOURCEA(42), RT_RCDATA), Expected("blob\x01\x02\x03\x04", 8));
}

TEST(FindResource, MissingTypeOrNameSetsTheirErrors)
{
    SetLastError(0);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(42), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(99), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, "settingsx", "MyType"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, "Settings", "OtherType"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
    // "#" must be followed by a number that fits a WORD.
    EXPECT_EQ(FindResourceA(nullptr, "#4x2", RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "#65578", RT_RCDATA), nullptr);  // 42 + 65536
    EXPECT_EQ(FindResourceA(nullptr, "#", RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_RCDATA), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
}

TEST(FindResource, LanguageExactThenNeutralThenFirst)
{
    const WORD german = MAKELANGID(0x07, 0x01), french = MAKELANGID(0x0c, 0x01), dutch = MAKELANGID(0x13, 0x01);
    auto bytes = [](LPCSTR name, WORD language) {
        HRSRC info = FindResourceExA(nullptr, RT_RCDATA, name, language);
        if (!info)
            return std::string("<not found>");
        return std::string(static_cast<const char *>(LockResource(LoadResource(nullptr, info))),
                           SizeofResource(nullptr, info));
    };
    EXPECT_EQ(bytes(MAKEINTRESOURCEA(43), german), "german");
    EXPECT_EQ(bytes(MAKEINTRESOURCEA(43), french), "french");
    EXPECT_EQ(bytes(MAKEINTRESOURCEA(43), dutch), "neutral");
    EXPECT_EQ(ResourceBytes(nullptr, MAKEINTRESOURCEA(43), RT_RCDATA), "neutral");
    EXPECT_EQ(bytes(MAKEINTRESOURCEA(44), french), "only german");
}

TEST(FindResource, ResourcePointersAreStableAndShared)
{
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(42), RT_RCDATA);
    ASSERT_NE(info, nullptr);
    const void *first = LockResource(LoadResource(nullptr, info));
    EXPECT_FALSE(FreeResource(LoadResource(nullptr, info)));

    // Many threads asking at once get the same cached resource.
    std::vector<const void *> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] {
            for (int n = 0; n < 50; ++n) {
                HRSRC h = FindResourceA(nullptr, "#42", RT_RCDATA);
                seen[i] = h ? LockResource(LoadResource(nullptr, h)) : nullptr;
            }
        });
    for (auto &t : threads)
        t.join();
    for (const void *p : seen)
        EXPECT_EQ(p, first);
}

TEST(LoadString, MissingStringsGiveZeroAndEmptyText)
{
    char text[16];
    strcpy(text, "junk");
    EXPECT_EQ(LoadStringA(nullptr, 2, text, sizeof text), 0);  // empty slot in a present block
    EXPECT_STREQ(text, "");
    strcpy(text, "junk");
    EXPECT_EQ(LoadStringA(nullptr, 400, text, sizeof text), 0);  // no such block
    EXPECT_STREQ(text, "");
    EXPECT_EQ(LoadStringA(nullptr, 0x10001, text, sizeof text), 0);
    EXPECT_EQ(LoadStringA(nullptr, 1, nullptr, 10), 0);
    EXPECT_EQ(LoadStringA(nullptr, 1, text, 0), 0);
}

TEST(LoadString, TruncatesToBufferWithoutSplittingCharacters)
{
    char text[8];
    memset(text, 'x', sizeof text);
    EXPECT_EQ(LoadStringA(nullptr, 1, text, 6), 5);
    EXPECT_STREQ(text, "First");
    EXPECT_EQ(text[6], 'x');
    EXPECT_EQ(LoadStringA(nullptr, 1, text, 1), 0);
    EXPECT_STREQ(text, "");
    // "naïve €": the ï takes bytes 2-3, so four bytes of room hold "na" only.
    EXPECT_EQ(LoadStringA(nullptr, 18, text, 4), 2);
    EXPECT_STREQ(text, "na");
    EXPECT_EQ(LoadStringA(nullptr, 18, text, 5), 4);
    EXPECT_STREQ(text, "naï");
}

TEST(FindResource, LoadedModule)
{
    HMODULE module = LoadLibraryA(twtest::TestPath("restest.dll").c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    CheckModuleResources(module);
    // The module's own copy, not the executable's.
    HRSRC mine = FindResourceA(module, MAKEINTRESOURCEA(42), RT_RCDATA);
    HRSRC exe = FindResourceA(nullptr, MAKEINTRESOURCEA(42), RT_RCDATA);
    ASSERT_NE(mine, nullptr);
    EXPECT_NE(LockResource(LoadResource(module, mine)), LockResource(LoadResource(nullptr, exe)));
    EXPECT_TRUE(FreeLibrary(module));
}

} // namespace
