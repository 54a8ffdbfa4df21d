// A full research run (30 rows, page depth 20, a site never found: 631
// requests) against vexorin-services at 100 ms a request, looked up 1, 4
// and 8 rows at once; then the share of unknown ("?") cells when a tenth of
// the search answers fail transiently, without retries and with two (ten
// runs of 30 rows at depth 1; a 50 ms back-off, as the share does not
// depend on it).
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/headless_run.h"
#include "net/http_client.h"

extern char** environ;

namespace {

struct Services {
    pid_t pid = -1;
    std::string host;
    explicit Services(const char* program, std::vector<std::string> options) {
        const int port = 46000 + static_cast<int>((getpid() * 7 + options.size()) % 900);
        host = "127.0.0.1:" + std::to_string(port);
        std::vector<std::string> argv = {program, "--port", std::to_string(port)};
        argv.insert(argv.end(), options.begin(), options.end());
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
            std::perror(program);
            std::exit(1);
        }
        for (int i = 0; i < 100 && vx::FetchPage("http://" + host + "/").empty(); ++i)
            usleep(20000);
    }
    ~Services() {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

struct Outcome {
    double seconds;
    std::string rows;
    int cells = 0, unknown = 0;
};

Outcome Run(const std::string& host, int parallel, int retries, int rows, const char* depth) {
    ::setenv("VEXORIN_SUGGEST_HOST", host.c_str(), 1);
    ::setenv("VEXORIN_SEARCH_HOST", host.c_str(), 1);
    vx::HeadlessResearch request{"cheap", "never-listed.invalid", depth, rows};
    request.policy = {.parallel = parallel, .retries = retries, .backoffMs = 50};
    vx::ResultsTable table;
    vx::StopFlag stop;
    const auto hosts = std::make_shared<vx::HostCache>();
    const auto t0 = std::chrono::steady_clock::now();
    vx::RunHeadlessResearch(
        request, table,
        [&](const std::string& url) {
            return vx::FetchedPage::From(
                vx::FetchAnswer(url, vx::DefaultNetLimits(), nullptr, hosts));
        },
        stop);
    Outcome o{std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), {}};
    for (int i = 0; i < table.Count(); ++i) {
        o.rows += std::string(table.At(i).KeyTerm()) + "\n";
        for (const std::string& c : table.At(i).Columns()) {
            o.rows += c + "\t";
            ++o.cells;
            o.unknown += c == "?";
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: parallel_bench PATH-TO-vexorin-services\n");
        return 2;
    }
    {
        Services slow(argv[1], {"--latency-ms", "100"});
        const Outcome one = Run(slow.host, 1, 0, 30, "20");
        std::printf("30 rows, depth 20, 100 ms a request: N=1 %.1f s\n", one.seconds);
        for (const int n : {4, 8}) {
            const Outcome o = Run(slow.host, n, 0, 30, "20");
            std::printf("  N=%d %.1f s, ratio %.3f of N=1, rows %s\n", n, o.seconds,
                        o.seconds / one.seconds, o.rows == one.rows ? "identical" : "DIFFERENT");
        }
    }
    Services failing(argv[1], {"--fail-rate", "0.1", "--seed", "7"});
    for (const int retries : {0, 2}) {
        int unknown = 0, cells = 0;
        for (int round = 0; round < 10; ++round) {
            const Outcome o = Run(failing.host, 4, retries, 30, "1");
            unknown += o.unknown;
            cells += o.cells;
        }
        std::printf("10 %% of search answers fail, R=%d: %d of %d cells unknown (%.2f %%)\n",
                    retries, unknown, cells, 100.0 * unknown / std::max(1, cells));
    }
    return 0;
}
