// Registry calls: keys, values, access rights, deletion and enumeration.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "twtesting.h"
#include <twkernel/regread.h>

namespace {

class RegistryApi : public ::testing::Test {
protected:
    twtest::ScratchRegistry m_registry;

    HKEY Create(HKEY parent, const char *path, REGSAM sam = KEY_ALL_ACCESS, DWORD *disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                                                 &key, disposition));
        return key;
    }

    static LONG SetSz(HKEY key, const char *name, const std::string &text, DWORD type = REG_SZ)
    {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }

    static std::string GetSz(HKEY key, const char *name)
    {
        char buf[512] = {};
        DWORD size = sizeof buf - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buf), &size) != ERROR_SUCCESS)
            return "<missing>";
        return buf;
    }
};

TEST(RegistryPredefined, RootsAreSignExtendedWindowsValues)
{
    EXPECT_EQ(static_cast<uintptr_t>(static_cast<intptr_t>(INT32_MIN)), reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) + 1, reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) + 2, reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE));
}

TEST_F(RegistryApi, CreateReportsDispositionAndOpensCaseInsensitively)
{
    DWORD disposition = 0;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Orvanne\\Test", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "Colour", "blue"));
    RegCloseKey(key);

    key = Create(HKEY_CURRENT_USER, "SOFTWARE\\orvanne\\TEST", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_EQ("blue", GetSz(key, "colour"));
    RegCloseKey(key);

    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\ORVANNE", 0, KEY_READ, &opened));
    char name[64];
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(opened, 0, name, sizeof name));
    EXPECT_STREQ("Test", name) << "the first spelling is kept";
    RegCloseKey(opened);

    // Roots are separate trees.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orvanne", 0, KEY_READ, &opened));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, &opened));
    EXPECT_EQ(nullptr, opened);
}

TEST_F(RegistryApi, EmptyOrBackslashSubKeyNamesTheSameKey)
{
    HKEY key = Create(HKEY_CURRENT_USER, "A\\B");
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "v", "1"));

    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "", 0, KEY_READ, &again));
    EXPECT_NE(key, again);
    EXPECT_EQ("1", GetSz(again, "v"));
    RegCloseKey(again);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "\\A\\B\\", 0, KEY_READ, &again));
    EXPECT_EQ("1", GetSz(again, "v"));
    RegCloseKey(again);

    // The legacy calls hand back the very handle they were given.
    HKEY same = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(key, nullptr, &same));
    EXPECT_EQ(key, same);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, "", &same));
    EXPECT_EQ(key, same);

    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "A\\B\\C", &same));
    EXPECT_NE(key, same);
    RegCloseKey(same);
    RegCloseKey(key);

    std::string tooLong(256, 'k');
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyA(HKEY_CURRENT_USER, tooLong.c_str(), &same));
}

TEST_F(RegistryApi, ValueSizesTypesAndShortBuffers)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Values");
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "Name", "hello"));

    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "name", nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(6u, size) << "the terminating NUL is part of the value";

    char small[4] = {'#', '#', '#', '#'};
    size = sizeof small;
    type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE *>(small), &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    char exact[6];
    size = sizeof exact;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "NAME", nullptr, nullptr, reinterpret_cast<BYTE *>(exact), &size));
    EXPECT_STREQ("hello", exact);

    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE *>(exact), nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Other", nullptr, &type, nullptr, &size));

    DWORD number = 0xDEADBEEF;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<BYTE *>(&number), 4));
    DWORD readBack = 0;
    size = sizeof readBack;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "count", nullptr, &type, reinterpret_cast<BYTE *>(&readBack), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(0xDEADBEEFu, readBack);

    // Binary data with embedded zeros, an empty value and an unusual type come back byte for byte.
    const BYTE blob[] = {0, 1, 0, 0xff, 7};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>("a\0b\0"), 5));
    BYTE out[16];
    size = sizeof out;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "blob", nullptr, &type, out, &size));
    EXPECT_EQ(std::vector<BYTE>(blob, blob + sizeof blob), std::vector<BYTE>(out, out + size));
    size = sizeof out;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Empty", nullptr, &type, out, &size));
    EXPECT_EQ(0u, size);
    size = sizeof out;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "multi", nullptr, &type, out, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    EXPECT_EQ(0, memcmp(out, "a\0b\0", 5));
    EXPECT_EQ(5u, size);

    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "Bad", 0, REG_BINARY, nullptr, 4));
    RegCloseKey(key);
}

