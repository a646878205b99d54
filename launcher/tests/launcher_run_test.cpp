// Runs of the real launcher program in a scratch installation: a directory with
// the program, the platform libraries and the program files, its own registry,
// the update server on loopback, and the window system answering and logging
// through the automation variables.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <windows.h>

#include "twrawserver.h"
#include "settings.h"
#include "testdata.h"
#include "twtesting.h"

namespace fs = std::filesystem;
using lt::Entry;

namespace {

const char kContact[] = "support@orvanne.example";
const char kOpen[] = "dialog\topen\tTarnwick startup";
// The script presses OK at the prompt, then OK when the download is done.
const char kPressOkTwice[] = "wait \"Tarnwick startup\"\nclick 1005\nsleep 1500\nclick 1005\n";

class LauncherRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_install = m_root.file("install");
        m_release = m_root.file("release");
        fs::create_directory(m_install);
        fs::create_directory(m_release);
        // The program with the platform libraries beside it, as an installation has
        // them: nothing from the build directory is found by accident.
        for (const auto &entry : fs::directory_iterator(twtest::BinPath("")))
            if (entry.path().filename().string().rfind("libtw", 0) == 0)
                Place(entry.path().string(), Install(entry.path().filename().string()));
        Place(twtest::BinPath("Tarnwick"), Install("Tarnwick"));
        fs::copy_file(twtest::BinPath("Tarnwick"), Release("Tarnwick"));
        // The release's recorder library: the test library with bytes of its own
        // after the image, so that it differs from the one an installation may hold.
        twtest::WriteFile(Release("TarnwickDll.dll"), twtest::ReadFile(RecorderLibrary()) + "release 2.0.0.0");
        twtest::WriteFile(Release("Kestrin.ax"), lt::Pattern(4000, 1));
        twtest::WriteFile(Release("Readme.txt"), lt::Pattern(2500, 2));
        twtest::WriteFile(m_root.file("script.txt"), "");
    }

    // Hard-links a file into the installation (copies it across file systems).
    static void Place(const std::string &from, const std::string &to)
    {
        std::error_code ec;
        fs::create_hard_link(from, to, ec);
        if (ec)
            fs::copy_file(from, to);
    }

    static std::string RecorderLibrary() { return twtest::TestPath("launcher-recorder/TarnwickDll.dll"); }
    std::string Install(const std::string &name) const { return m_install + "/" + name; }
    std::string Release(const std::string &name) const { return m_release + "/" + name; }
    Entry ReleaseEntry(const std::string &name, const std::string &version) const
    {
        std::string bytes = twtest::ReadFile(Release(name));
        return {name, version, std::to_string(bytes.size()), twtest::Md5Hex(bytes)};
    }
    // The three files the release adds to the launcher, in the server's order.
    std::vector<std::string> Files() const { return {"Kestrin.ax", "Readme.txt", "TarnwickDll.dll"}; }

    // A scripted server for the release at 2.0.0.0: the manifest and Kestrin.ax in
    // full; the connection for Readme.txt goes to the handler given.
    std::unique_ptr<twtest::CScriptedServer> ServeWithReadme(std::function<void(twtest::CConnection &)> readme)
    {
        std::vector<Entry> entries = {ReleaseEntry("Tarnwick", "0.0.0.1")};
        for (const std::string &name : Files())
            entries.push_back(ReleaseEntry(name, "2.0.0.0"));
        std::string manifest = lt::ManifestText("2.0.0.0", entries);
        std::string kestrin = twtest::ReadFile(Release("Kestrin.ax"));
        auto server = std::make_unique<twtest::CScriptedServer>([manifest, kestrin, readme](twtest::CConnection &c) {
            if (c.Path() == "/download/start.php")
                c.Send("HTTP/1.1 200 OK\r\nX-App_version: 2.0.0.0\r\n\r\n" + manifest);
            else if (c.Path() == "/download/Kestrin.ax.2.0.0.0")
                c.Send("HTTP/1.1 200 OK\r\n\r\n" + kestrin);
            else if (c.Path() == "/download/Readme.txt.2.0.0.0")
                readme(c);
        });
        m_serverAddress = server->Address();
        return server;
    }

    // A local manifest at 1.0.0.0 naming only the launcher.
    void WriteOldManifest()
    {
        twtest::WriteFile(Install("files.ini"), lt::ManifestText("1.0.0.0", {ReleaseEntry("Tarnwick", "1.0.0.0")}));
    }

    void StartUpdateServer(std::vector<std::string> extra = {})
    {
        m_server.reset();
        std::string portFile = m_root.file("port");
        lt::RemoveFile(portFile);
        std::vector<std::string> argv = {twtest::BinPath("update-server"), "--root", m_release, "--listen",
                                         "127.0.0.1:0", "--port-file", portFile, "--manifest-version", "2.0.0.0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        m_server = std::make_unique<twtest::BackgroundProcess>(argv, m_root.file("server.log"));
        ASSERT_TRUE(twtest::WaitForFile(portFile, 10000)) << ServerLog();
        m_serverAddress = "127.0.0.1:" + std::to_string(std::stoi(twtest::ReadFile(portFile)));
    }
    std::string ServerLog() const { return twtest::ReadFile(m_root.file("server.log")); }

    // Runs the launcher in the installation; returns its exit code as the signed
    // value the program ended with.
    int Run(const std::string &script, std::vector<std::string> args = {})
    {
        twtest::WriteFile(m_root.file("script.txt"), script);
        twtest::ScopedEnv qpa("QT_QPA_PLATFORM", "offscreen");
        twtest::ScopedEnv scriptEnv("TARNWICK_UI_SCRIPT", m_root.file("script.txt").c_str());
        twtest::ScopedEnv logEnv("TARNWICK_UI_LOG", m_root.file("ui.log").c_str());
        twtest::ScopedEnv server("TARNWICK_UPDATE_SERVER", m_serverAddress.empty() ? nullptr : m_serverAddress.c_str());
        // A launcher that hangs is ended, and the test fails, instead of holding the run.
        args.insert(args.begin(), {"/usr/bin/timeout", "--kill-after=5", "60", Install("Tarnwick")});
        twtest::ProcessResult result = twtest::RunProcess(args, m_install);
        m_output = result.output;
        return result.exitCode < 0 ? result.exitCode : static_cast<signed char>(result.exitCode);
    }
    std::string UiLog() const { return twtest::ReadFile(m_root.file("ui.log")); }
    std::string Diagnostics() const
    {
        return "output:\n" + m_output + "\nui log:\n" + UiLog() + "\nserver:\n" + ServerLog();
    }
    bool MainWasCalled() const { return twtest::FileExists(Install("recorder-main.txt")); }
    std::string MessageLine(const std::string &text) const
    {
        return "messagebox\tTarnwick\t" + text + "\tIDOK\n";
    }

    // A key of the installation's files.ini, or "<absent>".
    std::string ManifestKey(int entry, const std::string &key) const
    {
        char value[256];
        std::string section = "File" + std::to_string(entry);
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "<absent>", value, sizeof value,
                                 Install("files.ini").c_str());
        return value;
    }

    twtest::TempDir m_root;
    twtest::ScratchRegistry m_registry;
    std::string m_install;
    std::string m_release;
    std::string m_serverAddress;
    std::string m_output;
    std::unique_ptr<twtest::BackgroundProcess> m_server;
};

