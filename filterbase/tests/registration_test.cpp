// Registry keys of the registration worker and the filter entry it makes through
// the platform filter mapper.
#include <gtest/gtest.h>

#include <string>

#include <twtesting.h>

#include "test_filter.h"

using namespace fbtest;

namespace {

const REGPINTYPES kVideoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_WMV3}};
const REGFILTERPINS kPins[] = {
    {const_cast<LPWSTR>(OLESTR("Video")), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, OLESTR("Output"), 1, kVideoTypes}};
const FilterSetupRecord kSetup = {&CLSID_FbTestFilter, OLESTR("Test filter"), MERIT_DO_NOT_USE, 1, kPins};

std::string ClassKey()
{
    WCHAR wide[39];
    StringFromGUID2(CLSID_FbTestFilter, wide, 39);
    std::string key = "CLSID\\";
    for (int i = 0; wide[i]; i++)
        key += static_cast<char>(wide[i]);
    return key;
}

DWORD ValueCount(const std::string &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return 0;
    DWORD values = 0;
    RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(h);
    return values;
}

std::string ReadString(const std::string &key, const char *name)
{
    char buffer[MAX_PATH] = "";
    DWORD size = sizeof buffer, type = 0;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return "<no key>";
    LONG status = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(h);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::string(buffer) : "<no value>";
}

bool KeyExists(const std::string &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

std::string MapperEntry()
{
    WCHAR wide[39];
    StringFromGUID2(CLSID_FbTestFilter, wide, 39);
    std::string clsid;
    for (int i = 0; wide[i]; i++)
        clsid += static_cast<char>(wide[i]);
    return "CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\" + clsid;
}

TEST(Registration, ServerKeysAreExactlyThreeValues)
{
    twtest::ScratchRegistry registry;
    ASSERT_EQ(S_OK, WriteServerKeys(CLSID_FbTestFilter, OLESTR("Test filter"), OLESTR("/opt/x/Test.ax"),
                                    OLESTR("Both"), OLESTR("InprocServer32")));
    EXPECT_EQ(1u, ValueCount(ClassKey()));
    EXPECT_EQ(2u, ValueCount(ClassKey() + "\\InprocServer32"));
    EXPECT_EQ("Test filter", ReadString(ClassKey(), nullptr));
    EXPECT_EQ("/opt/x/Test.ax", ReadString(ClassKey() + "\\InprocServer32", nullptr));
    EXPECT_EQ("Both", ReadString(ClassKey() + "\\InprocServer32", "ThreadingModel"));

    // Writing again changes nothing; deleting twice is fine.
    ASSERT_EQ(S_OK, WriteServerKeys(CLSID_FbTestFilter, OLESTR("Test filter"), OLESTR("/opt/x/Test.ax"),
                                    OLESTR("Both"), OLESTR("InprocServer32")));
    EXPECT_EQ(1u, ValueCount(ClassKey()));
    EXPECT_EQ(S_OK, DeleteServerKeys(CLSID_FbTestFilter));
    EXPECT_FALSE(KeyExists(ClassKey()));
    EXPECT_EQ(S_OK, DeleteServerKeys(CLSID_FbTestFilter));
}

TEST(Registration, LongDescriptionsAreTruncatedNotOverrun)
{
    twtest::ScratchRegistry registry;
    std::u16string longName(400, u'd');
    ASSERT_EQ(S_OK, WriteServerKeys(CLSID_FbTestFilter, longName.c_str(), OLESTR("/m.ax"), OLESTR("Both"),
                                    OLESTR("InprocServer32")));
    EXPECT_EQ(std::string(259, 'd'), ReadString(ClassKey(), nullptr));
}

TEST(Registration, DeleteKeyTreeNeverDeletesItsParent)
{
    twtest::ScratchRegistry registry;
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, "FbTest\\a\\b\\c", &h));
    RegCloseKey(h);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, "FbTest\\a\\d", &h));
    RegCloseKey(h);
    EXPECT_EQ(E_FAIL, DeleteKeyTree(HKEY_CLASSES_ROOT, ""));
    EXPECT_TRUE(KeyExists("FbTest"));
    EXPECT_EQ(S_OK, DeleteKeyTree(HKEY_CLASSES_ROOT, "FbTest\\a"));
    EXPECT_FALSE(KeyExists("FbTest\\a"));
    EXPECT_TRUE(KeyExists("FbTest"));
    EXPECT_EQ(S_OK, DeleteKeyTree(HKEY_CLASSES_ROOT, "FbTest\\missing"));
}

