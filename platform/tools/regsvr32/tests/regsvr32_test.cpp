// regsvr32 end to end: it registers the test server in a scratch registry, a
// second process creates the server's object through COM, and it unregisters.
#include <gtest/gtest.h>
#include <twtesting.h>

#include <string>
#include <vector>
#include <windows.h>

namespace {

const char kClassKey[] = "CLSID\\{5E3C8A41-2B7D-4F19-9A61-3C0D842E71B5}";

bool KeyExists(const std::string &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A string value, or "<missing>".
std::string ReadString(const std::string &keyName, const char *valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    LONG lr = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(key);
    return lr == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : "<missing>";
}

twtest::ProcessResult Regsvr32(const std::vector<std::string> &args, const std::string &cwd = "")
{
    std::vector<std::string> argv{twtest::BinPath("regsvr32")};
    argv.insert(argv.end(), args.begin(), args.end());
    return twtest::RunProcess(argv, cwd);
}

class Regsvr32Test : public ::testing::Test {
protected:
    twtest::ScratchRegistry m_registry;
    const std::string m_server = twtest::TestPath("twtestserver.dll");
};

TEST_F(Regsvr32Test, RegistersAClientCanCreateItAndUnregistersTwice)
{
    auto reg = Regsvr32({m_server});
    ASSERT_EQ(reg.exitCode, 0) << reg.output;
    EXPECT_EQ(reg.output, "DllRegisterServer in " + m_server + " succeeded.\n");

    const std::string server = std::string(kClassKey) + "\\InprocServer32";
    EXPECT_EQ(ReadString(kClassKey, nullptr), "Tarnwick COM test counter");
    EXPECT_EQ(ReadString(server, nullptr), m_server);
    EXPECT_EQ(ReadString(server, "ThreadingModel"), "Both");

    auto client = twtest::RunProcess({twtest::TestPath("com_client"), "3"});
    EXPECT_EQ(client.exitCode, 0) << client.output;
    EXPECT_EQ(client.output, "value=3\n");

    for (int i = 0; i < 2; ++i) {
        auto unreg = Regsvr32({"/u", m_server});
        EXPECT_EQ(unreg.exitCode, 0) << unreg.output;
        EXPECT_EQ(unreg.output, "DllUnregisterServer in " + m_server + " succeeded.\n");
        EXPECT_FALSE(KeyExists(kClassKey));
    }

    client = twtest::RunProcess({twtest::TestPath("com_client"), "1"});
    EXPECT_EQ(client.exitCode, 3);
    EXPECT_NE(client.output.find("0x80040154"), std::string::npos) << client.output; // REGDB_E_CLASSNOTREG
}

TEST_F(Regsvr32Test, RelativePathIsRegisteredAsAbsoluteAndSilentModePrintsNothing)
{
    auto reg = Regsvr32({"/s", "twtestserver.dll"}, twtest::TestPath(""));
    ASSERT_EQ(reg.exitCode, 0) << reg.output;
    EXPECT_EQ(reg.output, "");
    const std::string registered = ReadString(std::string(kClassKey) + "\\InprocServer32", nullptr);
    ASSERT_FALSE(registered.empty());
    EXPECT_EQ(registered[0], '/');
    EXPECT_TRUE(twtest::FileExists(registered)) << registered;

    // The registered path works from any directory.
    twtest::TempDir elsewhere;
    auto client = twtest::RunProcess({twtest::TestPath("com_client"), "2"}, elsewhere.path());
    EXPECT_EQ(client.output, "value=2\n");

    auto unreg = Regsvr32({"-U", "-S", "twtestserver.dll"}, twtest::TestPath(""));
    EXPECT_EQ(unreg.exitCode, 0) << unreg.output;
    EXPECT_EQ(unreg.output, "");
    EXPECT_FALSE(KeyExists(kClassKey));
}

TEST_F(Regsvr32Test, FailuresExitNonZeroWithAMessage)
{
    twtest::TempDir dir;
    const std::string missing = dir.file("missing.ax");
    auto r = Regsvr32({missing});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("The module \"" + missing + "\" failed to load."), std::string::npos) << r.output;

    const std::string noExports = twtest::TestPath("twnoexports.dll");
    r = Regsvr32({noExports});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.output.find("The entry-point DllRegisterServer was not found."), std::string::npos) << r.output;
    r = Regsvr32({"/u", noExports});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.output.find("The entry-point DllUnregisterServer was not found."), std::string::npos) << r.output;

    {
        twtest::ScopedEnv fail("TW_TESTSERVER_FAIL_REGISTER", "1");
        r = Regsvr32({m_server});
    }
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_EQ(r.output, "DllRegisterServer in " + m_server + " failed with error code 0x80070005.\n");
    EXPECT_FALSE(KeyExists(kClassKey));

    r = Regsvr32({"/s", missing});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output, "");
    // Silent too when the loader has something to say about a damaged file.
    const std::string damaged = dir.file("damaged.ax");
    twtest::WriteFile(damaged, "not a module");
    r = Regsvr32({damaged});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("failed to load"), std::string::npos) << r.output;
    r = Regsvr32({"/s", damaged});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output, "");

    r = Regsvr32({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("No module name specified."), std::string::npos);
    r = Regsvr32({"/x", m_server});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("Unrecognized flag: /x"), std::string::npos);
}

} // namespace