// ---- The update policy ---------------------------------------------------------

TEST_F(LauncherRunTest, NoSettingsKeyChecksAndStoresEveryStart)
{
    StartUpdateServer();
    WriteOldManifest();
    EXPECT_EQ(42, Run(kPressOkTwice)) << Diagnostics();
    EXPECT_EQ("Every program start", lt::SettingText(SETTING_AUTO_UPDATE));
    EXPECT_NE(std::string::npos, UiLog().find(kOpen)) << Diagnostics();
}

TEST_F(LauncherRunTest, NextStartBecomesNeverEvenWhenTheCheckFails)
{
    WriteSetting("Next program start", SETTING_AUTO_UPDATE);
    WriteOldManifest();
    twtest::CRefusingPort refusing;
    m_serverAddress = refusing.Address();
    EXPECT_EQ(-5, Run("")) << Diagnostics();
    EXPECT_EQ("Never", lt::SettingText(SETTING_AUTO_UPDATE));
    EXPECT_NE(std::string::npos,
              UiLog().find(MessageLine(std::string("Failed to get update information for this program, try again later "
                                                   "or mail ") + kContact)))
        << Diagnostics();
    EXPECT_FALSE(MainWasCalled());

    // The next start does not check.
    fs::copy_file(Release("TarnwickDll.dll"), Install("TarnwickDll.dll"));
    lt::RemoveFile(m_root.file("ui.log"));
    EXPECT_EQ(42, Run("")) << Diagnostics();
    EXPECT_EQ("", UiLog());
}

