// The start-up dialog and its worker threads, run against the update server with
// a stand-in for the window system, and the launcher's start-up decisions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <windows.h>

#include "fakedialog.h"
#include "launcher_ids.h"
#include "twrawserver.h"
#include "settings.h"
#include "startup.h"
#include "startup_dialog.h"
#include "support.h"
#include "updater.h"

namespace fs = std::filesystem;
using lt::ClickFakeButton;
using lt::DialogEvent;
using lt::Entry;
using lt::LauncherTest;

namespace {

const char kContact[] = "support@orvanne.example";

// A release of three files besides the launcher, published at 1.3.0.0 while the
// working directory holds the 1.2.0.0 manifest.
class StartupDialogTest : public LauncherTest {
protected:
    void SetUp() override
    {
        LauncherTest::SetUp();
        m_files = {{"A.bin", lt::Pattern(3000, 1)}, {"B.bin", lt::Pattern(5000, 2)}, {"C.bin", lt::Pattern(2000, 3)}};
        for (const auto &f : m_files)
            twtest::WriteFile(Release(f.first), f.second);
        WriteManifest("1.2.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0")});
    }
    std::vector<Entry> ReleaseEntries(const std::string &launcherVersion = "1.2.0.0")
    {
        std::vector<Entry> entries = {ReleaseEntry("Tarnwick", launcherVersion)};
        for (const auto &f : m_files)
            entries.push_back(ReleaseEntry(f.first, "1.3.0.0"));
        return entries;
    }
    // Serves the given manifest instead of the one the server would build.
    void StartWithManifest(const std::vector<Entry> &entries, std::vector<std::string> extra = {})
    {
        twtest::WriteFile(Outside("served.ini"), lt::ManifestText("1.3.0.0", entries));
        extra.insert(extra.end(), {"--manifest-version", "1.3.0.0", "--manifest", Outside("served.ini")});
        StartUpdateServer(extra);
    }
    // Runs the dialog, pressing OK whenever it appears.
    INT_PTR RunPressingOk(std::function<void(const DialogEvent &)> more = nullptr)
    {
        return lt::RunFakeDialog(StartupDlgProc, [more](const DialogEvent &e) {
            if (e.kind == DialogEvent::Show && e.id == IDC_STARTUP_OK)
                ClickFakeButton(IDC_STARTUP_OK);
            if (more)
                more(e);
        });
    }
    bool AnyButtonShown()
    {
        for (const DialogEvent &e : lt::DialogEvents())
            if (e.kind == DialogEvent::Show)
                return true;
        return false;
    }
    std::vector<std::pair<std::string, std::string>> m_files;
};

TEST_F(StartupDialogTest, EverythingCurrentClosesByItself)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    twtest::WriteFile(Work("files.ini"), lt::ManifestText("1.3.0.0", ReleaseEntries()));
    for (const auto &f : m_files)
        twtest::WriteFile(Work(f.first), f.second);
    EXPECT_EQ(STARTUP_NOTHING_TO_DO, lt::RunFakeDialog(StartupDlgProc, nullptr));
    EXPECT_EQ(std::vector<std::string>{"Checking for updates..."}, lt::StatusTexts(IDC_STARTUP_STATUS));
    EXPECT_FALSE(AnyButtonShown());
}

TEST_F(StartupDialogTest, ANewerManifestWithEveryFileCurrentClosesByItself)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    for (const auto &f : m_files)
        twtest::WriteFile(Work(f.first), f.second);
    EXPECT_EQ(STARTUP_NOTHING_TO_DO, lt::RunFakeDialog(StartupDlgProc, nullptr));
    EXPECT_EQ((std::vector<std::string>{"Checking for updates...", "Updates found, calculating downloadsize..."}),
              lt::StatusTexts(IDC_STARTUP_STATUS));
    EXPECT_FALSE(AnyButtonShown());
    EXPECT_EQ(lt::ManifestText("1.3.0.0", ReleaseEntries()).substr(0, 10),
              twtest::ReadFile(Work("files.ini")).substr(0, 10));
}

