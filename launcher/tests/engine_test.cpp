// The update engine on its own: versions, digests, the manifest's first line,
// file names, and the check, size computation and download against the real
// update server and against a scripted server for malformed answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include <windows.h>

#include "digest.h"
#include "fakedialog.h"
#include "http.h"
#include "launcher_ids.h"
#include "manifest.h"
#include "twrawserver.h"
#include "support.h"
#include "updater.h"
#include "version.h"
#include "workdir.h"

namespace fs = std::filesystem;
using twtest::CConnection;
using twtest::CScriptedServer;
using lt::Entry;
using lt::LauncherTest;

namespace {

// ---- Versions, digests, names, the first line ------------------------------

TEST(VersionNumber, ComparesThreeComponentsAndIgnoresTheFourth)
{
    EXPECT_EQ(VersionNumber("1.2.3.4"), VersionNumber("1.2.3.9"));
    EXPECT_GT(VersionNumber("1.2.10.0"), VersionNumber("1.2.9.0"));
    EXPECT_GT(VersionNumber("1.3.0.0"), VersionNumber("1.2.9999.0"));
    EXPECT_GT(VersionNumber("21.0.0.0"), VersionNumber("20.9999.9999.0"));
    EXPECT_EQ(100020003LL, VersionNumber("1.2.3.4"));
}

TEST(VersionNumber, MissingComponentsCountZero)
{
    EXPECT_EQ(VersionNumber("1.2.0.0"), VersionNumber("1.2"));
    EXPECT_EQ(VersionNumber("3.0.0.0"), VersionNumber("3"));
    EXPECT_EQ(0, VersionNumber(""));
    EXPECT_EQ(0, VersionNumber("beta"));
    EXPECT_EQ(VersionNumber("1.0.0.0"), VersionNumber("1.x.7"));
    // Out-of-range components order instead of overflowing.
    EXPECT_GT(VersionNumber("99999999999.0.0.0"), VersionNumber("2000.0.0.0"));
}

class DigestTest : public LauncherTest {
protected:
    std::string DigestOf(const std::string &bytes)
    {
        twtest::WriteFile(Work("data"), bytes);
        FILE *f = std::fopen(Work("data").c_str(), "rb");
        return f ? Md5HexOfFile(f) : "<cannot open>";
    }
};

TEST_F(DigestTest, KnownDigestsAndFilesAcrossBlockBoundaries)
{
    EXPECT_STREQ("d41d8cd98f00b204e9800998ecf8427e", DigestOf("").c_str());
    EXPECT_STREQ("900150983cd24fb0d6963f7d28e17f72", DigestOf("abc").c_str());
    EXPECT_STREQ("57edf4a22be3c955ac49da2e2107b67a",
                 DigestOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890").c_str());
    for (size_t size : {1023u, 1024u, 1025u, 4096u, 100000u}) {
        std::string bytes = lt::Pattern(size, static_cast<int>(size));
        EXPECT_EQ(twtest::Md5Hex(bytes), DigestOf(bytes)) << size;
    }
}

TEST_F(DigestTest, ComparisonIgnoresCaseAndNeedsAllThirtyTwoDigits)
{
    std::string digest = twtest::Md5Hex("launcher");
    std::string upper = digest;
    for (char &c : upper)
        c = static_cast<char>(toupper(c));
    EXPECT_TRUE(DigestsEqual(digest.c_str(), upper.c_str()));
    EXPECT_FALSE(DigestsEqual(digest.c_str(), ""));
    EXPECT_FALSE(DigestsEqual(digest.c_str(), digest.substr(0, 31).c_str()));
    EXPECT_FALSE(DigestsEqual("", ""));
    EXPECT_FALSE(DigestsEqual(digest.c_str(), twtest::Md5Hex("other").c_str()));

    twtest::WriteFile(Work("file"), "launcher");
    EXPECT_TRUE(FileDigestMatches(Work("file").c_str(), upper.c_str()));
    EXPECT_FALSE(FileDigestMatches(Work("missing").c_str(), digest.c_str()));
}

TEST(PlainFileName, OnlyNamesThatStayInTheWorkingDirectory)
{
    for (const char *name : {"TarnwickDll.dll", "Kestrin.ax", "a b.txt", "...", "x.1.0.0.0", ".hidden"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const char *name : {"", " ", "\t", ".", "..", "../x", "..\\x", "/etc/passwd", "\\\\server\\share",
                             "sub/file", "C:file", "a\nb"})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}

class FirstLineTest : public LauncherTest {
protected:
    std::string FirstLine(const std::string &content)
    {
        twtest::WriteFile(Work("files.ini"), content);
        char version[VERSION_TEXT_SIZE];
        std::memset(version, 'x', sizeof version);
        EXPECT_TRUE(ReadManifestVersion(Work("files.ini").c_str(), version));
        EXPECT_LT(std::strlen(version), sizeof version);
        return version;
    }
};

TEST_F(FirstLineTest, TheVersionFollowsOneSkippedByteUpToTheLineEnd)
{
    EXPECT_EQ("1.2.3.4", FirstLine(";1.2.3.4\r\n[File1]\r\nName=Tarnwick\r\n"));
    EXPECT_EQ("1.2.3.4", FirstLine(";1.2.3.4\n[File1]\n"));
    EXPECT_EQ("2.0", FirstLine("#2.0\r"));
}

TEST_F(FirstLineTest, ALineWithoutEndOrTooLongStopsAtTheBuffer)
{
    EXPECT_EQ("1.2.3.4", FirstLine(";1.2.3.4"));
    EXPECT_EQ("", FirstLine(";"));
    EXPECT_EQ("", FirstLine(""));
    std::string longLine(200, '7');
    EXPECT_EQ(longLine.substr(0, 63), FirstLine(";" + longLine + "\r\n"));
    EXPECT_EQ(longLine.substr(0, 63), FirstLine(";" + longLine));
    char version[VERSION_TEXT_SIZE];
    EXPECT_FALSE(ReadManifestVersion(Work("no-such.ini").c_str(), version));
}

// ---- The update check ------------------------------------------------------

class CheckTest : public LauncherTest {
protected:
    void SetUp() override
    {
        LauncherTest::SetUp();
        twtest::WriteFile(Release("A.bin"), lt::Pattern(3000, 1));
        twtest::WriteFile(Release("B.bin"), lt::Pattern(5000, 2));
    }
    // The release's manifest as the server publishes it at version 1.3.0.0.
    std::vector<Entry> ReleaseEntries()
    {
        return {ReleaseEntry("Tarnwick", "1.2.0.0"), ReleaseEntry("A.bin", "1.3.0.0"), ReleaseEntry("B.bin", "1.3.0.0")};
    }
};

TEST_F(CheckTest, NoManifestSendsNothing)
{
    CScriptedServer server([](CConnection &) {});
    PointLauncherAt(server.Address());
    EXPECT_EQ(CHECK_NO_MANIFEST, CheckForUpdates());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(CheckTest, ANewerManifestIsStoredWhole)
{
    std::string served = lt::ManifestText("1.3.0.0", ReleaseEntries());
    twtest::WriteFile(m_root.file("served.ini"), served);
    StartUpdateServer({"--manifest-version", "1.3.0.0", "--manifest", m_root.file("served.ini")});
    WriteManifest("1.2.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0")});
    EXPECT_EQ(CHECK_UPDATE_DUE, CheckForUpdates());
    EXPECT_EQ(served, twtest::ReadFile(Work("files.ini")));
    EXPECT_FALSE(twtest::FileExists(Work("files.ini.new")));
    EXPECT_NE(std::string::npos, ServerLog().find("GET /download/start.php -> 200")) << ServerLog();
}

TEST_F(CheckTest, ACurrentManifestVerifiesTheLocalFiles)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    fs::copy_file(Release("A.bin"), Work("A.bin"));
    fs::copy_file(Release("B.bin"), Work("B.bin"));
    std::string local = lt::ManifestText("1.3.0.0", ReleaseEntries());
    twtest::WriteFile(Work("files.ini"), local);
    EXPECT_EQ(CHECK_CURRENT, CheckForUpdates());
    EXPECT_EQ("3000", ManifestKey(2, "DownloadedSize"));
    EXPECT_EQ("5000", ManifestKey(3, "DownloadedSize"));

    // A damaged file and a missing one make an update due.
    twtest::WriteFile(Work("A.bin"), lt::Pattern(3000, 9));
    lt::RemoveFile(Work("B.bin"));
    EXPECT_EQ(CHECK_UPDATE_DUE, CheckForUpdates());
    EXPECT_EQ("0", ManifestKey(2, "DownloadedSize"));
    EXPECT_EQ("0", ManifestKey(3, "DownloadedSize"));
}

TEST_F(CheckTest, AFileWithoutDigestCountsAsCurrentAndAnUnversionedManifestIsNotVerified)
{
    StartUpdateServer({"--manifest-version", "1.3.0.0"});
    twtest::WriteFile(Work("A.bin"), "anything");
    WriteManifest("1.3.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"A.bin", "1.3.0.0", "3000", ""}});
    EXPECT_EQ(CHECK_CURRENT, CheckForUpdates());
    EXPECT_EQ("<absent>", ManifestKey(2, "DownloadedSize"));

    // Version 0 locally, and the server's is not newer: no verification at all.
    StartUpdateServer({"--manifest-version", "0.0.0.0"});
    WriteManifest("0", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"Missing.bin", "1.0", "10", twtest::Md5Hex("x")}});
    EXPECT_EQ(CHECK_CURRENT, CheckForUpdates());
    EXPECT_EQ("<absent>", ManifestKey(2, "DownloadedSize"));
}

