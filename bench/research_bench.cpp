// A full research run (30 rows, page depth 20, a site never found: 631
// requests) against vexorin-services, timed for our engine and for curl
// fetching the same URLs one after another, each on a new connection.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/headless_run.h"
#include "net/http_client.h"

extern char** environ;

namespace {

pid_t Spawn(std::vector<std::string> argv, const char* out) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) {
        std::perror(args[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: research_bench PATH-TO-vexorin-services [rounds]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int port = 47000 + static_cast<int>(getpid() % 900);
    const pid_t services = Spawn({argv[1], "--port", std::to_string(port)}, "/dev/null");
    const std::string host = "127.0.0.1:" + std::to_string(port);
    for (int i = 0; i < 100 && vx::FetchPage("http://" + host + "/search?p=x").empty(); ++i)
        usleep(20000);

    for (const int closeCheckMs : {1, 0}) {
        vx::NetLimits limits;
        limits.closeCheckWaitMs = closeCheckMs;
        std::vector<double> ours, curl;
        size_t requests = 0;
        for (int r = 0; r < rounds; ++r) {
            vx::QuietHost q({"", "never-listed.invalid", "20", 30});
            vx::StopFlag stop;
            vx::ResultsTable table;
            std::vector<std::string> urls;
            vx::Research research({q,
                                   q,
                                   q,
                                   stop,
                                   q,
                                   table,
                                   {host, host},
                                   [&](const std::string& url) {
                                       urls.push_back(url);
                                       return vx::FetchPage(url, limits);
                                   },
                                   '.'});
            auto t0 = std::chrono::steady_clock::now();
            research.RunInvestigation("cheap");
            ours.push_back(Since(t0));
            requests = urls.size();

            const std::string config =
                (std::filesystem::temp_directory_path() / "vexorin-research-bench.curl").string();
            {
                std::ofstream f(config);
                f << "silent\nheader = \"Connection: close\"\n";
                for (const auto& u : urls) f << "url = \"" << u << "\"\noutput = \"/dev/null\"\n";
            }
            t0 = std::chrono::steady_clock::now();
            int status;
            waitpid(Spawn({"curl", "--config", config}, "/dev/null"), &status, 0);
            curl.push_back(Since(t0));
            std::remove(config.c_str());
        }
        std::sort(ours.begin(), ours.end());
        std::sort(curl.begin(), curl.end());
        const double a = ours[ours.size() / 2], b = curl[curl.size() / 2];
        std::printf(
            "research run, %zu requests, end-of-exchange close check %d ms, median of %d: "
            "engine %.1f ms, curl %.1f ms, ratio %.3f\n",
            requests, closeCheckMs, rounds, a * 1e3, b * 1e3, a / b);
    }
    kill(services, SIGTERM);
    waitpid(services, nullptr, 0);
    return 0;
}
