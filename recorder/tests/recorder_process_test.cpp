// The recorder as the launcher runs it, in a process of its own under the
// offscreen platform, driven by a UI script: start-up, the Enter-URL dialog, the
// stored URL, the size keys, the Options dialog, a failed open and the exits.
#include "settings.h"
#include "twtesting.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

class RecorderRun : public ::testing::Test {
protected:
    twtest::TempDir m_dir;
    twtest::ScratchRegistry m_registry;
    twtest::ScopedEnv m_platform{"QT_QPA_PLATFORM", "offscreen"};

    // Runs Main with a script; returns its exit code and keeps the UI log.
    int Run(const std::string &script, const std::string &commandLine = "")
    {
        twtest::WriteFile(m_dir.file("script.txt"), script);
        twtest::ScopedEnv scriptEnv("TARNWICK_UI_SCRIPT", m_dir.file("script.txt").c_str());
        twtest::ScopedEnv logEnv("TARNWICK_UI_LOG", m_dir.file("ui.log").c_str());
        std::vector<std::string> argv{twtest::TestPath("recorder_host"), twtest::BinPath("TarnwickDll.dll")};
        if (!commandLine.empty())
            argv.push_back(commandLine);
        auto result = twtest::RunProcess(argv, m_dir.path());
        // The log, then what the program printed: both show in a failure message.
        m_log = twtest::ReadFile(m_dir.file("ui.log")) + "--- output:\n" + result.output;
        return result.exitCode;
    }
    bool Logged(const std::string &line) const { return m_log.find(line + "\n") != std::string::npos; }
    static std::string Setting(const char *name)
    {
        g_szSetting[0] = '\0';
        const char *value = ReadSetting(name);
        return value != nullptr ? value : "<absent>";
    }
    static void Store(const char *name, const char *value) { ASSERT_TRUE(WriteSetting(value, name)); }
    std::string m_log;
};

TEST_F(RecorderRun, FirstStartAsksForAnUrlAndCancelLeavesAnIdleWindow)
{
    int code = Run("wait \"Enter an URL\"\n"
                   "click 2\n"
                   "sleep 300\n"
                   "menustate\n"
                   "key Q\n");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Logged("dialog\topen\tEnter an URL"));
    EXPECT_TRUE(Logged("dialog\tclose\tEnter an URL\t0"));
    for (const char *enabled : {"40001", "40002", "40006", "40016", "40014"})
        EXPECT_NE(m_log.find(std::string("menu\t") + enabled + "\t"), std::string::npos);
    size_t enabledCount = 0, pos = 0;
    while ((pos = m_log.find("\tenabled\t", pos)) != std::string::npos) {
        ++enabledCount;
        ++pos;
    }
    EXPECT_EQ(enabledCount, 5u) << m_log;
    // First run: the settings are seeded.
    EXPECT_EQ(Setting(SETTING_SAVE_DIRECTORY), m_dir.path());
    EXPECT_EQ(Setting(SETTING_AUTO_UPDATE), POLICY_EVERY_START);
}

TEST_F(RecorderRun, StoredUrlIsReadyWithoutDialogAndKeysCheckSizeItems)
{
    Store(SETTING_LAST_OPENED_URL, "http://example.invalid/live/news?id=3");
    int code = Run("wait \"news?id=3 []\" 10000\n"
                   "key T\n"
                   "sleep 300\n"
                   "menustate\n"
                   "quit\n");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_EQ(m_log.find("dialog\topen"), std::string::npos);
    EXPECT_TRUE(Logged("caption\tnews?id=3 []"));
    EXPECT_NE(m_log.find("menu\t40012\t&Three-quarter size (75%)\\tT\tgrayed\tchecked"), std::string::npos) << m_log;
    EXPECT_NE(m_log.find("menu\t40008\t&Normal size (100%)\\tN\tgrayed\tunchecked"), std::string::npos);
    // Ready: Play is possible.
    EXPECT_NE(m_log.find("menu\t40003\t&Play/Pause\\tP\tenabled"), std::string::npos);
}

TEST_F(RecorderRun, F12AndTheExitItemEndMainWithZero)
{
    Store(SETTING_LAST_OPENED_URL, "clip");
    EXPECT_EQ(Run("wait \"clip []\"\nkey F12\n"), 0) << m_log;
    EXPECT_EQ(Run("wait \"clip []\"\nmenu 40002\n"), 0) << m_log;
}