// The platform's owned-buffer reads (twkernel/regread.h).
TEST_F(RegistryApi, PlatformReadsTakeWholeValuesAndStringsUpToTheirTerminator)
{
    HKEY key = Create(HKEY_CURRENT_USER, "SOFTWARE\\Orvanne\\Reads");
    const std::string big(5000, 'x');
    ASSERT_EQ(SetSz(key, "big", big), ERROR_SUCCESS);
    ASSERT_EQ(SetSz(key, "path", "%HOME%/a", REG_EXPAND_SZ), ERROR_SUCCESS);
    const BYTE unterminated[] = {'a', 'b', 'c'};
    ASSERT_EQ(RegSetValueExA(key, "bare", 0, REG_SZ, unterminated, sizeof unterminated), ERROR_SUCCESS);
    const BYTE twoStrings[] = {'o', 'n', 'e', 0, 't', 'w', 'o', 0};
    ASSERT_EQ(RegSetValueExA(key, "two", 0, REG_SZ, twoStrings, sizeof twoStrings), ERROR_SUCCESS);
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number),
              ERROR_SUCCESS);

    std::string text;
    DWORD type = REG_NONE;
    EXPECT_TRUE(twk::ReadRegistryString(key, "big", text, &type));
    EXPECT_EQ(text, big);
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_TRUE(twk::ReadRegistryString(key, "path", text, &type));
    EXPECT_EQ(text, "%HOME%/a");
    EXPECT_EQ(type, (DWORD)REG_EXPAND_SZ);
    EXPECT_TRUE(twk::ReadRegistryString(key, "bare", text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(twk::ReadRegistryString(key, "two", text));
    EXPECT_EQ(text, "one");
    text = "kept";
    EXPECT_FALSE(twk::ReadRegistryString(key, "n", text));
    EXPECT_FALSE(twk::ReadRegistryString(key, "missing", text));
    EXPECT_EQ(text, "kept");

    std::vector<BYTE> data;
    EXPECT_EQ(twk::ReadRegistryValue(key, "n", &type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    ASSERT_EQ(data.size(), sizeof number);
    EXPECT_EQ(std::memcmp(data.data(), &number, sizeof number), 0);
    EXPECT_EQ(twk::ReadRegistryValue(key, "missing", &type, data), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryApi, OverwriteKeepsSpellingAndDefaultValueIsUnnamed)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Defaults");
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size))
        << "a new key has no default value";

    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, nullptr, "dflt"));
    EXPECT_EQ("dflt", GetSz(key, ""));
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "", "second"));
    EXPECT_EQ("second", GetSz(key, nullptr));

    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "MixedCase", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "MIXEDCASE", "2"));
    DWORD count = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(2u, count);
    char name[32];
    DWORD nameLen = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 1, name, &nameLen, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("MixedCase", name);
    EXPECT_EQ("2", GetSz(key, "mixedcase"));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "mixedCASE"));
    EXPECT_EQ("<missing>", GetSz(key, "MixedCase"));
    RegCloseKey(key);
}