TEST_F(StartupDialogTest, ThreeFilesArePromptedFetchedAndInstalled)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    EXPECT_EQ(STARTUP_DOWNLOADED, RunPressingOk());
    EXPECT_EQ((std::vector<std::string>{
                  "Checking for updates...", "Updates found, calculating downloadsize...",
                  "Some files are out of date or missing and need to be updated.\r\nPress OK to start download "
                  "(10000 bytes)",
                  "Downloading: A.bin.1.3.0.0", "Downloading: B.bin.1.3.0.0", "Downloading: C.bin.1.3.0.0",
                  "Download completed succesfully!, click 'OK' to start the program "}),
              lt::StatusTexts(IDC_STARTUP_STATUS));

    // Prompt: OK alone; downloading: Cancel and the progress bar; done: OK alone.
    std::vector<std::pair<int, int>> shown; // (kind, id) of every show and hide, in order
    for (const DialogEvent &e : lt::DialogEvents())
        if (e.kind == DialogEvent::Show || e.kind == DialogEvent::Hide)
            shown.push_back({e.kind, e.id});
    std::vector<std::pair<int, int>> expected = {
        {DialogEvent::Show, IDC_STARTUP_OK},       {DialogEvent::Hide, IDC_STARTUP_OK},
        {DialogEvent::Show, IDCANCEL},             {DialogEvent::Show, IDC_STARTUP_PROGRESS},
        {DialogEvent::Show, IDC_STARTUP_OK},       {DialogEvent::Hide, IDCANCEL},
        {DialogEvent::Hide, IDC_STARTUP_PROGRESS}};
    EXPECT_EQ(expected, shown);
    std::vector<int> positions = lt::ProgressPositions();
    EXPECT_EQ(3, std::count(positions.begin(), positions.end(), 100)) << "each file's progress reaches 100";

    for (size_t i = 0; i < m_files.size(); ++i) {
        EXPECT_EQ(m_files[i].second, twtest::ReadFile(Work(m_files[i].first)));
        EXPECT_FALSE(twtest::FileExists(Work(m_files[i].first + ".1.3.0.0")));
        EXPECT_EQ(std::to_string(m_files[i].second.size()), ManifestKey(static_cast<int>(i) + 2, "DownloadedSize"));
    }
    // The launcher's final verification finds everything in place.
    int exitCode = 12345;
    EXPECT_TRUE(ActOnStartupResult(STARTUP_DOWNLOADED, &exitCode));
    EXPECT_EQ(12345, exitCode);
    EXPECT_TRUE(lt::TakeMessageBoxes().empty());
}

TEST_F(StartupDialogTest, ASecondClickOnTheWayStartsNoSecondDownload)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    int clicks = 0;
    INT_PTR result = lt::RunFakeDialog(StartupDlgProc, [&](const DialogEvent &e) {
        if (e.kind == DialogEvent::Show && e.id == IDC_STARTUP_OK && clicks++ == 0) {
            ClickFakeButton(IDC_STARTUP_OK);
            ClickFakeButton(IDC_STARTUP_OK); // arrives after OK was hidden
        } else if (e.kind == DialogEvent::Show && e.id == IDC_STARTUP_OK) {
            ClickFakeButton(IDC_STARTUP_OK);
        }
    });
    EXPECT_EQ(STARTUP_DOWNLOADED, result);
    std::string log = ServerLog();
    size_t first = log.find("GET /download/A.bin.1.3.0.0");
    ASSERT_NE(std::string::npos, first) << log;
    EXPECT_EQ(std::string::npos, log.find("GET /download/A.bin.1.3.0.0", first + 1)) << log;
}