TEST_F(RecorderRun, OptionsShowAndStoreTheDirectoryAndPolicy)
{
    Store(SETTING_SAVE_DIRECTORY, "/data/rec");
    Store(SETTING_AUTO_UPDATE, "never");
    Store(SETTING_LAST_OPENED_URL, "clip");
    // The folder chooser fills the box; OK stores it with one separator removed.
    int code = Run("wait \"clip []\"\n"
                   "key O\n"
                   "wait \"Options for Tarnwick\"\n"
                   "browse \"/tmp/picked//\"\n"
                   "click 1002\n"
                   "sleep 200\n"
                   "click 1\n"
                   "sleep 200\n"
                   "quit\n");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_TRUE(Logged("browse\tPick a Directory\t/tmp/picked//"));
    EXPECT_EQ(Setting(SETTING_SAVE_DIRECTORY), "/tmp/picked/");
    // "never" selected "Never": the list search ignores case.
    EXPECT_EQ(Setting(SETTING_AUTO_UPDATE), POLICY_NEVER);

    // Cancel stores nothing, even after a new directory was typed.
    code = Run("wait \"clip []\"\n"
               "menu 40016\n"
               "wait \"Options for Tarnwick\"\n"
               "settext 1001 \"/elsewhere\"\n"
               "settext 1003 \"Next program start\"\n"
               "click 2\n"
               "sleep 200\n"
               "quit\n");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_EQ(Setting(SETTING_SAVE_DIRECTORY), "/tmp/picked/");
    EXPECT_EQ(Setting(SETTING_AUTO_UPDATE), POLICY_NEVER);

    // A policy that begins no entry leaves no selection: OK stores it empty.
    Store(SETTING_AUTO_UPDATE, "sometimes");
    code = Run("wait \"clip []\"\n"
               "menu 40016\n"
               "wait \"Options for Tarnwick\"\n"
               "click 1\n"
               "sleep 200\n"
               "quit\n");
    EXPECT_EQ(code, 0) << m_log;
    EXPECT_EQ(Setting(SETTING_AUTO_UPDATE), "");
}

TEST_F(RecorderRun, OpenThatCannotBuildAGraphReportsAndReturnsToNoClip)
{
    int code = Run("wait \"Enter an URL\"\n"
                   "settext 1000 \"http://example.invalid/shows/clip.asf\"\n"
                   "click 1\n"
                   "sleep 500\n"
                   "menustate\n"
                   "key Q\n");
    EXPECT_EQ(code, 0) << m_log;
    // The graph manager is there; the probe cannot resolve the host, with one box.
    EXPECT_EQ(m_log.find("in CoCreateInstance(CLSID_FilterGraph"), std::string::npos) << m_log;
    EXPECT_NE(m_log.find("messagebox\tTarnwickDll\tFAILED(hr=0xc00d0035) in pReader.Configure(wFile)"),
              std::string::npos)
        << m_log;
    EXPECT_EQ(Setting(SETTING_LAST_OPENED_URL), "http://example.invalid/shows/clip.asf");
    EXPECT_NE(m_log.find("menu\t40001\t&Open URL\\tU\tenabled"), std::string::npos);
    EXPECT_NE(m_log.find("menu\t40005\t&Close\\tC\tgrayed"), std::string::npos);
}

// Process exit with the Qt thread, the script thread and the window library all
// alive once corrupted the heap now and then; many runs in a row show it.
TEST_F(RecorderRun, StartADialogAndExitTwoHundredTimes)
{
    Store(SETTING_AUTO_UPDATE, "Never");
    Store(SETTING_LAST_OPENED_URL, "clip");
    for (int run = 1; run <= 200; ++run) {
        std::remove(m_dir.file("ui.log").c_str());
        int code = Run("wait \"clip []\"\n"
                       "key O\n"
                       "wait \"Options for Tarnwick\"\n"
                       "click 1\n"
                       "quit\n");
        ASSERT_EQ(code, 0) << "run " << run << "\n" << m_log;
        ASSERT_TRUE(Logged("dialog\tclose\tOptions for Tarnwick\t1")) << "run " << run << "\n" << m_log;
        ASSERT_TRUE(Logged("script\tend")) << "run " << run << "\n" << m_log;
    }
}

TEST_F(RecorderRun, ScriptStepThatCannotHappenEndsTheRunInsteadOfHanging)
{
    EXPECT_EQ(Run("wait \"No such window\" 300\n"), 124);
    EXPECT_NE(m_log.find("script\tfailed\t1\tno window \"No such window\" appeared"), std::string::npos) << m_log;
    EXPECT_EQ(Run("wait \"Enter an URL\"\nclick 4242\n"), 124);
    EXPECT_NE(m_log.find("script\tfailed\t2\tcannot click control 4242"), std::string::npos) << m_log;
}

} // namespace