TEST_F(LauncherRunTest, DailyChecksOnceADay)
{
    StartUpdateServer();
    WriteOldManifest();
    WriteSetting("First program start (daily)", SETTING_AUTO_UPDATE);
    EXPECT_EQ(42, Run(kPressOkTwice)) << Diagnostics();
    EXPECT_EQ(lt::TodayText(), lt::SettingText(SETTING_UPDATE_CHECKED_ON));
    EXPECT_NE(std::string::npos, UiLog().find(kOpen));

    lt::RemoveFile(m_root.file("ui.log"));
    lt::RemoveFile(Install("recorder-main.txt"));
    EXPECT_EQ(42, Run("")) << Diagnostics();
    EXPECT_EQ(std::string::npos, UiLog().find(kOpen)) << "the second start of the day does not check";
    EXPECT_TRUE(MainWasCalled());
}

TEST_F(LauncherRunTest, LowerCaseEveryStartIsRecognisedAndRewritten)
{
    StartUpdateServer();
    WriteOldManifest();
    WriteSetting("every program start", SETTING_AUTO_UPDATE);
    EXPECT_EQ(42, Run(kPressOkTwice)) << Diagnostics();
    EXPECT_EQ("Every program start", lt::SettingText(SETTING_AUTO_UPDATE));
    EXPECT_NE(std::string::npos, UiLog().find(kOpen));
}

TEST_F(LauncherRunTest, NeverAndEmptyStartAtOnceWithTheCommandLine)
{
    for (const char *policy : {"Never", ""}) {
        WriteSetting(policy, SETTING_AUTO_UPDATE);
        fs::copy_file(Release("TarnwickDll.dll"), Install("TarnwickDll.dll"), fs::copy_options::overwrite_existing);
        EXPECT_EQ(42, Run("", {"http://streams.example/live.asf"})) << Diagnostics();
        EXPECT_EQ("cmdline=[http://streams.example/live.asf]\nshow=1\ninstance=launcher\n",
                  twtest::ReadFile(Install("recorder-main.txt")));
        EXPECT_EQ("", UiLog()) << "no dialog and no message";
        EXPECT_EQ(policy, lt::SettingText(SETTING_AUTO_UPDATE));
        EXPECT_EQ("<absent>", lt::SettingText(SETTING_UPDATE_CHECKED_ON));
        EXPECT_FALSE(twtest::FileExists(Install("files.ini")));
    }
}

// ---- Updates -------------------------------------------------------------------

TEST_F(LauncherRunTest, ThreeFilesAreFetchedAndTheRecorderGetsTheCommandLine)
{
    StartUpdateServer();
    WriteOldManifest();
    EXPECT_EQ(42, Run(kPressOkTwice, {"http://streams.example/a b.asf"})) << Diagnostics();
    for (const std::string &name : Files()) {
        EXPECT_EQ(twtest::ReadFile(Release(name)), twtest::ReadFile(Install(name))) << name;
        EXPECT_FALSE(twtest::FileExists(Install(name + ".2.0.0.0"))) << name;
    }
    EXPECT_EQ("cmdline=[\"http://streams.example/a b.asf\"]\nshow=1\ninstance=launcher\n",
              twtest::ReadFile(Install("recorder-main.txt")));
    std::string log = UiLog();
    EXPECT_NE(std::string::npos, log.find(std::string(kOpen) + "\n")) << Diagnostics();
    EXPECT_NE(std::string::npos, log.find("dialog\tclose\tTarnwick startup\t1\n")) << Diagnostics();
    EXPECT_EQ(std::string::npos, log.find("messagebox")) << Diagnostics();
    EXPECT_EQ("4000", ManifestKey(2, "DownloadedSize"));

    // The next start finds everything current: the dialog closes by itself.
    lt::RemoveFile(m_root.file("ui.log"));
    EXPECT_EQ(42, Run("")) << Diagnostics();
    EXPECT_NE(std::string::npos, UiLog().find("dialog\tclose\tTarnwick startup\t0\n")) << Diagnostics();
}

