// stream-server: serves a directory of ASF clips for demos and tests.
//   GET /<file>   the file over plain HTTP (206 for a Range request); to a client of
//                 the Windows Media HTTP streaming protocol, an .asf/.wmv/.wma file
//                 is streamed on demand in that protocol's framing
//   GET /live     the live broadcast of --live, looped without end, in real time
// See --help for the fault options.
#include <arpa/inet.h>
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <cstdio>
#include <fstream>
#include <list>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "broadcast.h"
#include "options.h"
#include "session.h"

namespace {

int g_wakePipe[2] = {-1, -1};

void OnSignal(int)
{
    char c = 1;
    ssize_t ignored = write(g_wakePipe[1], &c, 1);
    (void)ignored;
}

int Listen(const strsrv::Options &o, int &port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(o.port));
    if (inet_pton(AF_INET, o.address.c_str(), &addr.sin_addr) != 1) {
        fprintf(stderr, "stream-server: %s is not an IPv4 address\n", o.address.c_str());
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 64) != 0) {
        perror("stream-server: cannot listen");
        close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

bool WriteAsx(const strsrv::AsxRequest &asx, const std::string &base)
{
    std::ofstream out(asx.file, std::ios::binary | std::ios::trunc);
    out << "<ASX version=\"3.0\">\r\n"
        << "  <TITLE>stream-server " << asx.target << "</TITLE>\r\n"
        << "  <ENTRY>\r\n"
        << "    <REF HREF=\"" << base << asx.target << "\" />\r\n"
        << "  </ENTRY>\r\n"
        << "</ASX>\r\n";
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char **argv)
{
    strsrv::Server server;
    bool help = false;
    std::string error;
    if (!strsrv::ParseOptions(argc, argv, server.options, help, error)) {
        fprintf(stderr, "stream-server: %s\n%s", error.c_str(), strsrv::kUsage);
        return 2;
    }
    if (help) {
        fputs(strsrv::kUsage, stdout);
        return 0;
    }
    const strsrv::Options &o = server.options;
    strsrv::Broadcast broadcast;
    if (!o.liveClip.empty()) {
        std::string clip = o.liveClip[0] == '/' ? o.liveClip : o.root + "/" + o.liveClip;
        if (!broadcast.Start(clip, o.allKey, error)) {
            fprintf(stderr, "stream-server: %s\n", error.c_str());
            return 1;
        }
        server.broadcast = &broadcast;
    }
    int port = 0;
    int listener = Listen(o, port);
    if (listener < 0)
        return 1;
    std::string base = "http://" + o.address + ":" + std::to_string(port);
    for (const auto &asx : o.asx) {
        if (!WriteAsx(asx, base)) {
            fprintf(stderr, "stream-server: cannot write %s\n", asx.file.c_str());
            return 1;
        }
    }
    if (pipe2(g_wakePipe, O_CLOEXEC) != 0)
        return 1;
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    printf("%d\n", port);
    printf("serving %s at %s%s\n", o.root.c_str(), base.c_str(), server.broadcast ? " (live broadcast at /live)" : "");
    fflush(stdout);

    struct Client {
        int fd;
        std::thread thread;
        bool done = false;
    };
    std::mutex lock;          // guards clients
    std::list<Client> clients;
    for (;;) {
        pollfd p[2] = {{listener, POLLIN, 0}, {g_wakePipe[0], POLLIN, 0}};
        if (poll(p, 2, 1000) < 0 && errno != EINTR)
            break;
        if (p[1].revents)
            break;
        {
            // Threads that have finished are joined here.
            std::lock_guard<std::mutex> guard(lock);
            for (auto it = clients.begin(); it != clients.end();) {
                if (it->done) {
                    it->thread.join();
                    it = clients.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (!(p[0].revents & POLLIN))
            continue;
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> guard(lock);
        clients.push_back(Client{fd, {}, false});
        Client *client = &clients.back();
        client->thread = std::thread([&server, &lock, client] {
            strsrv::ServeConnection(server, client->fd);
            std::lock_guard<std::mutex> g(lock);
            close(client->fd);
            client->fd = -1;
            client->done = true;
        });
    }
    server.stopping = true;
    broadcast.Stop();
    {
        std::lock_guard<std::mutex> guard(lock);
        for (auto &c : clients)
            if (c.fd >= 0)
                shutdown(c.fd, SHUT_RDWR);
    }
    for (auto &c : clients)
        c.thread.join();
    close(listener);
    return 0;
}