TEST_F(CheckTest, ConnectionFailuresEndWithTheirCodes)
{
    WriteManifest("1.0", {ReleaseEntry("Tarnwick", "1.2.0.0")});
    twtest::CRefusingPort refusing;
    PointLauncherAt(refusing.Address());
    std::string before = twtest::ReadFile(Work("files.ini"));
    EXPECT_EQ(CHECK_CONNECT, CheckForUpdates());
    EXPECT_EQ(before, twtest::ReadFile(Work("files.ini")));
}

TEST_F(CheckTest, ASilentServerOrAnUnansweredConnectFailsLikeAnUnreachableOne)
{
    WriteManifest("1.0", {ReleaseEntry("Tarnwick", "1.2.0.0")});
    std::string before = twtest::ReadFile(Work("files.ini"));
    twtest::ScopedEnv timeout(EXCHANGE_TIMEOUT_VARIABLE, "400");
    // Accepts and never answers; answers with a header line that never ends.
    for (std::string said : {"", "HTTP/1.1 200 OK\r\nX-App_version: 1.3.0."}) {
        std::atomic<bool> closed{false};
        {
            CScriptedServer server([&](CConnection &c) {
                c.Send(said, 0);
                closed = c.WaitForClose(20000);
            });
            PointLauncherAt(server.Address());
            EXPECT_EQ(CHECK_CONNECT, CheckForUpdates()) << said;
            EXPECT_EQ(1u, server.Requests().size());
        } // the server's handler has ended
        EXPECT_TRUE(closed) << "the launcher hung up";
        EXPECT_EQ(before, twtest::ReadFile(Work("files.ini")));
        EXPECT_FALSE(twtest::FileExists(Work("files.ini.new")));
    }
    twtest::CUnansweredPort unanswered;
    PointLauncherAt(unanswered.Address());
    EXPECT_EQ(CHECK_CONNECT, CheckForUpdates());
}