TEST_F(LauncherRunTest, APartialFileIsResumedWithARange)
{
    StartUpdateServer();
    WriteOldManifest();
    std::string dll = twtest::ReadFile(Release("TarnwickDll.dll"));
    twtest::WriteFile(Install("TarnwickDll.dll.2.0.0.0"), dll.substr(0, 1000));
    EXPECT_EQ(42, Run(kPressOkTwice)) << Diagnostics();
    EXPECT_EQ(dll, twtest::ReadFile(Install("TarnwickDll.dll")));
    EXPECT_NE(std::string::npos, ServerLog().find("GET /download/TarnwickDll.dll.2.0.0.0 -> 206 bytes=1000-"))
        << Diagnostics();
}

TEST_F(LauncherRunTest, AWholeFileAnsweredToARangeFailsTheDownload)
{
    StartUpdateServer({"--ignore-range"});
    WriteOldManifest();
    twtest::WriteFile(Install("Readme.txt.2.0.0.0"), "partial");
    EXPECT_EQ(-16, Run("wait \"Tarnwick startup\"\nclick 1005\n")) << Diagnostics();
    EXPECT_NE(std::string::npos,
              UiLog().find(MessageLine(std::string("Failed to download the update for this program, try again later or "
                                                   "mail ") + kContact)))
        << Diagnostics();
    EXPECT_EQ("partial", twtest::ReadFile(Install("Readme.txt.2.0.0.0")));
    EXPECT_FALSE(MainWasCalled());
}

TEST_F(LauncherRunTest, ADigestMismatchDeletesTheTemporaryFile)
{
    std::vector<Entry> entries = {ReleaseEntry("Tarnwick", "0.0.0.1")};
    for (const std::string &name : Files())
        entries.push_back(ReleaseEntry(name, "2.0.0.0"));
    entries[2].md5 = twtest::Md5Hex("something else");
    twtest::WriteFile(m_root.file("served.ini"), lt::ManifestText("2.0.0.0", entries));
    StartUpdateServer({"--manifest", m_root.file("served.ini")});
    WriteOldManifest();
    EXPECT_EQ(-18, Run("wait \"Tarnwick startup\"\nclick 1005\n")) << Diagnostics();
    EXPECT_TRUE(twtest::FileExists(Install("Kestrin.ax")));
    EXPECT_FALSE(twtest::FileExists(Install("Readme.txt.2.0.0.0")));
    EXPECT_FALSE(twtest::FileExists(Install("Readme.txt")));
    EXPECT_EQ("<absent>", ManifestKey(3, "DownloadedSize"));
    EXPECT_NE(std::string::npos, UiLog().find("Failed to download the update")) << Diagnostics();
}

