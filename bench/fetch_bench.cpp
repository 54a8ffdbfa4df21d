// Our fetch against curl on the same loopback server, one process per fetch
// for both, interleaved so that machine noise hits both alike. Prints the
// ratios ours/curl for the per-fetch time of a 20 KB page and for the time
// of a 64 MiB body with each framing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "loopback/script_server.h"

extern char** environ;

namespace {

double RunOnce(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) {
        std::perror(args[0]);
        std::exit(1);
    }
    int status;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&fa);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fetch_bench PATH-TO-vexorin-fetch [fetches]\n");
        return 2;
    }
    const std::string ours = argv[1];
    const int fetches = argc > 2 ? std::atoi(argv[2]) : 500;
    using vx::testing::Step;
    std::string page(20 * 1024, 'p');
    for (size_t i = 0; i < page.size(); i += 64) page[i] = '\n';
    const std::string big(64u * 1024 * 1024, 'b');
    auto byLength = [](const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    std::string chunked =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (size_t off = 0; off < big.size(); off += 16384) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", std::min<size_t>(16384, big.size() - off));
        chunked += size + big.substr(off, 16384) + "\r\n";
    }
    chunked += "0\r\n\r\n";
    const std::string pageResponse = byLength(page), lengthResponse = byLength(big);
    const std::string closeResponse =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" + big;
    // Kept-alive answers hold the connection until the client closes it,
    // like a real server; the close-framed one closes.
    vx::testing::ScriptServer server([&](const std::string& target) -> std::vector<Step> {
        if (target == "/page") return {Step::Bytes(pageResponse), Step::StallForever()};
        if (target == "/length") return {Step::Bytes(lengthResponse), Step::StallForever()};
        if (target == "/chunked") return {Step::Bytes(chunked), Step::StallForever()};
        if (target == "/close") return {Step::Bytes(closeResponse)};
        return {Step::Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")};
    });

    auto curl = [](const std::string& url) {
        return std::vector<std::string>{"curl", "-s", "-o", "/dev/null", url};
    };
    std::vector<double> a, b;
    for (int i = 0; i < fetches; ++i) {
        a.push_back(RunOnce({ours, server.Url("/page")}));
        b.push_back(RunOnce(curl(server.Url("/page"))));
    }
    const double ma = Median(a), mb = Median(b);
    std::printf("20 KB page, median of %d fetches: ours %.3f ms, curl %.3f ms, ratio %.3f\n",
                fetches, ma * 1e3, mb * 1e3, ma / mb);
    for (const char* path : {"/length", "/chunked", "/close"}) {
        std::vector<double> x, y;
        for (int i = 0; i < 5; ++i) {
            x.push_back(RunOnce({ours, server.Url(path)}));
            y.push_back(RunOnce(curl(server.Url(path))));
        }
        std::printf("64 MiB body %-8s median of 5: ours %.1f ms, curl %.1f ms, ratio %.3f\n", path,
                    Median(x) * 1e3, Median(y) * 1e3, Median(x) / Median(y));
    }
    return 0;
}