TEST_F(CheckTest, CancelLeavesTheCheckAlone)
{
    // Escape during the check sets the cancel flag; only a download heeds it.
    WriteManifest("1.2.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0")});
    CScriptedServer server([](CConnection &c) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        c.Send("HTTP/1.1 200 OK\r\nX-App_version: 1.1.0.0\r\n\r\n");
    });
    PointLauncherAt(server.Address());
    std::thread escape([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        g_cCancel.store(1);
        CancelHttpExchange();
    });
    EXPECT_EQ(CHECK_CURRENT, CheckForUpdates());
    escape.join();
}

// Scripted answers to the check: each test sends the response in the pieces given.
class MalformedCheckTest : public LauncherTest {
protected:
    int CheckWith(std::vector<std::string> pieces, bool reset = false)
    {
        CScriptedServer server([pieces, reset](CConnection &c) {
            for (const std::string &piece : pieces)
                c.Send(piece);
            if (reset)
                c.ResetOnClose();
        });
        PointLauncherAt(server.Address());
        int result = CheckForUpdates();
        m_requests = server.Requests();
        return result;
    }
    void SetUp() override
    {
        LauncherTest::SetUp();
        m_local = lt::ManifestText("1.2.0.0", {ReleaseEntry("Tarnwick", "1.2.0.0")});
        twtest::WriteFile(Work("files.ini"), m_local);
    }
    std::string m_local;
    std::vector<std::string> m_requests;
    const std::string m_body = lt::ManifestText("1.5.0.0", {{"Tarnwick", "1.2.0.0", "10", "x"}}) +
                               std::string(3000, ';') + "\r\n";
};

TEST_F(MalformedCheckTest, TheRequestNamesTheLocalManifestVersion)
{
    EXPECT_EQ(CHECK_CURRENT, CheckWith({"HTTP/1.1 200 OK\r\nX-App_version: 1.2.0.0\r\n\r\n"}));
    ASSERT_EQ(1u, m_requests.size());
    EXPECT_EQ("GET /download/start.php HTTP/1.1\r\n"
              "User-Agent: tarnwick 1.2.0.0\r\n"
              "Host: tarnwick." TW_UPDATE_SERVER_HOST "\r\n"
              "Accept: */*\r\n"
              "Connection: Keep-Alive\r\n"
              "X-App_Name: tarnwick\r\n"
              "X-App_Version: 1.2.0.0\r\n"
              "\r\n",
              m_requests[0]);
}