TEST_F(LauncherRunTest, CancelDuringTheSecondOfThreeFiles)
{
    const std::string kestrin = twtest::ReadFile(Release("Kestrin.ax"));
    const std::string readme = twtest::ReadFile(Release("Readme.txt"));
    // The second file trickles in until the launcher hangs up.
    auto server = ServeWithReadme([&](twtest::CConnection &c) {
        c.Send("HTTP/1.1 200 OK\r\n\r\n" + readme.substr(0, 100), 0);
        for (size_t at = 100; at + 1 < readme.size() && c.Send(readme.substr(at, 1), 50); ++at) {
        }
    });
    WriteOldManifest();
    // The recorder library of the previous release, which the third file would replace.
    fs::copy_file(RecorderLibrary(), Install("TarnwickDll.dll"));
    EXPECT_EQ(42, Run("wait \"Tarnwick startup\"\nclick 1005\nsleep 1500\nclick 2\n")) << Diagnostics();
    EXPECT_TRUE(MainWasCalled());
    EXPECT_EQ(kestrin, twtest::ReadFile(Install("Kestrin.ax")));
    EXPECT_FALSE(twtest::FileExists(Install("Readme.txt")));
    std::string partial = twtest::ReadFile(Install("Readme.txt.2.0.0.0"));
    EXPECT_GE(partial.size(), 100u);
    EXPECT_LT(partial.size(), readme.size());
    EXPECT_EQ(readme.substr(0, partial.size()), partial);
    EXPECT_EQ("", twtest::ReadFile(Install("TarnwickDll.dll.2.0.0.0")));
    EXPECT_EQ(twtest::ReadFile(RecorderLibrary()), twtest::ReadFile(Install("TarnwickDll.dll")));
    for (const std::string &request : server->Requests())
        EXPECT_EQ(std::string::npos, request.find("TarnwickDll.dll")) << "the third file is not fetched";
}

TEST_F(LauncherRunTest, CancelEndsAStalledDownloadAtOnceAndTheNextStartResumesIt)
{
    const std::string kestrin = twtest::ReadFile(Release("Kestrin.ax"));
    const std::string readme = twtest::ReadFile(Release("Readme.txt"));
    std::atomic<bool> hungUp{false};
    {
        // The second file stops after 100 bytes and the server stays silent, for
        // about half the launcher's own time-out: only Cancel ends it in time.
        auto server = ServeWithReadme([&](twtest::CConnection &c) {
            c.Send("HTTP/1.1 200 OK\r\n\r\n" + readme.substr(0, 100), 0);
            hungUp = c.WaitForClose(15000);
        });
        WriteOldManifest();
        fs::copy_file(RecorderLibrary(), Install("TarnwickDll.dll"));
        EXPECT_EQ(42, Run("wait \"Tarnwick startup\"\nclick 1005\nsleep 1500\nclick 2\n")) << Diagnostics();
    }
    EXPECT_TRUE(hungUp) << "Cancel closed the stalled connection";
    EXPECT_TRUE(MainWasCalled());
    EXPECT_EQ(kestrin, twtest::ReadFile(Install("Kestrin.ax")));
    EXPECT_EQ(readme.substr(0, 100), twtest::ReadFile(Install("Readme.txt.2.0.0.0")));
    EXPECT_NE(std::string::npos, UiLog().find("dialog\tclose\tTarnwick startup\t0\n")) << Diagnostics();

    // The next start resumes the file from what arrived.
    StartUpdateServer();
    lt::RemoveFile(m_root.file("ui.log"));
    EXPECT_EQ(42, Run(kPressOkTwice)) << Diagnostics();
    EXPECT_NE(std::string::npos, ServerLog().find("GET /download/Readme.txt.2.0.0.0 -> 206 bytes=100-"))
        << Diagnostics();
    EXPECT_EQ(readme, twtest::ReadFile(Install("Readme.txt")));
    EXPECT_EQ(twtest::ReadFile(Release("TarnwickDll.dll")), twtest::ReadFile(Install("TarnwickDll.dll")));
}

TEST_F(LauncherRunTest, ANameTooLongForAFileIsAFailedDownload)
{
    std::vector<Entry> entries = {ReleaseEntry("Tarnwick", "0.0.0.1"), ReleaseEntry("Kestrin.ax", "2.0.0.0")};
    entries.push_back({std::string(1000000, 'r'), "2.0.0.0", "10", twtest::Md5Hex("r")});
    twtest::WriteFile(m_root.file("served.ini"), lt::ManifestText("2.0.0.0", entries));
    StartUpdateServer({"--manifest", m_root.file("served.ini")});
    WriteOldManifest();
    EXPECT_EQ(-19, Run("")) << Diagnostics();
    std::string log = UiLog();
    EXPECT_NE(std::string::npos, log.find("dialog\tclose\tTarnwick startup\t-19\n")) << Diagnostics();
    EXPECT_NE(std::string::npos,
              log.find(MessageLine(std::string("Failed to download the update for this program, try again later or "
                                               "mail ") + kContact)))
        << Diagnostics();
    EXPECT_EQ(std::string::npos, ServerLog().find("GET /download/Kestrin")) << "nothing was downloaded";
    EXPECT_FALSE(MainWasCalled());
}

