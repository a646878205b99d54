// The update server as the launcher meets it: raw HTTP over a loopback socket.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "manifest.h"
#include "twtesting.h"

namespace {

struct Response {
    std::string head; // status line and headers
    std::string body;
    bool complete = false;
};

// Sends one request and reads until the server closes the connection.
Response Exchange(int port, const std::string &request)
{
    Response r;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return r;
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char buf[1024];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0)
        all.append(buf, static_cast<size_t>(n));
    r.complete = (n == 0);
    close(fd);
    size_t end = all.find("\r\n\r\n");
    if (end != std::string::npos) {
        r.head = all.substr(0, end + 2);
        r.body = all.substr(end + 4);
    }
    return r;
}

std::string Get(const std::string &path, const std::string &extra = "")
{
    return "GET " + path + " HTTP/1.1\r\nUser-Agent: tarnwick 1.0.0.1\r\nHost: tarnwick.localhost\r\n"
           "Accept: */*\r\nConnection: Keep-Alive\r\n" + extra + "\r\n";
}

class UpdateServerTest : public ::testing::Test {
protected:
    twtest::TempDir m_dir;
    std::string m_release = m_dir.file("release");
    std::string m_payload;
    std::unique_ptr<twtest::BackgroundProcess> m_server;
    int m_port = 0;

    void SetUp() override
    {
        mkdir(m_release.c_str(), 0755);
        twtest::WriteFile(m_release + "/Tarnwick", "launcher bytes");
        for (int i = 0; i < 5000; ++i)
            m_payload += static_cast<char>((i * 7) & 0xff);
        twtest::WriteFile(m_release + "/TarnwickDll.dll", m_payload);
        twtest::WriteFile(m_release + "/Kestrin.ax", "filter");
    }