TEST_F(MalformedCheckTest, HeaderAndBodySplitAnywhereGiveTheWholeBody)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-App_version: 1.5.0.0\r\n";
    // Status line, version line and the end of the header each split across receives.
    EXPECT_EQ(CHECK_UPDATE_DUE, CheckWith({"HTT", "P/1.1 200 OK\r\nX-App_ver", "sion: 1.5.0.0\r\n", "\r",
                                           "\n" + m_body.substr(0, 100), m_body.substr(100)}));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("files.ini")));

    twtest::WriteFile(Work("files.ini"), m_local);
    EXPECT_EQ(CHECK_UPDATE_DUE, CheckWith({head, "\r\n" + m_body}));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("files.ini")));

    twtest::WriteFile(Work("files.ini"), m_local);
    EXPECT_EQ(CHECK_UPDATE_DUE, CheckWith({head + "\r\n" + m_body.substr(0, 10), m_body.substr(10)}));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("files.ini")));
}

TEST_F(MalformedCheckTest, AnOverlongHeaderIsReadThrough)
{
    std::string head = "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(5000, 'p') + "\r\n" +
                       std::string(300, 'q') + "X-App_version: 1.5\r\nX-App_version: 1.5.0.0\r\n\r\n";
    // The long lines are cut in the reader; "X-App_version" in the middle of one is no header.
    EXPECT_EQ(CHECK_UPDATE_DUE, CheckWith({head + m_body}));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("files.ini")));
}

TEST_F(MalformedCheckTest, WrongStatusLinesFailTheCheck)
{
    EXPECT_EQ(CHECK_NOT_OK, CheckWith({"HTTP/1.1 404 Not Found\r\nX-App_version: 9.0.0.0\r\n\r\n" + m_body}));
    EXPECT_EQ(CHECK_NOT_HTTP, CheckWith({"HTTP/1.0 200 OK\r\nX-App_version: 9.0.0.0\r\n\r\n" + m_body}));
    EXPECT_EQ(CHECK_NOT_HTTP, CheckWith({"<html>busy</html>"}));
    EXPECT_EQ(CHECK_NOT_HTTP, CheckWith({}));              // closes at once
    // Closed within the status line: judged on what came.
    EXPECT_EQ(CHECK_NOT_HTTP, CheckWith({"HTTP/1."}));
    EXPECT_EQ(CHECK_NOT_OK, CheckWith({"HTTP/1.1 200"}));
    EXPECT_EQ(m_local, twtest::ReadFile(Work("files.ini")));
}