TEST_F(StartupDialogTest, CancelDuringTheSecondFileKeepsWhatArrived)
{
    // The second file arrives in part; the rest comes only once Cancel was pressed.
    std::atomic<bool> cancelled{false};
    const std::string served = lt::ManifestText("1.3.0.0", ReleaseEntries());
    twtest::CScriptedServer server([&](twtest::CConnection &c) {
        std::string path = c.Path();
        if (path == "/download/start.php") {
            c.Send("HTTP/1.1 200 OK\r\nX-App_version: 1.3.0.0\r\n\r\n" + served);
        } else if (path == "/download/A.bin.1.3.0.0") {
            c.Send("HTTP/1.1 200 OK\r\n\r\n" + m_files[0].second);
        } else if (path == "/download/B.bin.1.3.0.0") {
            c.Send("HTTP/1.1 200 OK\r\n\r\n" + m_files[1].second.substr(0, 1000));
            for (int i = 0; i < 1000 && !cancelled; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            c.Send(m_files[1].second.substr(1000, 1000));
        }
    });
    PointLauncherAt(server.Address());

    bool onB = false;
    INT_PTR result = RunPressingOk([&](const DialogEvent &e) {
        if (e.kind == DialogEvent::Text)
            onB = e.text == "Downloading: B.bin.1.3.0.0";
        if (onB && e.kind == DialogEvent::Progress && e.value > 0 && !cancelled) {
            ClickFakeButton(IDCANCEL);
            cancelled = true;
        }
    });
    EXPECT_EQ(STARTUP_NOTHING_TO_DO, result);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(m_files[0].second, twtest::ReadFile(Work("A.bin")));
    EXPECT_FALSE(twtest::FileExists(Work("B.bin")));
    EXPECT_EQ(m_files[1].second.substr(0, 1000), twtest::ReadFile(Work("B.bin.1.3.0.0")));
    EXPECT_FALSE(twtest::FileExists(Work("C.bin")));
    EXPECT_EQ("", twtest::ReadFile(Work("C.bin.1.3.0.0")));
    for (const std::string &request : server.Requests())
        EXPECT_EQ(std::string::npos, request.find("C.bin")) << "the third file is not fetched";
}

TEST_F(StartupDialogTest, CancelBeforeTheDownloadStopsItAtItsFirstReceive)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    INT_PTR result = lt::RunFakeDialog(StartupDlgProc, [](const DialogEvent &e) {
        if (e.kind == DialogEvent::Show && e.id == IDC_STARTUP_OK) {
            ClickFakeButton(IDCANCEL); // Escape at the prompt
            ClickFakeButton(IDC_STARTUP_OK);
        }
    });
    EXPECT_EQ(STARTUP_NOTHING_TO_DO, result);
    for (const auto &f : m_files)
        EXPECT_FALSE(twtest::FileExists(Work(f.first))) << f.first;
    EXPECT_EQ("", twtest::ReadFile(Work("A.bin.1.3.0.0")));
}

TEST_F(StartupDialogTest, ADigestMismatchDeletesTheTemporaryFile)
{
    std::vector<Entry> entries = ReleaseEntries();
    entries[2].md5 = twtest::Md5Hex("not B");
    StartWithManifest(entries);
    EXPECT_EQ(DOWNLOAD_BAD_DIGEST, RunPressingOk());
    EXPECT_EQ(m_files[0].second, twtest::ReadFile(Work("A.bin")));
    EXPECT_FALSE(twtest::FileExists(Work("B.bin")));
    EXPECT_FALSE(twtest::FileExists(Work("B.bin.1.3.0.0")));
    EXPECT_EQ("<absent>", ManifestKey(3, "DownloadedSize"));
    EXPECT_EQ("3000", ManifestKey(2, "DownloadedSize"));

    int exitCode = 0;
    EXPECT_FALSE(ActOnStartupResult(DOWNLOAD_BAD_DIGEST, &exitCode));
    EXPECT_EQ(DOWNLOAD_BAD_DIGEST, exitCode);
    auto boxes = lt::TakeMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Tarnwick", boxes[0].caption);
    EXPECT_EQ(std::string("Failed to download the update for this program, try again later or mail ") + kContact,
              boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes[0].type);
}

TEST_F(StartupDialogTest, ASizeMismatchKeepsTheTemporaryFile)
{
    std::vector<Entry> entries = ReleaseEntries();
    entries[2].size = "6000";
    StartWithManifest(entries);
    EXPECT_EQ(DOWNLOAD_BAD_SIZE, RunPressingOk());
    EXPECT_EQ(m_files[1].second, twtest::ReadFile(Work("B.bin.1.3.0.0")));
    EXPECT_EQ("5000", ManifestKey(3, "DownloadedSize"));
}

