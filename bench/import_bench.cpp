// A research of an imported list as a user runs it: vexorin-research
// --import with 2 000 terms (or TERMS) against vexorin-services at 20 ms a
// request, depth 1, 8 rows at once, RUNS times back to back (1 unless
// given). Each run's wall time against the network floor (rows / rows at
// once x requests a row x latency) and its peak memory; with several runs,
// how far the slowest is from the fastest, as ports a run leaves in
// TIME_WAIT would slow the next.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "child_process.h"

namespace {

constexpr int kParallel = 8, kLatencyMs = 20, kRequestsPerRow = 2;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr,
                     "usage: import_bench VEXORIN-RESEARCH VEXORIN-SERVICES [TERMS [RUNS]]\n");
        return 2;
    }
    const int kTerms = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2000;
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 1;
    char dirTemplate[] = "/tmp/vexorin-import-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    const std::string list = dir + "/list.txt";
    {
        std::ofstream out(list);
        for (int i = 0; i < kTerms; ++i) out << "garden term " << i << '\t' << 100 + i << '\n';
    }
    const pid_t services = bench::StartServices(argv[2], kLatencyMs);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);

    const int devNull = ::open("/dev/null", O_WRONLY);
    const double floor =
        static_cast<double>(kTerms) / kParallel * kRequestsPerRow * kLatencyMs / 1000;
    double fastest = 1e9, slowest = 0;
    bool allOk = true;
    for (int run = 1; run <= runs; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const pid_t tool =
            bench::Spawn({argv[1], "--import", list, "--site", "example.com", "--depth", "1",
                          "--parallel", std::to_string(kParallel), "--no-history"},
                         devNull);
        int status = 0;
        struct rusage usage = {};
        ::wait4(tool, &status, 0, &usage);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        fastest = std::min(fastest, seconds);
        slowest = std::max(slowest, seconds);
        allOk = allOk && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::printf(
            "import %d/%d: %d terms, depth 1, %d at once, %d ms a request: %.2f s, network floor "
            "%.2f s, ratio %.3f (at most 1.1); %.2f s in the kernel; peak memory %.1f MB (under "
            "100); exit %d\n",
            run, runs, kTerms, kParallel, kLatencyMs, seconds, floor, seconds / floor,
            static_cast<double>(usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_stime.tv_usec) / 1e6,
            static_cast<double>(usage.ru_maxrss) / 1024,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        std::fflush(stdout);
    }
    if (runs > 1)
        std::printf("import: slowest of %d runs back to back %.1f %% over the fastest (within 5)\n",
                    runs, (slowest / fastest - 1) * 100);
    ::kill(services, SIGTERM);
    ::waitpid(services, nullptr, 0);
    std::remove(list.c_str());
    ::rmdir(dir.c_str());

    return allOk ? 0 : 1;
}