TEST_F(MalformedCheckTest, ASuccessWithoutAnAnswerFailsTheCheck)
{
    // No version header.
    EXPECT_EQ(CHECK_NOT_OK, CheckWith({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"}));
    // A header that never ends.
    EXPECT_EQ(CHECK_NOT_OK, CheckWith({"HTTP/1.1 200 OK\r\nX-App_version: 1.5.0.0\r\n"}));
    EXPECT_EQ(m_local, twtest::ReadFile(Work("files.ini")));
    EXPECT_FALSE(twtest::FileExists(Work("files.ini.new")));
}

TEST_F(MalformedCheckTest, AConnectionResetWithinTheBodyKeepsTheOldManifest)
{
    EXPECT_EQ(CHECK_RECV_FAILED,
              CheckWith({"HTTP/1.1 200 OK\r\nX-App_version: 1.5.0.0\r\n\r\n" + m_body.substr(0, 50)}, true));
    EXPECT_EQ(m_local, twtest::ReadFile(Work("files.ini")));
    EXPECT_FALSE(twtest::FileExists(Work("files.ini.new")));
}

TEST_F(MalformedCheckTest, AnOlderOrEqualServerVersionLeavesTheManifest)
{
    EXPECT_EQ(CHECK_CURRENT, CheckWith({"HTTP/1.1 200 OK\r\nx-app_VERSION: 1.1.0.0\r\n\r\n" + m_body}));
    EXPECT_EQ(CHECK_CURRENT, CheckWith({"HTTP/1.1 200 ok\r\nX-App_version: 1.2.0.7\r\n\r\n" + m_body}));
    // Only the verification's bookkeeping was added to the local manifest.
    EXPECT_EQ(m_local + "DownloadedSize=" + ManifestKey(1, "Size") + "\r\n", twtest::ReadFile(Work("files.ini")));
}

// ---- The download-size computation -------------------------------------------

class SizeTest : public LauncherTest {
protected:
    void SetUp() override
    {
        LauncherTest::SetUp();
        m_a = lt::Pattern(3000, 1);
        m_b = lt::Pattern(5000, 2);
        m_launcher = ReleaseEntry("Tarnwick", "1.2.0.3");
    }
    Entry EntryOf(const std::string &name, const std::string &bytes)
    {
        return {name, "1.3.0.0", std::to_string(bytes.size()), twtest::Md5Hex(bytes)};
    }
    std::string m_a, m_b;
    Entry m_launcher;
};

TEST_F(SizeTest, AnOutdatedLauncherWinsOverEverything)
{
    WriteManifest("1.3", {{"Tarnwick", "1.3.0.0", m_launcher.size, m_launcher.md5}, EntryOf("A.bin", m_a)});
    EXPECT_EQ(SIZE_LAUNCHER_OUTDATED, ComputeDownloadSize());
    EXPECT_FALSE(twtest::FileExists(Work("A.bin.1.3.0.0"))) << "nothing is fetched for an outdated launcher";

    WriteManifest("1.3", {{"Tarnwick", "1.2.0.0", m_launcher.size, twtest::Md5Hex("other")}});
    EXPECT_EQ(SIZE_LAUNCHER_OUTDATED, ComputeDownloadSize());
    WriteManifest("1.3", {{"Tarnwick", "1.2.0.0", m_launcher.size, ""}});
    EXPECT_EQ(SIZE_LAUNCHER_OUTDATED, ComputeDownloadSize());
    WriteManifest("1.3", {{"Tarnwick.missing", "1.0", "1", m_launcher.md5}});
    EXPECT_EQ(SIZE_LAUNCHER_OUTDATED, ComputeDownloadSize());

    WriteManifest("1.3", {m_launcher});
    EXPECT_EQ(0, ComputeDownloadSize());
}

TEST_F(SizeTest, CountsWhatIsMissingAndInstallsWhatIsComplete)
{
    std::string c = lt::Pattern(700, 3);
    twtest::WriteFile(Work("A.bin"), m_a);                      // current
    twtest::WriteFile(Work("B.bin.1.3.0.0"), m_b.substr(0, 1000)); // partly fetched
    twtest::WriteFile(Work("C.bin.1.3.0.0"), c);                // complete and verified
    twtest::WriteFile(Work("C.bin"), "old C");
    WriteManifest("1.3", {m_launcher, EntryOf("A.bin", m_a), EntryOf("B.bin", m_b), EntryOf("C.bin", c),
                          {"D.bin", "", "250", twtest::Md5Hex("d")}});
    EXPECT_EQ(4000 + 250, ComputeDownloadSize());
    EXPECT_FALSE(twtest::FileExists(Work("A.bin.1.3.0.0")));
    EXPECT_EQ(m_b.substr(0, 1000), twtest::ReadFile(Work("B.bin.1.3.0.0")));
    EXPECT_EQ(c, twtest::ReadFile(Work("C.bin")));
    EXPECT_FALSE(twtest::FileExists(Work("C.bin.1.3.0.0")));
    // Without a Version the temporary file takes "0.0.0.0", and starts empty.
    EXPECT_TRUE(twtest::FileExists(Work("D.bin.0.0.0.0")));
    EXPECT_EQ("", twtest::ReadFile(Work("D.bin.0.0.0.0")));
}

TEST_F(SizeTest, DamagedTemporaryFilesStartAgain)
{
    // Complete but with the wrong digest, and longer than the file it is to become.
    twtest::WriteFile(Work("A.bin.1.3.0.0"), lt::Pattern(3000, 99));
    twtest::WriteFile(Work("B.bin.1.3.0.0"), m_b + "trailing");
    WriteManifest("1.3", {m_launcher, EntryOf("A.bin", m_a), EntryOf("B.bin", m_b)});
    EXPECT_EQ(3000 + 5000, ComputeDownloadSize());
    EXPECT_EQ("", twtest::ReadFile(Work("A.bin.1.3.0.0")));
    EXPECT_EQ("", twtest::ReadFile(Work("B.bin.1.3.0.0")));
    EXPECT_FALSE(twtest::FileExists(Work("A.bin")));
}

TEST_F(SizeTest, ANameTooLongForAFileFailsBeforeAnythingIsAsked)
{
    // The profile functions hand over 255 bytes of the name; with the version
    // appended it is longer than any file name may be.
    std::string name(1000000, 'n');
    WriteManifest("1.3", {m_launcher, EntryOf("A.bin", m_a), {name, "1.3.0.0", "10", twtest::Md5Hex("x")}});
    EXPECT_EQ(DOWNLOAD_BAD_SIZE, ComputeDownloadSize());
    for (const auto &entry : fs::directory_iterator(Work(".")))
        EXPECT_LT(entry.path().filename().string().size(), 255u);
}

// Every way a manifest Name could leave the working directory. None of them may
// make the launcher touch a file outside it.
class UnsafeNameTest : public LauncherTest {
protected:
    void SetUp() override
    {
        LauncherTest::SetUp();
        twtest::WriteFile(Outside("victim.bin"), "outside");
        twtest::WriteFile(Outside("victim.bin.1.0"), "outside temp");
        fs::create_directory(Work("sub"));
    }
    void ExpectOutsideUntouched()
    {
        EXPECT_EQ("outside", twtest::ReadFile(Outside("victim.bin")));
        EXPECT_EQ("outside temp", twtest::ReadFile(Outside("victim.bin.1.0")));
        size_t count = 0;
        for (const auto &entry : fs::directory_iterator(m_root.path()))
            count += entry.path().filename() != "server.log" && entry.path().filename() != "port";
        // work, release and the two victims.
        EXPECT_EQ(4u, count);
        EXPECT_TRUE(fs::is_empty(Work("sub")));
    }
    std::vector<std::pair<std::string, std::string>> Cases()
    {
        std::string absolute = Outside("victim.bin");
        return {{"../victim.bin", "1.0"},      {"..\\victim.bin", "1.0"}, {absolute, "1.0"},
                {"sub/victim.bin", "1.0"},      {"..", "1.0"},             {".", "1.0"},
                {"victim.bin", "1.0/../../victim.bin"},
                {"victim.bin", "..\\..\\x"},   {"C:victim.bin", "1.0"}};
    }
};

TEST_F(UnsafeNameTest, TheSizeComputationRefusesTheManifest)
{
    for (const auto &c : Cases()) {
        WriteManifest("1.3", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"A.bin", "1.0", "10", twtest::Md5Hex("a")},
                              {c.first, c.second, "7", twtest::Md5Hex("outside")}});
        EXPECT_EQ(DOWNLOAD_BAD_STATUS, ComputeDownloadSize()) << c.first << " " << c.second;
        EXPECT_FALSE(twtest::FileExists(Work("A.bin.1.0"))) << "refused before any file is looked at";
        lt::RemoveFile(Work("A.bin.1.0"));
        ExpectOutsideUntouched();
    }
    // Entry 1 too: the launcher's own entry must name a file here.
    for (const std::string &name : std::vector<std::string>{"../victim.bin", Outside("victim.bin"), ""}) {
        WriteManifest("1.3", {{name, "1.0", "7", twtest::Md5Hex("outside")}});
        EXPECT_EQ(DOWNLOAD_BAD_STATUS, ComputeDownloadSize()) << name;
    }
    ExpectOutsideUntouched();
}

TEST_F(UnsafeNameTest, ABlankNameEndsTheList)
{
    // Values are read trimmed, so a blank Name is an empty one: the list ends there.
    WriteManifest("1.3", {ReleaseEntry("Tarnwick", "1.2.0.0"), {"   ", "1.0", "7", twtest::Md5Hex("x")},
                          {"A.bin", "1.0", "10", twtest::Md5Hex("a")}});
    EXPECT_EQ(0, ComputeDownloadSize());
    EXPECT_FALSE(twtest::FileExists(Work("A.bin.1.0")));
    ExpectOutsideUntouched();
}

TEST_F(UnsafeNameTest, TheCheckLeavesSuchEntriesAloneAndAsksForAnUpdate)
{
    CScriptedServer server([](CConnection &c) { c.Send("HTTP/1.1 200 OK\r\nX-App_version: 1.3.0.0\r\n\r\n"); });
    PointLauncherAt(server.Address());
    for (const auto &c : Cases()) {
        WriteManifest("1.3", {ReleaseEntry("Tarnwick", "1.2.0.0"), {c.first, c.second, "7", twtest::Md5Hex("outside")}});
        EXPECT_EQ(CHECK_UPDATE_DUE, CheckForUpdates()) << c.first;
        ExpectOutsideUntouched();
    }
}

// ---- The download of one file ------------------------------------------------

class DownloadTest : public LauncherTest {
protected:
    void SetUp() override
    {
        LauncherTest::SetUp();
        m_b = lt::Pattern(5000, 2);
        twtest::WriteFile(Release("B.bin"), m_b);
    }
    std::string m_b;
};

TEST_F(DownloadTest, AWholeFileWithProgressToTheEnd)
{
    StartUpdateServer({"--version", "B.bin=1.3.0.0"});
    twtest::WriteFile(Work("B.bin.1.3.0.0"), "");
    EXPECT_EQ(DOWNLOAD_DONE, DownloadFile("B.bin.1.3.0.0", Work("B.bin.1.3.0.0").c_str(), 5000, 0));
    EXPECT_EQ(m_b, twtest::ReadFile(Work("B.bin.1.3.0.0")));
    EXPECT_EQ(std::vector<std::string>{"Downloading: B.bin.1.3.0.0"}, lt::StatusTexts(IDC_STARTUP_STATUS));
    std::vector<int> positions = lt::ProgressPositions();
    ASSERT_GE(positions.size(), 3u);
    EXPECT_EQ(0, positions.front());
    EXPECT_EQ(100, positions.back());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_NE(std::string::npos, ServerLog().find("GET /download/B.bin.1.3.0.0 -> 200")) << ServerLog();
}

TEST_F(DownloadTest, APartialFileIsResumedWithARange)
{
    StartUpdateServer({"--version", "B.bin=1.3.0.0"});
    twtest::WriteFile(Work("B.bin.1.3.0.0"), m_b.substr(0, 1000));
    EXPECT_EQ(DOWNLOAD_DONE, DownloadFile("B.bin.1.3.0.0", Work("B.bin.1.3.0.0").c_str(), 5000, 1000));
    EXPECT_EQ(m_b, twtest::ReadFile(Work("B.bin.1.3.0.0")));
    EXPECT_EQ(100, lt::ProgressPositions().back());
    EXPECT_NE(std::string::npos, ServerLog().find("GET /download/B.bin.1.3.0.0 -> 206 bytes=1000-")) << ServerLog();
}

TEST_F(DownloadTest, AWholeFileAnsweredToARangeIsRefused)
{
    StartUpdateServer({"--version", "B.bin=1.3.0.0", "--ignore-range"});
    twtest::WriteFile(Work("B.bin.1.3.0.0"), m_b.substr(0, 1000));
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadFile("B.bin.1.3.0.0", Work("B.bin.1.3.0.0").c_str(), 5000, 1000));
    EXPECT_EQ(m_b.substr(0, 1000), twtest::ReadFile(Work("B.bin.1.3.0.0")));
}

