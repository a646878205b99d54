#include "support.h"

#include <filesystem>
#include <memory>

#include <windows.h>

#include "fakedialog.h"
#include "updater.h"

namespace fs = std::filesystem;

namespace lt {

void LauncherTest::SetUp()
{
    m_work = m_root.file("work");
    m_release = m_root.file("release");
    fs::create_directory(m_work);
    fs::create_directory(m_release);
    // The stand-in launcher (version 1.2.0.0) in the working directory and in the release.
    std::string stub = twtest::TestPath("launcher-stub/Tarnwick");
    fs::copy_file(stub, Work("Tarnwick"));
    fs::copy_file(stub, Release("Tarnwick"));
    m_oldCwd = fs::current_path().string();
    ASSERT_TRUE(SetCurrentDirectoryA(m_work.c_str()));
    g_hDlgStartup = FakeDialogHandle();
    g_cCancel.store(0);
    ResetFakeDialog();
    TakeMessageBoxes();
}

void LauncherTest::TearDown()
{
    m_server.reset();
    SetCurrentDirectoryA(m_oldCwd.c_str());
}

Entry LauncherTest::ReleaseEntry(const std::string &name, const std::string &version) const
{
    std::string bytes = twtest::ReadFile(Release(name));
    return {name, version, std::to_string(bytes.size()), twtest::Md5Hex(bytes)};
}

void LauncherTest::WriteManifest(const std::string &version, const std::vector<Entry> &entries)
{
    twtest::WriteFile(Work("files.ini"), ManifestText(version, entries));
}

std::string LauncherTest::ManifestKey(int entry, const std::string &key) const
{
    char value[256];
    std::string section = "File" + std::to_string(entry);
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "<absent>", value, sizeof value,
                             Work("files.ini").c_str());
    return value;
}

void LauncherTest::StartUpdateServer(const std::vector<std::string> &extra)
{
    m_server.reset();
    std::string portFile = m_root.file("port");
    RemoveFile(portFile);
    std::vector<std::string> argv = {twtest::BinPath("update-server"), "--root", m_release, "--listen",
                                     "127.0.0.1:0", "--port-file", portFile};
    argv.insert(argv.end(), extra.begin(), extra.end());
    m_server = std::make_unique<twtest::BackgroundProcess>(argv, m_root.file("server.log"));
    ASSERT_TRUE(twtest::WaitForFile(portFile, 10000)) << ServerLog();
    PointLauncherAt("127.0.0.1:" + std::to_string(std::stoi(twtest::ReadFile(portFile))));
}

void LauncherTest::PointLauncherAt(const std::string &address)
{
    m_serverEnv.reset();
    m_serverEnv = std::make_unique<twtest::ScopedEnv>("TARNWICK_UPDATE_SERVER", address.c_str());
}

} // namespace lt