TEST_F(RegistryApi, AccessRightsOfTheHandleAreEnforced)
{
    HKEY full = Create(HKEY_CURRENT_USER, "Rights");
    ASSERT_EQ(ERROR_SUCCESS, SetSz(full, "v", "x"));
    RegCloseKey(Create(full, "Child"));

    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, KEY_READ, &readOnly));
    EXPECT_EQ("x", GetSz(readOnly, "v"));
    char name[32];
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyA(readOnly, 0, name, sizeof name));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetSz(readOnly, "v", "y"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(readOnly, "v"));
    HKEY sub = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                                   nullptr));
    // Opening an existing subkey through it is no write.
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(readOnly, "Child", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr));
    RegCloseKey(sub);
    RegCloseKey(readOnly);

    HKEY writeOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, KEY_WRITE, &writeOnly));
    EXPECT_EQ(ERROR_SUCCESS, SetSz(writeOnly, "w", "z"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(writeOnly, "w", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyA(writeOnly, 0, name, sizeof name));
    RegCloseKey(writeOnly);

    HKEY all = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, MAXIMUM_ALLOWED, &all));
    EXPECT_EQ("z", GetSz(all, "w"));
    EXPECT_EQ(ERROR_SUCCESS, SetSz(all, "w", "again"));
    RegCloseKey(all);
    RegCloseKey(full);
}

TEST_F(RegistryApi, DeleteKeyRulesAndDeletedHandles)
{
    HKEY parent = Create(HKEY_CURRENT_USER, "Del\\Parent");
    HKEY child = Create(parent, "Child");
    ASSERT_EQ(ERROR_SUCCESS, SetSz(child, "v", "x"));

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, "Del\\Parent")) << "it still has a subkey";
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(parent, ""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(parent, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(parent, "Nope"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(parent, "CHILD"));

    // The open handle on the deleted key now fails every call that uses it.
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, SetSz(child, "v", "y"));
    char name[32];
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyA(child, 0, name, sizeof name));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));

    // A key of the same name made afresh starts empty, and the old handle stays dead.
    HKEY fresh = Create(parent, "Child");
    EXPECT_EQ("<missing>", GetSz(fresh, "v"));
    RegCloseKey(fresh);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Del\\Parent\\Child"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Del\\Parent"));
    EXPECT_EQ(ERROR_KEY_DELETED, SetSz(parent, "v", "y"));
    RegCloseKey(parent);
}

TEST_F(RegistryApi, EnumerationOrderAndBufferSizes)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Enum");
    for (const char *name : {"beta", "Alpha", "gamma_", "GAMMA", "Delta"})
        RegCloseKey(Create(key, name));
    std::vector<std::string> names;
    char name[64];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        LONG err = RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(ERROR_SUCCESS, err);
        EXPECT_EQ(strlen(name), len);
        names.push_back(name);
    }
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "Delta", "GAMMA", "gamma_"}), names);

    DWORD len = 5;  // "Alpha" needs 6 with its terminator
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, name, 5));
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyA(key, 0, name, 6));

    // Values enumerate in the order they were first set.
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "z", "last letter"));
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "a", "first"));
    ASSERT_EQ(ERROR_SUCCESS, SetSz(key, "z", "rewritten"));
    DWORD type = 0, size = 0;
    len = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &len, nullptr, &type, nullptr, &size));
    EXPECT_STREQ("z", name);
    EXPECT_EQ(10u, size);
    BYTE data[4];
    size = sizeof data;
    len = sizeof name;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 1, name, &len, nullptr, &type, data, &size));
    EXPECT_EQ(6u, size);
    len = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 2, name, &len, nullptr, nullptr, nullptr, nullptr));

    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                                              &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(5u, subKeys);
    EXPECT_EQ(6u, maxSubKey);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(1u, maxName);
    EXPECT_EQ(10u, maxData);
    RegCloseKey(key);
}

TEST_F(RegistryApi, ClosedAndUnknownHandlesAreInvalid)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Handles");
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, SetSz(key, "v", "x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x12345))));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
    HKEY out = nullptr;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(key, "x", 0, KEY_READ, &out));
}

} // namespace