TEST_F(DownloadTest, ACancelStopsAtTheNextReceive)
{
    StartUpdateServer({"--version", "B.bin=1.3.0.0"});
    twtest::WriteFile(Work("B.bin.1.3.0.0"), "");
    g_cCancel.store(1);
    EXPECT_EQ(DOWNLOAD_CANCELLED, DownloadFile("B.bin.1.3.0.0", Work("B.bin.1.3.0.0").c_str(), 5000, 0));
    EXPECT_EQ("", twtest::ReadFile(Work("B.bin.1.3.0.0")));
}

TEST_F(DownloadTest, ConnectionFailuresEndWithTheirCodes)
{
    twtest::CRefusingPort refusing;
    PointLauncherAt(refusing.Address());
    EXPECT_EQ(DOWNLOAD_CONNECT, DownloadFile("B.bin.1", Work("B.bin.1").c_str(), 5000, 0));
    EXPECT_FALSE(twtest::FileExists(Work("B.bin.1")));
}

TEST_F(DownloadTest, ASilentServerFailsTheDownloadAndKeepsWhatArrived)
{
    twtest::ScopedEnv timeout(EXCHANGE_TIMEOUT_VARIABLE, "400");
    twtest::WriteFile(Work("B.bin.1"), m_b.substr(0, 1000));
    std::atomic<bool> closed{false};
    {
        CScriptedServer server([&](CConnection &c) {
            c.Send("HTTP/1.1 206 Partial Content\r\n\r\n" + m_b.substr(1000, 1500), 0);
            closed = c.WaitForClose(20000);
        });
        PointLauncherAt(server.Address());
        EXPECT_EQ(DOWNLOAD_CONNECT, DownloadFile("B.bin.1", Work("B.bin.1").c_str(), 5000, 1000));
    }
    EXPECT_TRUE(closed) << "the launcher hung up";
    EXPECT_EQ(m_b.substr(0, 2500), twtest::ReadFile(Work("B.bin.1")));

    twtest::CUnansweredPort unanswered;
    PointLauncherAt(unanswered.Address());
    EXPECT_EQ(DOWNLOAD_CONNECT, DownloadFile("B.bin.1", Work("B.bin.1").c_str(), 5000, 2500));
    EXPECT_EQ(m_b.substr(0, 2500), twtest::ReadFile(Work("B.bin.1")));
}