// ---- Failures --------------------------------------------------------------------

TEST_F(LauncherRunTest, ANewerLauncherAsksForTheInstaller)
{
    StartUpdateServer({"--version", "Tarnwick=99.0.0.0"});
    WriteOldManifest();
    EXPECT_EQ(-10, Run("")) << Diagnostics();
    EXPECT_NE(std::string::npos,
              UiLog().find(MessageLine("A new version is avalaible at "
                                       "http://updates.orvanne.example/download/TarnwickSetup.exe")))
        << Diagnostics();
    EXPECT_FALSE(twtest::FileExists(Install("Kestrin.ax.2.0.0.0")));
    EXPECT_FALSE(MainWasCalled());
}

TEST_F(LauncherRunTest, NoManifestIsReported)
{
    StartUpdateServer();
    EXPECT_EQ(-2, Run("")) << Diagnostics();
    EXPECT_NE(std::string::npos,
              UiLog().find(MessageLine(std::string("Version information file 'files.ini' not found, try again later or "
                                                   "mail ") + kContact)))
        << Diagnostics();
    EXPECT_EQ(std::string::npos, ServerLog().find("GET")) << "nothing was asked";
}

TEST_F(LauncherRunTest, NoServerListening)
{
    WriteOldManifest();
    twtest::CRefusingPort refusing;
    m_serverAddress = refusing.Address();
    EXPECT_EQ(-5, Run("")) << Diagnostics();
    EXPECT_NE(std::string::npos, UiLog().find("Failed to get update information")) << Diagnostics();
}

TEST_F(LauncherRunTest, ASilentServerEndsTheCheckAfterTheTimeOut)
{
    WriteSetting("Next program start", SETTING_AUTO_UPDATE);
    WriteOldManifest();
    // Accepts and never answers, for longer than the launcher waits.
    twtest::CScriptedServer server([](twtest::CConnection &c) { c.WaitForClose(30000); });
    m_serverAddress = server.Address();
    twtest::ScopedEnv timeout("TARNWICK_UPDATE_TIMEOUT", "1500");
    EXPECT_EQ(-5, Run("")) << Diagnostics();
    EXPECT_EQ("Never", lt::SettingText(SETTING_AUTO_UPDATE));
    EXPECT_NE(std::string::npos,
              UiLog().find(MessageLine(std::string("Failed to get update information for this program, try again later "
                                                   "or mail ") + kContact)))
        << Diagnostics();
    EXPECT_FALSE(MainWasCalled());
}

TEST_F(LauncherRunTest, AMissingRecorderLibraryEndsWithMinusEight)
{
    WriteSetting("Never", SETTING_AUTO_UPDATE);
    EXPECT_EQ(-8, Run("")) << Diagnostics();
    EXPECT_EQ("", UiLog()) << "no message";
}

TEST_F(LauncherRunTest, ARecorderLibraryWithoutMainEndsWithMinusSeven)
{
    WriteSetting("Never", SETTING_AUTO_UPDATE);
    fs::copy_file(twtest::TestPath("launcher-nomain/TarnwickDll.dll"), Install("TarnwickDll.dll"));
    EXPECT_EQ(-7, Run("")) << Diagnostics();
    EXPECT_EQ("", UiLog()) << "no message";
}

TEST_F(LauncherRunTest, ATruncatedRecorderLibraryEndsWithMinusEight)
{
    WriteSetting("Never", SETTING_AUTO_UPDATE);
    // A copy cut short (a failed update, a full disk): refused, not mapped.
    std::string whole = twtest::ReadFile(twtest::TestPath("launcher-recorder/TarnwickDll.dll"));
    twtest::WriteFile(Install("TarnwickDll.dll"), whole.substr(0, whole.size() / 2));
    EXPECT_EQ(-8, Run("")) << Diagnostics();
    EXPECT_EQ("", UiLog()) << "no message";
    EXPECT_FALSE(MainWasCalled());
}

} // namespace