class MapperRegistration : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
    twtest::ScratchRegistry registry;
};

TEST_F(MapperRegistration, NewMapperRegistersOnceAndUnregistersTwice)
{
    IFilterMapper2 *mapper = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                     reinterpret_cast<void **>(&mapper)));
    EXPECT_EQ(S_FALSE, RegisterFilterWithMapper2(nullptr, mapper, TRUE));
    ASSERT_EQ(S_OK, RegisterFilterWithMapper2(&kSetup, mapper, TRUE));
    ASSERT_EQ(S_OK, RegisterFilterWithMapper2(&kSetup, mapper, TRUE));
    EXPECT_EQ("Test filter", ReadString(MapperEntry(), "FriendlyName"));
    EXPECT_EQ("{00000000-0000-0000-0000-000000000000}", ReadString(MapperEntry() + "\\Pins\\Video", "ConnectsToFilter"));
    EXPECT_EQ("Output", ReadString(MapperEntry() + "\\Pins\\Video", "ConnectsToPin"));
    EXPECT_TRUE(KeyExists(MapperEntry() + "\\Pins\\Video\\Types\\0"));
    EXPECT_FALSE(KeyExists(MapperEntry() + "\\Pins\\Video\\Types\\1")) << "registered once";

    EXPECT_EQ(S_OK, RegisterFilterWithMapper2(&kSetup, mapper, FALSE));
    EXPECT_FALSE(KeyExists(MapperEntry()));
    EXPECT_EQ(S_OK, RegisterFilterWithMapper2(&kSetup, mapper, FALSE)) << "not registered is not an error";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), mapper->UnregisterFilter(nullptr, nullptr, CLSID_FbTestFilter));
    mapper->Release();
}

TEST_F(MapperRegistration, OldMapperAndFilterSelfRegistration)
{
    IFilterMapper *mapper = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                     reinterpret_cast<void **>(&mapper)));
    ASSERT_EQ(S_OK, RegisterFilterWithMapper(&kSetup, mapper, TRUE));
    ASSERT_EQ(S_OK, RegisterFilterWithMapper(&kSetup, mapper, TRUE));
    EXPECT_TRUE(KeyExists(MapperEntry() + "\\Pins\\Video\\Types\\0"));
    EXPECT_FALSE(KeyExists(MapperEntry() + "\\Pins\\Video\\Types\\1"));
    EXPECT_EQ(S_OK, RegisterFilterWithMapper(&kSetup, mapper, FALSE));
    EXPECT_EQ(S_OK, RegisterFilterWithMapper(&kSetup, mapper, FALSE));
    EXPECT_FALSE(KeyExists(MapperEntry()));
    mapper->Release();

    // IAMovieSetup goes through the old mapper with the filter's setup data.
    FilterRef filter;
    IAMovieSetup *setup = nullptr;
    ASSERT_EQ(S_OK, filter->Base()->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void **>(&setup)));
    EXPECT_EQ(S_FALSE, setup->Register()) << "no setup data";
    filter->setup = &kSetup;
    EXPECT_EQ(S_OK, setup->Register());
    EXPECT_EQ("Test filter", ReadString(MapperEntry(), "FriendlyName"));
    EXPECT_EQ(S_OK, setup->Unregister());
    EXPECT_EQ(S_OK, setup->Unregister());
    EXPECT_FALSE(KeyExists(MapperEntry()));
    setup->Release();
}

} // namespace