TEST_F(DownloadTest, CancelEndsAStalledReceiveOrConnectAtOnce)
{
    // Far longer than the test waits: only Cancel can end these exchanges in time.
    twtest::ScopedEnv timeout(EXCHANGE_TIMEOUT_VARIABLE, "60000");
    twtest::WriteFile(Work("B.bin.1"), "");
    std::promise<void> stalled;
    std::atomic<bool> closed{false};
    CScriptedServer server([&](CConnection &c) {
        c.Send("HTTP/1.1 200 OK\r\n\r\n" + m_b.substr(0, 700), 0);
        stalled.set_value();
        closed = c.WaitForClose(10000);
    });
    PointLauncherAt(server.Address());
    auto download = std::async(std::launch::async,
                               [&] { return DownloadFile("B.bin.1", Work("B.bin.1").c_str(), 5000, 0); });
    stalled.get_future().wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    g_cCancel.store(1);
    CancelHttpExchange();
    ASSERT_EQ(std::future_status::ready, download.wait_for(std::chrono::seconds(5))) << "the receive still waits";
    EXPECT_EQ(DOWNLOAD_CANCELLED, download.get());
    EXPECT_EQ(m_b.substr(0, 700), twtest::ReadFile(Work("B.bin.1")));

    twtest::CUnansweredPort unanswered;
    PointLauncherAt(unanswered.Address());
    g_cCancel.store(0);
    auto connecting = std::async(std::launch::async,
                                 [&] { return DownloadFile("B.bin.1", Work("B.bin.1").c_str(), 5000, 700); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    g_cCancel.store(1);
    CancelHttpExchange();
    ASSERT_EQ(std::future_status::ready, connecting.wait_for(std::chrono::seconds(5))) << "the connect still waits";
    EXPECT_EQ(DOWNLOAD_CANCELLED, connecting.get());
    EXPECT_EQ(m_b.substr(0, 700), twtest::ReadFile(Work("B.bin.1")));
}

class MalformedDownloadTest : public LauncherTest {
protected:
    int DownloadWith(std::vector<std::string> pieces, int size, int offset)
    {
        CScriptedServer server([pieces](CConnection &c) {
            for (const std::string &piece : pieces)
                c.Send(piece);
        });
        PointLauncherAt(server.Address());
        int result = DownloadFile("B.bin.1.0", Work("B.bin.1.0").c_str(), size, offset);
        m_requests = server.Requests();
        return result;
    }
    std::vector<std::string> m_requests;
    const std::string m_body = lt::Pattern(2500, 5);
};

TEST_F(MalformedDownloadTest, ExactlyTheBodyIsWrittenWhereverTheChunksSplit)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2500\r\n";
    EXPECT_EQ(DOWNLOAD_DONE, DownloadWith({head + "\r\n" + m_body.substr(0, 700), m_body.substr(700)}, 2500, 0));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("B.bin.1.0")));
    lt::RemoveFile(Work("B.bin.1.0"));
    EXPECT_EQ(DOWNLOAD_DONE, DownloadWith({"HTTP/1.1 2", "00 OK\r\n", "Server: x\r\n\r", "\n", m_body}, 2500, 0));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("B.bin.1.0")));
    lt::RemoveFile(Work("B.bin.1.0"));
    EXPECT_EQ(DOWNLOAD_DONE, DownloadWith({head + "\r", "\n" + m_body}, 2500, 0));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("B.bin.1.0")));
    lt::RemoveFile(Work("B.bin.1.0"));
    std::string longHead = "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(4000, 'p') + "\r\n\r\n";
    EXPECT_EQ(DOWNLOAD_DONE, DownloadWith({longHead + m_body}, 2500, 0));
    EXPECT_EQ(m_body, twtest::ReadFile(Work("B.bin.1.0")));
    EXPECT_EQ(100, lt::ProgressPositions().back());
}