TEST_F(StartupDialogTest, AManifestNamingFilesElsewhereFailsTheDownload)
{
    twtest::WriteFile(Outside("victim.bin"), "outside");
    std::vector<Entry> entries = ReleaseEntries();
    entries[2].name = "../victim.bin";
    StartWithManifest(entries);
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, lt::RunFakeDialog(StartupDlgProc, nullptr));
    EXPECT_EQ("outside", twtest::ReadFile(Outside("victim.bin")));
    EXPECT_FALSE(twtest::FileExists(Outside("victim.bin.1.3.0.0")));
    EXPECT_FALSE(AnyButtonShown());
}

TEST_F(StartupDialogTest, TheDownloadThreadRefusesANameOutsideOnItsOwn)
{
    // Run directly, as if the manifest had changed after the size computation.
    WriteManifest("1.3.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"../x", "1.0", "7", twtest::Md5Hex("x")}});
    twtest::WriteFile(Outside("x.1.0"), "outside");
    DownloadThread(lt::FakeDialogHandle());
    std::vector<DialogEvent> events = lt::DialogEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(DialogEvent::Result, events.back().kind);
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, events.back().value);
    EXPECT_EQ("outside", twtest::ReadFile(Outside("x.1.0")));
}

TEST_F(StartupDialogTest, ANameTooLongForAFileIsAFailedDownloadNeverASuccess)
{
    std::vector<Entry> entries = ReleaseEntries();
    entries[2].name = std::string(1000000, 'b');
    StartWithManifest(entries);
    EXPECT_EQ(DOWNLOAD_BAD_SIZE, RunPressingOk());
    EXPECT_FALSE(AnyButtonShown()) << "no prompt for a download that cannot be stored";
    for (const std::string &text : lt::StatusTexts(IDC_STARTUP_STATUS))
        EXPECT_EQ(std::string::npos, text.find("Download completed")) << text;

    // Run directly, as if the size computation had not seen it: a file that is
    // neither in place nor has a temporary file fails its download.
    WriteManifest("1.3.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"Gone.bin", "1.0", "7", twtest::Md5Hex("x")}});
    lt::ResetFakeDialog();
    DownloadThread(lt::FakeDialogHandle());
    std::vector<DialogEvent> events = lt::DialogEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(DialogEvent::Result, events.back().kind);
    EXPECT_EQ(DOWNLOAD_BAD_SIZE, events.back().value);
}

// ---- Start-up: the policy and the reaction to the dialog's result ----------

using PolicyTest = LauncherTest;

TEST_F(PolicyTest, EveryStartAndAnAbsentKeyCheck)
{
    EXPECT_TRUE(UpdateCheckDue());
    EXPECT_EQ("Every program start", lt::SettingText(SETTING_AUTO_UPDATE));
    WriteSetting("every program start", SETTING_AUTO_UPDATE);
    EXPECT_TRUE(UpdateCheckDue());
    EXPECT_EQ("Every program start", lt::SettingText(SETTING_AUTO_UPDATE));
    EXPECT_EQ("<absent>", lt::SettingText(SETTING_UPDATE_CHECKED_ON));
}

TEST_F(PolicyTest, NextStartChecksOnce)
{
    WriteSetting("Next program start", SETTING_AUTO_UPDATE);
    EXPECT_TRUE(UpdateCheckDue());
    EXPECT_EQ("Never", lt::SettingText(SETTING_AUTO_UPDATE));
    EXPECT_FALSE(UpdateCheckDue());
}

TEST_F(PolicyTest, DailyChecksOnceADay)
{
    WriteSetting("First program start (daily)", SETTING_AUTO_UPDATE);
    EXPECT_TRUE(UpdateCheckDue());
    EXPECT_EQ(lt::TodayText(), lt::SettingText(SETTING_UPDATE_CHECKED_ON));
    EXPECT_FALSE(UpdateCheckDue());
    EXPECT_EQ("First program start (daily)", lt::SettingText(SETTING_AUTO_UPDATE));

    WriteSetting("19990101", SETTING_UPDATE_CHECKED_ON);
    WriteSetting("fIRST", SETTING_AUTO_UPDATE);
    EXPECT_TRUE(UpdateCheckDue());
    EXPECT_EQ(lt::TodayText(), lt::SettingText(SETTING_UPDATE_CHECKED_ON));
}

TEST_F(PolicyTest, NeverEmptyAndUnknownPoliciesDoNotCheckOrWrite)
{
    for (const char *policy : {"Never", "", "Sometimes"}) {
        WriteSetting(policy, SETTING_AUTO_UPDATE);
        EXPECT_FALSE(UpdateCheckDue()) << policy;
        EXPECT_EQ(policy, lt::SettingText(SETTING_AUTO_UPDATE));
        EXPECT_EQ("<absent>", lt::SettingText(SETTING_UPDATE_CHECKED_ON));
    }
}

TEST_F(PolicyTest, EachResultHasItsMessageAndExitCode)
{
    struct Case {
        INT_PTR result;
        const char *text; // null: the recorder starts without a message
    };
    const std::string tail = std::string(" try again later or mail ") + kContact;
    const std::string notFound = "Version information file 'files.ini' not found," + tail;
    const std::string checkFailed = "Failed to get update information for this program," + tail;
    const std::string newVersion = "A new version is avalaible at http://updates.orvanne.example/download/TarnwickSetup.exe";
    const std::string downloadFailed = "Failed to download the update for this program," + tail;
    std::vector<Case> cases = {{0, nullptr}, {2, nullptr}, {-1, nullptr}, {-20, nullptr}, {-2, notFound.c_str()},
                               {-10, newVersion.c_str()}};
    for (int code = -3; code >= -9; --code)
        cases.push_back({code, checkFailed.c_str()});
    for (int code = -11; code >= -19; --code)
        cases.push_back({code, downloadFailed.c_str()});
    for (const Case &c : cases) {
        int exitCode = 777;
        bool start = ActOnStartupResult(c.result, &exitCode);
        auto boxes = lt::TakeMessageBoxes();
        if (!c.text) {
            EXPECT_TRUE(start) << c.result;
            EXPECT_TRUE(boxes.empty()) << c.result;
            continue;
        }
        EXPECT_FALSE(start) << c.result;
        EXPECT_EQ(c.result, exitCode);
        ASSERT_EQ(1u, boxes.size()) << c.result;
        EXPECT_EQ(c.text, boxes[0].text);
        EXPECT_EQ("Tarnwick", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes[0].type);
    }
}

TEST_F(PolicyTest, ADownloadThatLeftFilesMissingIsReported)
{
    WriteManifest("1.3", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"A.bin", "1.3", "4", twtest::Md5Hex("AAAA")}});
    int exitCode = 0;
    EXPECT_FALSE(ActOnStartupResult(STARTUP_DOWNLOADED, &exitCode));
    EXPECT_EQ(EXIT_NOT_ALL_FILES, exitCode);
    auto boxes = lt::TakeMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::string("Download finished but not all files are present!, try again later or mail ") + kContact,
              boxes[0].text);
}

TEST_F(PolicyTest, TheRecorderGetsTheCommandLineUnchanged)
{
    fs::copy_file(twtest::TestPath("launcher-recorder/TarnwickDll.dll"), Work("TarnwickDll.dll"));
    char cmdline[] = "http://streams.example/live.asf \"quoted arg\"";
    EXPECT_EQ(42, StartRecorder(GetModuleHandleA(NULL), cmdline, SW_SHOWNORMAL));
    EXPECT_EQ("cmdline=[http://streams.example/live.asf \"quoted arg\"]\nshow=1\ninstance=launcher\n",
              twtest::ReadFile(Work("recorder-main.txt")));
}

TEST_F(PolicyTest, ARecorderWithoutMainEndsWithMinusSeven)
{
    fs::copy_file(twtest::TestPath("launcher-nomain/TarnwickDll.dll"), Work("TarnwickDll.dll"));
    char cmdline[] = "";
    EXPECT_EQ(EXIT_NO_MAIN, StartRecorder(GetModuleHandleA(NULL), cmdline, SW_SHOWNORMAL));
    EXPECT_TRUE(lt::TakeMessageBoxes().empty());
}

} // namespace