    void Start(std::vector<std::string> extra = {})
    {
        m_server.reset();
        unlink(m_dir.file("port").c_str());
        std::vector<std::string> argv = {twtest::BinPath("update-server"), "--root", m_release, "--listen",
                                         "127.0.0.1:0", "--port-file", m_dir.file("port"),
                                         "--manifest-version", "1.2.3.4", "--version", "TarnwickDll.dll=1.2.0.7"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        m_server = std::make_unique<twtest::BackgroundProcess>(argv, m_dir.file("server.log"));
        ASSERT_TRUE(twtest::WaitForFile(m_dir.file("port"), 10000)) << twtest::ReadFile(m_dir.file("server.log"));
        m_port = std::stoi(twtest::ReadFile(m_dir.file("port")));
    }
};

TEST_F(UpdateServerTest, CheckAnswersWithTheVersionHeaderAndTheManifest)
{
    Start();
    Response r = Exchange(m_port, Get("/download/start.php"));
    ASSERT_TRUE(r.complete) << "the server must close the connection after its response";
    EXPECT_EQ(0u, r.head.find("HTTP/1.1 200 OK\r\n")) << r.head;
    EXPECT_NE(std::string::npos, r.head.find("\r\nX-App_version: 1.2.3.4\r\n")) << r.head;

    bool ok = false;
    std::string dllMd5 = updsrv::Md5HexOfFile(m_release + "/TarnwickDll.dll", ok);
    ASSERT_TRUE(ok);
    // Entry 1 is the launcher; the others follow in name order with their sizes and digests.
    std::string expected = ";1.2.3.4\r\n"
                           "[File1]\r\nName=Tarnwick\r\nVersion=1.2.3.4\r\nSize=14\r\nMD5=" +
                           updsrv::Md5HexOfFile(m_release + "/Tarnwick", ok) +
                           "\r\n"
                           "[File2]\r\nName=Kestrin.ax\r\nVersion=1.2.3.4\r\nSize=6\r\nMD5=" +
                           updsrv::Md5HexOfFile(m_release + "/Kestrin.ax", ok) +
                           "\r\n"
                           "[File3]\r\nName=TarnwickDll.dll\r\nVersion=1.2.0.7\r\nSize=5000\r\nMD5=" + dllMd5 +
                           "\r\n";
    EXPECT_EQ(expected, r.body);
}

TEST_F(UpdateServerTest, FilesAreServedWholeOrFromARange)
{
    Start();
    Response whole = Exchange(m_port, Get("/download/TarnwickDll.dll.1.2.0.7"));
    EXPECT_EQ(0u, whole.head.find("HTTP/1.1 200 OK\r\n")) << whole.head;
    EXPECT_EQ(m_payload, whole.body);

    Response part = Exchange(m_port, Get("/download/TarnwickDll.dll.1.2.0.7", "Range: bytes=1000-\r\n"));
    EXPECT_EQ(0u, part.head.find("HTTP/1.1 206 Partial Content\r\n")) << part.head;
    EXPECT_NE(std::string::npos, part.head.find("Content-Range: bytes 1000-4999/5000")) << part.head;
    EXPECT_EQ(m_payload.substr(1000), part.body);

    Response wrongVersion = Exchange(m_port, Get("/download/TarnwickDll.dll.9.9.9.9"));
    EXPECT_EQ(0u, wrongVersion.head.find("HTTP/1.1 404")) << wrongVersion.head;
    Response escape = Exchange(m_port, Get("/download/..%2Fport"));
    EXPECT_EQ(0u, escape.head.find("HTTP/1.1 404")) << escape.head;
}

TEST_F(UpdateServerTest, FaultyModeIgnoresRanges)
{
    Start({"--ignore-range"});
    Response r = Exchange(m_port, Get("/download/TarnwickDll.dll.1.2.0.7", "Range: bytes=1000-\r\n"));
    EXPECT_EQ(0u, r.head.find("HTTP/1.1 200 OK\r\n")) << r.head;
    EXPECT_EQ(m_payload, r.body);
}

TEST_F(UpdateServerTest, AGivenManifestIsServedVerbatimAndChangesAreSeen)
{
    twtest::WriteFile(m_dir.file("custom.ini"), ";1.2.3.4\r\n[File1]\r\nName=Tarnwick\r\nMD5=00\r\n");
    Start({"--manifest", m_dir.file("custom.ini")});
    EXPECT_EQ(twtest::ReadFile(m_dir.file("custom.ini")), Exchange(m_port, Get("/download/start.php")).body);

    twtest::WriteFile(m_release + "/New.bin", "new");
    Start();
    EXPECT_NE(std::string::npos, Exchange(m_port, Get("/download/start.php")).body.find("Name=New.bin"));
    EXPECT_EQ("new", Exchange(m_port, Get("/download/New.bin.1.2.3.4")).body);
}

TEST_F(UpdateServerTest, TheWrittenManifestIsTheOneServed)
{
    // The manifest goes into the release directory itself, as an installation
    // keeps it, and is not listed in itself.
    const std::string written = m_release + "/files.ini";
    auto r = twtest::RunProcess({twtest::BinPath("update-server"), "--root", m_release, "--manifest-version",
                                 "1.2.3.4", "--version", "TarnwickDll.dll=1.2.0.7", "--write-manifest", written});
    ASSERT_EQ(0, r.exitCode) << r.output;
    Start();
    EXPECT_EQ(Exchange(m_port, Get("/download/start.php")).body, twtest::ReadFile(written));
    EXPECT_EQ(std::string::npos, twtest::ReadFile(written).find("files.ini"));
    EXPECT_FALSE(twtest::FileExists(written + ".tmp"));

    r = twtest::RunProcess({twtest::BinPath("update-server"), "--root", m_release, "--manifest-version", "1.2.3.4",
                            "--write-manifest", m_dir.file("no/such/dir/files.ini")});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("cannot write")) << r.output;
}

TEST(UpdateServerArgs, MissingReleaseOrLauncherFailsClearly)
{
    twtest::TempDir dir;
    auto r = twtest::RunProcess({twtest::BinPath("update-server"), "--root", dir.file("none")});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("does not exist")) << r.output;
    r = twtest::RunProcess({twtest::BinPath("update-server"), "--root", dir.path(), "--manifest-version", "1.0.0.0"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("launcher")) << r.output;
    r = twtest::RunProcess({twtest::BinPath("update-server"), "--bogus"});
    EXPECT_EQ(2, r.exitCode);
}

} // namespace