TEST_F(MalformedDownloadTest, WrongStatusLinesAreRefused)
{
    twtest::WriteFile(Work("B.bin.1.0"), "kept");
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadWith({"HTTP/1.1 404 Not Found\r\n\r\nmissing"}, 2500, 0));
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadWith({"HTTP/1.0 200 OK\r\n\r\n" + m_body}, 2500, 0));
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadWith({"HTTP/1.1 200 OK\r\n\r\n" + m_body}, 2500, 4));
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadWith({"HTTP/1.1 206 Partial Content\r\n\r\n" + m_body}, 2500, 0));
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadWith({}, 2500, 0)); // closes at once
    EXPECT_EQ(DOWNLOAD_BAD_STATUS, DownloadWith({"HTTP/1.1 20"}, 2500, 0));
    EXPECT_EQ("kept", twtest::ReadFile(Work("B.bin.1.0")));
}

TEST_F(MalformedDownloadTest, NothingLeftToFetchShowsNoProgress)
{
    twtest::WriteFile(Work("B.bin.1.0"), m_body);
    EXPECT_EQ(DOWNLOAD_DONE, DownloadWith({"HTTP/1.1 206 Partial Content\r\n\r\n"}, 2500, 2500));
    EXPECT_EQ(std::vector<int>{0}, lt::ProgressPositions());
    // The request names the launcher's own version and asks for the rest of the file.
    ASSERT_EQ(1u, m_requests.size());
    EXPECT_EQ("GET /download/B.bin.1.0 HTTP/1.0\r\n"
              "User-Agent: tarnwick 1.2.0.0\r\n"
              "Host: tarnwick." TW_UPDATE_SERVER_HOST "\r\n"
              "Accept: */*\r\n"
              "Connection: Keep-Alive\r\n"
              "X-App_Name: tarnwick\r\n"
              "X-App_Version: 1.2.0.0\r\n"
              "Range: bytes=2500-\r\n"
              "\r\n",
              m_requests[0]);
}

} // namespace
