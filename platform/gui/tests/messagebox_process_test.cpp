// Message boxes in child processes: the UI script and log, and a clean exit with
// the Qt thread running.
#include <twtesting.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

struct ChildRun {
    int exitCode = -1;
    bool exitedInTime = false;
    std::string output;
};

// Runs the child to its end, giving up (and killing it) after timeoutMs.
ChildRun RunChild(const std::vector<std::string> &args, const twtest::TempDir &dir, int timeoutMs = 20000)
{
    std::vector<std::string> argv{twtest::TestPath("gui_msgbox_child")};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string log = dir.file("child-output.txt");
    ChildRun run;
    twtest::BackgroundProcess child(argv, log);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (child.running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    run.exitedInTime = !child.running();
    run.exitCode = child.stop();
    run.output = twtest::ReadFile(log);
    return run;
}

// The log's message box lines (the script runner logs its start and end too).
std::string MessageBoxLines(const std::string &log)
{
    std::string out;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        end = end == std::string::npos ? log.size() : end + 1;
        if (log.compare(pos, 11, "messagebox\t") == 0)
            out += log.substr(pos, end - pos);
        pos = end;
    }
    return out;
}

TEST(MessageBoxProcess, ScriptAnswersWithDefaultAndLogEscapes)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("script.txt"), "");
    twtest::ScopedEnv script("TARNWICK_UI_SCRIPT", dir.file("script.txt").c_str());
    twtest::ScopedEnv log("TARNWICK_UI_LOG", dir.file("ui.log").c_str());
    ChildRun run = RunChild({"boxes",
                             std::to_string(MB_YESNO | MB_DEFBUTTON2), "Save\tas", "Line one\nline two \\ end",
                             std::to_string(MB_OKCANCEL | MB_ICONERROR), "-", "plain",
                             std::to_string(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), "Copy", "again?"},
                            dir);
    ASSERT_TRUE(run.exitedInTime) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "7\n1\n5\n");
    EXPECT_EQ(MessageBoxLines(twtest::ReadFile(dir.file("ui.log"))),
              "messagebox\tSave\\tas\tLine one\\nline two \\\\ end\tIDNO\n"
              "messagebox\tError\tplain\tIDOK\n"
              "messagebox\tCopy\tagain?\tIDIGNORE\n");
}

TEST(MessageBoxProcess, TwoProcessesAppendWholeLines)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("script.txt"), "");
    twtest::ScopedEnv script("TARNWICK_UI_SCRIPT", dir.file("script.txt").c_str());
    twtest::ScopedEnv log("TARNWICK_UI_LOG", dir.file("ui.log").c_str());
    std::string longText(3000, 'x');
    std::vector<std::string> args{"boxes"};
    for (int i = 0; i < 100; ++i)
        args.insert(args.end(), {"0", "C", longText});
    std::thread other([&] {
        twtest::TempDir otherDir;
        RunChild(args, otherDir);
    });
    ChildRun run = RunChild(args, dir);
    other.join();
    EXPECT_EQ(run.exitCode, 0);
    std::string content = MessageBoxLines(twtest::ReadFile(dir.file("ui.log")));
    std::string expectedLine = "messagebox\tC\t" + longText + "\tIDOK\n";
    size_t lines = 0;
    for (size_t pos = 0; pos < content.size(); pos += expectedLine.size(), ++lines)
        ASSERT_EQ(content.compare(pos, expectedLine.size(), expectedLine), 0) << "line " << lines;
    EXPECT_EQ(lines, 200u);
}

TEST(MessageBoxProcess, ExitsCleanlyAfterARealBox)
{
    twtest::TempDir dir;
    twtest::ScopedEnv noScript("TARNWICK_UI_SCRIPT", nullptr);
    // No display at all: the library must choose the offscreen platform itself.
    twtest::ScopedEnv noPlatform("QT_QPA_PLATFORM", nullptr);
    twtest::ScopedEnv noDisplay("DISPLAY", nullptr);
    twtest::ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    ChildRun run = RunChild({"answered"}, dir, 15000);
    ASSERT_TRUE(run.exitedInTime) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("7\n"), std::string::npos) << run.output;
}

TEST(MessageBoxProcess, ExitsCleanlyWithABoxStillOpen)
{
    twtest::TempDir dir;
    twtest::ScopedEnv noScript("TARNWICK_UI_SCRIPT", nullptr);
    twtest::ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
    ChildRun run = RunChild({"unanswered"}, dir, 15000);
    ASSERT_TRUE(run.exitedInTime) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("returned"), std::string::npos) << run.output;
}

// waitvideo holds the script until a renderer has shown a picture; the log marks
// that moment once; a window that never shows one ends the run instead of hanging.
TEST(MessageBoxProcess, ScriptWaitsForTheFirstVideoPicture)
{
    twtest::TempDir dir;
    twtest::ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
    twtest::WriteFile(dir.file("script.txt"), "wait \"Video\"\nwaitvideo 10000\nquit\n");
    twtest::ScopedEnv script("TARNWICK_UI_SCRIPT", dir.file("script.txt").c_str());
    twtest::ScopedEnv log("TARNWICK_UI_LOG", dir.file("ui.log").c_str());
    ChildRun run = RunChild({"video", "700"}, dir);
    ASSERT_TRUE(run.exitedInTime) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::string ui = twtest::ReadFile(dir.file("ui.log"));
    EXPECT_EQ(ui, "script\tstart\nvideo\tshown\nscript\tend\n");

    std::remove(dir.file("ui.log").c_str());
    twtest::WriteFile(dir.file("script.txt"), "wait \"Video\"\nwaitvideo 1000\nquit\n");
    run = RunChild({"video", "-1"}, dir);
    ASSERT_TRUE(run.exitedInTime) << run.output;
    EXPECT_EQ(run.exitCode, 124) << run.output;
    ui = twtest::ReadFile(dir.file("ui.log"));
    EXPECT_NE(ui.find("script\tfailed\t2\tno video picture was shown"), std::string::npos) << ui;
    EXPECT_EQ(ui.find("video\tshown"), std::string::npos) << ui;
}

TEST(MessageBoxProcess, ExitsCleanlyWithoutQt)
{
    twtest::TempDir dir;
    ChildRun run = RunChild({"boxes"}, dir);
    ASSERT_TRUE(run.exitedInTime) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

} // namespace
